#pragma once
// Reading one extended attribute of an item itself (a symbolic link's own
// attributes, never its target's), without a size query in the common case.

#include <string>
#include <string_view>

namespace quarrytide {

// Fills `value` (reusing its storage) and returns 0, or returns the errno of
// the failure (ENODATA when the item has no such attribute).
int readAttribute(const char* path, const char* attribute, std::string& value);

// The same for the item `name` in the folder open as `dirFd`, whose full path
// is `path`. Where the kernel can read attributes relative to a folder, the
// lookup is one step from `dirFd` (cheaper, and it cannot be led elsewhere
// by a folder swapped for a link); elsewhere `path` is used.
int readAttributeAt(int dirFd, const char* name, const char* path, const char* attribute,
                    std::string& value);

// The names of the item's attributes, each followed by a NUL, in `names`
// (reusing its storage); 0 or the errno of the failure. Relative to `dirFd`
// where the kernel can, as readAttributeAt.
int listAttributesAt(int dirFd, const char* name, const char* path, std::string& names);

// Whether `names` (as listAttributesAt gives them) holds `attribute`.
bool hasAttribute(std::string_view names, std::string_view attribute);

// Whether the system's answer means "the item has no such attribute" rather
// than "the item cannot be read": missing attribute, or a file system
// without user attributes.
bool isNoAttribute(int err);

}  // namespace quarrytide
