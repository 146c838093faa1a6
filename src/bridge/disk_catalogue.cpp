#include "catalogue/listing.hpp"
#include "catalogue_seam.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const std::vector<std::string>& paths) {
  // A batch is mostly one folder: its items are read through one open
  // descriptor of it, instead of walking each whole path again (it halves the
  // time a large batch's reply takes).
  std::vector<std::optional<FileRecord>> out(paths.size());
  RecordReader reader;
  std::string folder;
  int fd = -1;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = paths[i];
    const auto slash = path.rfind('/');
    if (namesNoItem(path) || path.front() != '/' || slash + 1 == path.size()) {
      out[i] = describe(path);
      continue;
    }
    if (fd < 0 || folder.size() != slash || path.compare(0, slash, folder) != 0) {
      if (fd >= 0) ::close(fd);
      folder = path.substr(0, slash);
      fd = ::open(slash ? folder.c_str() : "/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    struct stat st;
    const char* name = path.c_str() + slash + 1;
    if (fd < 0 || ::fstatat(fd, name, &st, 0) != 0) continue;  // a dangling link counts as absent
    FileRecord r;
    reader.read(r, fd, name, path);
    out[i] = std::move(r);
  }
  if (fd >= 0) ::close(fd);
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
