#pragma once
// A photo's own small picture (its Exif thumbnail, a raw file's preview),
// which draws a thumbnail without decoding the whole photo. It is read where
// file contents may be parsed safely (the media helper) and handed over.

#include <functional>
#include <optional>
#include <string>

#include "thumbnails/pixbuf_ptr.hpp"

namespace quarrytide {

struct EmbeddedPreview {
  std::string jpeg;
  int orientation = 1;         // the photo's Exif orientation, for the preview too
  long width = 0, height = 0;  // the photo's, as stored; 0 when unknown
};

// The preview of the photo at `path` whose shorter side has at least
// `pixels`; nullopt when it has none. Called on thumbnail workers; may block
// while the preview is read.
using PreviewSource =
    std::function<std::optional<EmbeddedPreview>(const std::string& path, int pixels)>;

// Content types whose files may carry such a preview: JPEG, HEIF, TIFF, raw.
bool mayHaveOwnPreview(const std::string& contentType);

// The preview as the photo's picture: cut to the photo's shape (cameras pad
// a 3:2 photo's thumbnail to 4:3 with black bars) and turned by its
// orientation. Null when it does not decode or its shorter side, once cut,
// is under `pixels`. Any thread.
PixbufPtr previewPicture(const EmbeddedPreview& preview, int pixels);

}  // namespace quarrytide
