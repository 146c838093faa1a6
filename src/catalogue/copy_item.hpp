#pragma once
// A file copied to another folder, on any drive: written under a hidden
// temporary name, its user attributes and times kept, flushed to disk, read
// back and compared, and only then given its name (never replacing an item).
// A move across drives is such a copy and then the removal of the original,
// so that a crash leaves the item in one place or both, never in none.
//
// Thread rule: called on `io` only.

#include <string>

#include "metadata/result.hpp"

namespace quarrytide {

// Copies the file at `from` to the path `to`; removes `from` afterwards unless
// `keepSource`. Returns `to`. A folder is error kCrossDevice (not copied).
Result<std::string> copyItem(const std::string& from, const std::string& to, bool keepSource);

}  // namespace quarrytide
