#pragma once
// A folder as the ordered list of file records the page shows.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "file_record.hpp"

namespace quarrytide {

// Files mode (neither flag), folders mode (foldersOnly, one level) or tree
// mode (recursive: files at every depth).
struct ListingMode {
  bool recursive = false;
  bool foldersOnly = false;
  // Also entries whose names start with "." (and, in tree mode, what is below
  // hidden folders); off, they are never listed.
  bool hidden = false;
  bool accessed = false;  // records with the time each item was last read
  bool operator==(const ListingMode&) const = default;
};

// Why a folder cannot be listed at all: `code` is "notFound", "notFolder",
// "denied" or "unreadable"; `message` is the system's reason.
struct FolderProblem {
  std::string code;
  std::string message;
  bool operator==(const FolderProblem&) const = default;
};
// nullopt when the folder opens for reading (even when it lists nothing).
std::optional<FolderProblem> folderProblem(const std::string& folder);

// Links are described as themselves and never followed. Sorted by name in
// file-browser order. Never fails: what cannot be read is left out.
// Called on `io` only.
std::vector<FileRecord> listFolder(const std::string& folder, ListingMode mode);

// The same listing in consecutive runs, in order: `firstRun` records, then
// runs twice as long as the one before, up to 8,192. The entries are read
// and sorted before the first run is described, so it arrives at once.
using ListingRun = std::function<void(std::vector<FileRecord>&&)>;
inline constexpr std::size_t kFirstListingRun = 256;
void listFolderInRuns(const std::string& folder, ListingMode mode, const ListingRun& onRun,
                      std::size_t firstRun = kFirstListingRun);

}  // namespace quarrytide
