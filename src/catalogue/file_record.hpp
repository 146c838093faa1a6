#pragma once
// The one description of a file or folder that the page receives.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "page_path.hpp"

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
  std::optional<double> accessed;  // ms since 1970 (0 when unknown); only when asked for

  bool operator==(const FileRecord&) const = default;
};

// Describes the item at `path` (made absolute); a link is described as
// itself, not its target. Never fails: what cannot be
// read takes its default. Called on `io` only.
FileRecord fileInfo(const std::string& path);

}  // namespace quarrytide
