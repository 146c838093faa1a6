#pragma once
// An item's comment: the extended attribute "user.xdg.comment", UTF-8 text.
// A symbolic link's comment is its own, never its target's.

#include <string>
#include <string_view>

#include "result.hpp"

namespace quarrytide {

inline constexpr const char* kCommentAttribute = "user.xdg.comment";

// The comment, or "" when there is none or it cannot be read (or is not
// valid UTF-8).
std::string readComment(const std::string& path);
// For listings: the comment of the item `name` in the folder open as
// `dirFd` (full path `path`), read into `comment` reusing its storage; false
// (and "") when there is no readable comment.
bool readCommentAt(int dirFd, const char* name, const char* path, std::string& comment);
// Whether the bytes of a stored comment are text a comment can show (valid
// UTF-8); anything else reads as no comment.
bool isCommentText(std::string_view bytes);
// Sets the comment; "" removes it (already absent counts as done).
Status setComment(const std::string& path, const std::string& comment);

}  // namespace quarrytide
