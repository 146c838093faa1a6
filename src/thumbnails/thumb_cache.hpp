#pragma once
// Reading the thumbnail cache that desktop file managers share
// (freedesktop "Thumbnail Managing Standard"). Nothing is written to it.

#include <cstdint>
#include <string>

#include "thumbnails/pixbuf_ptr.hpp"

namespace quarrytide {

// $XDG_CACHE_HOME/thumbnails (GLib's user cache folder).
std::string defaultThumbCacheRoot();

// The cached thumbnail of the file with `uri` (as g_file_get_uri gives it),
// whose modification time is `mtime` seconds: from the smallest size class
// (normal 128, large 256, x-large 512, xx-large 1024) that holds at least
// `pixels` and has an entry whose Thumb::URI and Thumb::MTime match. Null
// when there is none; a stale entry is never used. Any thread.
PixbufPtr cachedThumb(const std::string& root, const std::string& uri, std::int64_t mtime,
                      int pixels);

}  // namespace quarrytide
