#include "listing.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <memory>

#include "name_order.hpp"
#include "record_reader.hpp"

namespace quarrytide {

namespace {

enum class Kind { directory, other, undetermined };

struct DirClose {
  void operator()(DIR* d) const { ::closedir(d); }
};
using DirPtr = std::unique_ptr<DIR, DirClose>;

// Takes ownership of `fd`; null when it cannot be read as a folder.
DirPtr openDir(int fd) {
  if (fd < 0) return nullptr;
  DIR* d = ::fdopendir(fd);
  if (!d) ::close(fd);
  return DirPtr(d);
}

bool isHidden(const char* name) { return name[0] == '.'; }
bool isDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// A large buffer about to be filled: in huge pages, first touching it costs
// one fault per 2 MiB instead of one per 4 KiB. Only a hint; where the
// system does not take it, nothing changes.
void adviseHugePages(void* data, std::size_t bytes) {
  constexpr std::uintptr_t kHuge = 2u << 20;
  if (bytes < 2 * kHuge) return;
  const auto start = (reinterpret_cast<std::uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kHuge - 1);
  if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

// The entry's type as the folder read gave it; a status query only when the
// file system does not say. A link is a link, never its target.
Kind kindOf(int dirFd, const dirent& entry) {
  if (entry.d_type == DT_DIR) return Kind::directory;
  if (entry.d_type != DT_UNKNOWN) return Kind::other;
  struct statx stx;
  if (::statx(dirFd, entry.d_name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &stx) != 0 ||
      !(stx.stx_mask & STATX_TYPE)) {
    return Kind::undetermined;
  }
  return S_ISDIR(stx.stx_mode) ? Kind::directory : Kind::other;
}

class Lister {
 public:
  // A counting lister walks the same way but only counts what it would list.
  Lister(ListingMode mode, bool counting)
      : recursive_(mode.recursive),
        foldersOnly_(mode.foldersOnly),
        hidden_(mode.hidden),
        counting_(counting) {}

  // `prefix` is the folder's path followed by "/".
  void list(DirPtr dir, std::string& prefix) {
    if (!dir) return;
    const int fd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
      if (isHidden(entry->d_name) && (!hidden_ || isDotOrDotDot(entry->d_name))) continue;
      const Kind kind = kindOf(fd, *entry);
      if (recursive_ && !foldersOnly_ && kind == Kind::directory) {
        descend(fd, entry->d_name, prefix);
        continue;
      }
      const bool wanted = foldersOnly_ ? kind == Kind::directory : kind != Kind::directory;
      if (!wanted) continue;
      if (counting_) {
        ++count_;
      } else {
        reader_.read(records_.emplace_back(), fd, entry->d_name, prefix + entry->d_name);
      }
    }
  }

  std::size_t count() const { return count_; }
  void reserve(std::size_t n) {
    records_.reserve(n);
    adviseHugePages(records_.data(), records_.capacity() * sizeof(FileRecord));
  }
  std::vector<FileRecord> take() { return std::move(records_); }

 private:
  // Opened relative to the parent and never through a link, so a folder
  // swapped for a link while it is listed cannot lead the walk elsewhere.
  void descend(int parentFd, const char* name, std::string& prefix) {
    DirPtr child =
        openDir(::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!child) return;  // unreadable subfolder: contributes nothing
    const std::size_t mark = prefix.size();
    prefix.append(name).push_back('/');
    list(std::move(child), prefix);
    prefix.resize(mark);
  }

  bool recursive_;
  bool foldersOnly_;
  bool hidden_;
  bool counting_;
  std::size_t count_ = 0;
  RecordReader reader_;
  std::vector<FileRecord> records_;
};

}  // namespace

std::vector<FileRecord> listFolder(const std::string& folder, ListingMode mode) {
  if (namesNoItem(folder)) return {};
  std::string prefix = plainPath(folder);
  // The folder itself may be reached through a link, as the user named it.
  const int rootFd = ::open(prefix.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (rootFd < 0) return {};
  if (prefix.back() != '/') prefix.push_back('/');

  // A first pass reads only the folders' entries (cheap next to the three
  // calls per listed entry) so that the records are stored without
  // regrowing: for 100,000 records every regrowth faults in megabytes of
  // fresh pages and moves every record. Entries that appear in between
  // merely cost one regrowth.
  Lister counter(mode, true);
  counter.list(openDir(::openat(rootFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)), prefix);
  Lister lister(mode, false);
  lister.reserve(counter.count());
  lister.list(openDir(rootFd), prefix);

  std::vector<FileRecord> records = lister.take();
  sortByName(records);
  return records;
}

}  // namespace quarrytide
