#pragma once
// Where the icon fallback of a thumbnail comes from. The desktop shell answers
// from the GTK icon theme; the headless host from icons the project ships.

#include <string>

#include "thumbnails/pixbuf_ptr.hpp"

namespace quarrytide {

class IconSource {
 public:
  virtual ~IconSource() = default;
  // Main thread only (an icon theme is not thread-safe). `contentType` is a
  // GIO content type ("text/plain", "inode/directory", ...); `pixels` is the
  // side of the square the icon will be drawn into, a hint for picking a
  // sharp rendition. Returns the icon at any size, or null when there is none.
  virtual PixbufPtr icon(const std::string& contentType, int pixels) = 0;
};

}  // namespace quarrytide
