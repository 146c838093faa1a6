#pragma once
// A folder as the ordered list of file records the page shows.

#include <cstddef>
#include <functional>
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
  bool operator==(const ListingMode&) const = default;
};

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
