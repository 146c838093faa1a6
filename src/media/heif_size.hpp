#pragma once
// The displayed size of a HEIF picture (HEIC, AVIF): its primary item's
// `ispe`, turned by its `irot`, as libheif reads it. exiv2 answers the Exif
// tags' size instead, which editors leave behind when they scale or crop.
// Parses untrusted data: quarrytide-probe only.

#include <optional>
#include <string>
#include <utility>

namespace quarrytide {

// Width and height; nullopt when `path` holds no HEIF picture (a CR3).
std::optional<std::pair<long, long>> heifPictureSize(const std::string& path);

}  // namespace quarrytide
