#pragma once
// Decoding an image file no larger than a thumbnail needs.

#include <string>

#include "thumbnails/pixbuf_ptr.hpp"

namespace quarrytide {

// More decoded pixels than this and the file counts as having no picture, so
// a hostile or absurd image cannot take gigabytes (256 MB of RGBA).
inline constexpr long long kMaxDecodedPixels = 64LL * 1024 * 1024;

// The picture in the file at `path`, decoded at a size that still covers a
// square of `pixels` where the format can do so (JPEG at 1/2, 1/4 or 1/8,
// vector images straight at the square), with its EXIF orientation applied.
// Only regular files are read (a FIFO or device would block). Null when the
// file is not a readable, complete image. Any thread.
PixbufPtr loadScaled(const std::string& path, int pixels);

// The same for a whole image held in memory, without applying any
// orientation (the bytes may stand for another file's picture).
PixbufPtr loadScaledBytes(const std::string& bytes, int pixels);

}  // namespace quarrytide
