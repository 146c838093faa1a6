#pragma once
// An item's tag list, stored the way Linux file managers read it: the
// extended attribute "user.xdg.tags", names joined by ",". A symbolic link's
// tags are its own (l*xattr calls), never its target's.

#include <string>
#include <string_view>
#include <vector>

#include "result.hpp"

namespace quarrytide {

inline constexpr const char* kTagsAttribute = "user.xdg.tags";

// The stored tag list; an item without the attribute (or on a file system
// without user attributes) has none. Fails only when the item cannot be read.
Result<std::vector<std::string>> readTags(const std::string& path);
// Replaces the whole list. An empty list removes the attribute (already absent
// is success). A tag containing "," cannot be stored and is refused.
Status writeTags(const std::string& path, const std::vector<std::string>& tags);
// The tag list that an attribute value holds ("" holds none).
std::vector<std::string> splitStoredTags(std::string_view value);

}  // namespace quarrytide
