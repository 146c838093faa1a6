#pragma once
// File-browser order of names: the user's locale, digits compared by value
// ("file2" before "file10"), case and accents deciding only between names
// that are otherwise equal.

#include <vector>

#include "file_record.hpp"

namespace quarrytide {

// Sorts by "name", keeping the order of records whose names compare equal.
// Names that are not valid UTF-8 sort as if their bad bytes were U+FFFD.
void sortByName(std::vector<FileRecord>& records);

}  // namespace quarrytide
