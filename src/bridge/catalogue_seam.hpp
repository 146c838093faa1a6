#pragma once
// Every piece of disk work the commands do, behind one interface so that the
// protocol can be exercised (and fuzzed) without touching real files.

#include <optional>
#include <string>
#include <vector>

#include "catalogue/file_record.hpp"
#include "catalogue/listing.hpp"
#include "catalogue/operation.hpp"

namespace quarrytide {

// All methods are called on `io` only.
class Catalogue {
 public:
  virtual ~Catalogue() = default;
  virtual std::vector<FileRecord> listFolder(const std::string& folder, ListingMode mode) = 0;
  // The same listing in consecutive runs; by default, all of it in one.
  virtual void listFolderInRuns(const std::string& folder, ListingMode mode,
                                const ListingRun& onRun) {
    onRun(listFolder(folder, mode));
  }
  // Why `folder` cannot be listed; by default, nothing stands in the way.
  virtual std::optional<FolderProblem> folderProblem(const std::string&) { return std::nullopt; }
  // The record of an existing item; nullopt when nothing exists at `path`.
  virtual std::optional<FileRecord> describe(const std::string& path) = 0;
  // describe() of each path; by default, one after another. `accessed`: the
  // records say when each item was last read, too.
  virtual std::vector<std::optional<FileRecord>> describeAll(const std::vector<std::string>& paths,
                                                            bool accessed = false) {
    std::vector<std::optional<FileRecord>> out;
    out.reserve(paths.size());
    for (const auto& p : paths) out.push_back(describe(p));
    if (accessed)
      for (auto& r : out)
        if (r) r->accessed = r->accessed.value_or(0);
    return out;
  }
  // Whether `path` is a directory; nullopt when that cannot be determined.
  virtual std::optional<bool> isDirectory(const std::string& path) = 0;
  virtual FileRecord fileInfo(const std::string& path) = 0;
  virtual OpResult applyOp(const Operation& op) = 0;
  // applyOp, saying what the metadata it changed was (for the journal).
  virtual OpResult applyRecorded(const Operation& op, PriorState&) { return applyOp(op); }
};

// The catalogue on the real file system.
class DiskCatalogue final : public Catalogue {
 public:
  std::vector<FileRecord> listFolder(const std::string& folder, ListingMode mode) override;
  void listFolderInRuns(const std::string& folder, ListingMode mode,
                        const ListingRun& onRun) override;
  std::optional<FolderProblem> folderProblem(const std::string& folder) override;
  std::optional<FileRecord> describe(const std::string& path) override;
  std::vector<std::optional<FileRecord>> describeAll(const std::vector<std::string>& paths,
                                                    bool accessed = false) override;
  std::optional<bool> isDirectory(const std::string& path) override;
  FileRecord fileInfo(const std::string& path) override;
  OpResult applyOp(const Operation& op) override;
  OpResult applyRecorded(const Operation& op, PriorState& prior) override;
};

}  // namespace quarrytide
