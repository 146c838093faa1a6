#pragma once
// The only operation that changes names on disk. It never replaces an item.

#include <string>

#include "metadata/result.hpp"

namespace quarrytide {

// Error codes of the domain "Quarrytide".
enum RenameError : int { kNameTaken = 1, kInvalidName = 2 };

// Gives the item at `path` the name `newName` in the same folder and returns
// its new path (or `path` itself when there is nothing to do). Called on `io` only.
Result<std::string> renameFile(const std::string& path, const std::string& newName);

}  // namespace quarrytide
