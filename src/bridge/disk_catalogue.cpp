#include "catalogue/listing.hpp"
#include "catalogue_seam.hpp"

#include <sys/stat.h>

#include "catalogue/folder_cursor.hpp"
#include "catalogue/record_reader.hpp"

namespace quarrytide {

std::vector<FileRecord> DiskCatalogue::listFolder(const std::string& folder, ListingMode mode) {
  return quarrytide::listFolder(folder, mode);
}

void DiskCatalogue::listFolderInRuns(const std::string& folder, ListingMode mode,
                                     const ListingRun& onRun) {
  quarrytide::listFolderInRuns(folder, mode, onRun);
}

std::optional<FolderProblem> DiskCatalogue::folderProblem(const std::string& folder) {
  return quarrytide::folderProblem(folder);
}

std::optional<FileRecord> DiskCatalogue::describe(const std::string& path) {
  if (namesNoItem(path)) return std::nullopt;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;  // a dangling link counts as absent
  return quarrytide::fileInfo(path);
}

std::vector<std::optional<FileRecord>> DiskCatalogue::describeAll(
    const std::vector<std::string>& paths, bool accessed) {
  // A batch is mostly one folder: its items are read through one open
  // descriptor of it, instead of walking each whole path again (it halves the
  // time a large batch's reply takes).
  std::vector<std::optional<FileRecord>> out(paths.size());
  RecordReader reader;
  reader.accessed = accessed;
  FolderCursor folders;
  for (std::size_t i :
       folderOrder(paths.size(), [&](std::size_t k) -> const std::string& { return paths[k]; })) {
    const std::string& path = paths[i];
    const char* name = nullptr;
    const int fd = namesNoItem(path) || path.front() != '/' ? -1 : folders.open(path, name);
    if (fd < 0) {
      out[i] = describe(path);
      if (accessed && out[i]) out[i]->accessed = out[i]->accessed.value_or(0);
      continue;
    }
    FileRecord r;
    const unsigned mode = reader.read(r, fd, name, path);
    struct stat st;
    if (mode == 0) continue;
    if (S_ISLNK(mode) && ::fstatat(fd, name, &st, 0) != 0)
      continue;  // a dangling link counts as absent
    out[i] = std::move(r);
  }
  return out;
}

std::optional<bool> DiskCatalogue::isDirectory(const std::string& path) {
  if (namesNoItem(path)) return std::nullopt;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return S_ISDIR(st.st_mode);
}

FileRecord DiskCatalogue::fileInfo(const std::string& path) { return quarrytide::fileInfo(path); }

OpResult DiskCatalogue::applyOp(const Operation& op) { return quarrytide::applyOp(op); }

OpResult DiskCatalogue::applyRecorded(const Operation& op, PriorState& prior) {
  return quarrytide::applyOp(op, &prior);
}

}  // namespace quarrytide
