#pragma once
// A path as the page sends it, made into the path the native side works on.
// Every string from the page (or a drop, or the command line) that names an
// item goes through here first.

#include <string>
#include <string_view>

namespace quarrytide {

// True when no item can have this path: an empty one (made absolute it would
// be the working folder) or one holding a NUL (the system would read the text
// before it, another item's path).
bool namesNoItem(std::string_view path);

// `path` absolute (a relative one counts from the working directory), without
// "." components or repeated and trailing "/". ".." stays: through a link it
// does not mean the folder the text before it names.
std::string plainPath(std::string_view path);

// The parts of a path, split at its last "/": "/a/b/c" has the name "c", the
// folder "/a/b/" (with its "/", to join a name to) and the parent "/a/b"
// ("" for "/c").
inline std::string nameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }
inline std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }
inline std::string parentOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

}  // namespace quarrytide
