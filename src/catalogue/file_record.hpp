#pragma once
// The one description of a file or folder that the page receives.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarrytide {

struct FileRecord {
  std::string path;      // absolute, no trailing "/"
  std::string name;      // last path component
  std::string basename;  // name without ".ext"
  std::string ext;       // extension without its dot, or ""
  bool isDir = false;
  std::int64_t size = 0;
  double created = 0;             // ms since 1970, 0 when unknown
  double modified = 0;            // ms since 1970, 0 when unknown
  std::vector<std::string> tags;  // user tags, colour name taken out
  std::int64_t label = 0;         // 0 none, 1..7 index into COLOR_NAMES
  std::string comment;

  bool operator==(const FileRecord&) const = default;
};

// True when no item can have this path: an empty one (made absolute it would
// be the working folder) or one holding a NUL (the system would read the text
// before it, another item's path). Every path from the page passes this first.
bool namesNoItem(std::string_view path);

// `path` made absolute against the current folder, without trailing "/".
std::string absolutePath(const std::string& path);

// Describes the item at `path` (made absolute); a link is described as
// itself, not its target. Never fails: what cannot be
// read takes its default. Called on `io` only.
FileRecord fileInfo(const std::string& path);

}  // namespace quarrytide
