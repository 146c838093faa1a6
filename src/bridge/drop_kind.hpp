#pragma once
// What a drop of files or folders means: one folder to open, or a set of
// items filtered by the drop mode. Pure apart from the catalogue it asks.

#include <string>
#include <vector>

#include "catalogue_seam.hpp"

namespace quarrytide {

struct DropContents {
  std::string folder;             // the opened folder, or the first item's parent
  std::vector<FileRecord> files;  // listing or selected records, in drop order
  const char* dropKind;           // "folder" or "files"
};

// `paths` in drop order, never empty. Called on `io` only, like the
// catalogue it uses. An item whose directory status cannot be read counts
// as a file.
DropContents classifyDrop(Catalogue& catalogue, const std::vector<std::string>& paths,
                          bool foldersMode);

}  // namespace quarrytide
