#pragma once
// The one output form of a thumbnail: a square PNG as a data URL.

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <string>

namespace quarrytide {

// The whole of `image` stretched (not letter-boxed) to a square of `side`
// pixels, as "data:image/png;base64,...", or "" when it cannot be made.
// Any thread; calls share nothing.
std::string pngDataURL(const GdkPixbuf* image, int side);

}  // namespace quarrytide
