#include "listing.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
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

// The first pass: every entry the listing holds, by folder and name, with no
// call per entry beyond reading its folder (and a type query where the file
// system does not say), so that the listing can be sorted before anything is
// described and described in the order it is shown.
class Walker {
 public:
  struct Entry {
    std::string name;
    std::uint32_t folder;  // index into folders()
  };
  struct Folder {
    std::string prefix;  // the folder's path followed by "/"
    int fd;              // open for describing its entries, or -1: by path
  };

  explicit Walker(ListingMode mode)
      : recursive_(mode.recursive), foldersOnly_(mode.foldersOnly), hidden_(mode.hidden) {}
  Walker(const Walker&) = delete;
  Walker& operator=(const Walker&) = delete;
  ~Walker() {
    for (const auto& f : folders_)
      if (f.fd >= 0) ::close(f.fd);
  }

  void list(DirPtr dir, std::string& prefix) {
    if (!dir) return;
    const int fd = ::dirfd(dir.get());
    const auto index = static_cast<std::uint32_t>(folders_.size());
    // Kept open (a copy) so that entries are described relative to the folder
    // that was read; past a quarter of the process's descriptors, by path, so
    // that a huge tree cannot use them up.
    folders_.push_back(
        {prefix, folders_.size() < keptOpen_ ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1});
    while (const dirent* entry = ::readdir(dir.get())) {
      if (isHidden(entry->d_name) && (!hidden_ || isDotOrDotDot(entry->d_name))) continue;
      const Kind kind = kindOf(fd, *entry);
      if (recursive_ && !foldersOnly_ && kind == Kind::directory) {
        descend(fd, entry->d_name, prefix);
        continue;
      }
      const bool wanted = foldersOnly_ ? kind == Kind::directory : kind != Kind::directory;
      if (wanted) entries_.push_back({entry->d_name, index});
    }
  }

  std::vector<Entry>& entries() { return entries_; }
  const std::vector<Folder>& folders() const { return folders_; }

 private:
  static std::size_t keptOpen() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 256;
    return std::clamp<std::size_t>(limit.rlim_cur / 4, 16, 4096);
  }

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
  std::size_t keptOpen_ = keptOpen();
  std::vector<Entry> entries_;
  std::vector<Folder> folders_;
};

// Runs double up to this length: a long listing goes in few pieces, none of
// which keeps the page from the keyboard for long (a part of 16,384 records
// held it for 70 to 150 ms, one of 8,192 mostly under 60).
constexpr std::size_t kLongestRun = 8192;

}  // namespace

void listFolderInRuns(const std::string& folder, ListingMode mode, const ListingRun& onRun,
                      std::size_t firstRun) {
  if (namesNoItem(folder)) return;
  std::string prefix = plainPath(folder);
  // The folder itself may be reached through a link, as the user named it.
  DirPtr root = openDir(::open(prefix.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!root) return;
  if (prefix.back() != '/') prefix.push_back('/');

  Walker walker(mode);
  walker.list(std::move(root), prefix);
  auto& entries = walker.entries();
  const std::vector<std::uint32_t> order = orderByName(
      entries.size(), [&](std::size_t i) -> const std::string& { return entries[i].name; });

  RecordReader reader;
  reader.accessed = mode.accessed;
  std::vector<FileRecord> run;
  std::size_t length = std::max<std::size_t>(firstRun, 1);
  for (std::size_t k = 0; k < order.size(); ++k) {
    if (run.empty()) {
      run.reserve(std::min(length, order.size() - k));
      adviseHugePages(run.data(), run.capacity() * sizeof(FileRecord));
    }
    auto& entry = entries[order[k]];
    const auto& where = walker.folders()[entry.folder];
    std::string path = where.prefix + entry.name;
    if (where.fd >= 0)
      reader.read(run.emplace_back(), where.fd, entry.name.c_str(), std::move(path));
    else  // by path (folders past those kept open): the name is the whole path
      reader.read(run.emplace_back(), AT_FDCWD, path.c_str(), path);
    std::string().swap(entry.name);  // a million names need not outlive their records
    if (run.size() == length || k + 1 == order.size()) {
      onRun(std::move(run));
      run = {};
      if (length < kLongestRun) length = std::min(length * 2, kLongestRun);
    }
  }
}

std::optional<FolderProblem> folderProblem(const std::string& folder) {
  if (namesNoItem(folder)) return FolderProblem{"notFound", std::strerror(ENOENT)};
  const int fd = ::open(plainPath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::close(fd);
    return std::nullopt;
  }
  const int error = errno;
  const char* code = error == ENOENT                     ? "notFound"
                     : error == ENOTDIR                  ? "notFolder"
                     : error == EACCES || error == EPERM ? "denied"
                                                         : "unreadable";
  return FolderProblem{code, std::strerror(error)};
}

std::vector<FileRecord> listFolder(const std::string& folder, ListingMode mode) {
  // One run of everything, stored without regrowing: for 100,000 records
  // every regrowth faults in megabytes of fresh pages and moves every record.
  std::vector<FileRecord> records;
  listFolderInRuns(
      folder, mode, [&](std::vector<FileRecord>&& run) { records = std::move(run); }, SIZE_MAX);
  return records;
}

}  // namespace quarrytide
