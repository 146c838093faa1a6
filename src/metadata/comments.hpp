#pragma once
// An item's comment: the extended attribute "user.xdg.comment", UTF-8 text.

#include <string>

namespace quarrytide {

// The comment, or "" when there is none or it cannot be read.
std::string readFinderComment(const std::string& path);
// True when the comment is set; "" removes it (already absent counts as set).
bool setFinderComment(const std::string& path, const std::string& comment);

}  // namespace quarrytide
