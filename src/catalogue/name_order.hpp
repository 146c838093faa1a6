#pragma once
// File-browser order of names: the user's locale, digits compared by value
// ("file2" before "file10"), case and accents deciding only between names
// that are otherwise equal.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quarrytide {

// The indexes 0..count-1 ordered by the names `nameAt` gives, keeping the
// order of names that compare equal. Names that are not valid UTF-8 sort as
// if their bad bytes were U+FFFD.
std::vector<std::uint32_t> orderByName(
    std::size_t count, const std::function<const std::string&(std::size_t)>& nameAt);

}  // namespace quarrytide
