#include "catalogue/listing.hpp"
#include "catalogue_seam.hpp"

#include <sys/stat.h>

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
