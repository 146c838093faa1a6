#pragma once
// The digest of a file's whole content. The app makes it itself rather than
// a helper: reading bytes parses nothing, and it takes as long as the file
// is big, which the helpers' limit per file could not allow for.

#include <string>
#include <string_view>

namespace quarrytide {

struct FileDigest {
  std::string hex;    // lower-case, when made
  std::string error;  // why not, when the file could not be read
};

// `hash` is a name isHashName() accepts other than "". Anything but a
// regular file gets neither a digest nor an error.
FileDigest digestFile(const std::string& path, std::string_view hash);

}  // namespace quarrytide
