// A photo's own small picture (the Exif thumbnail, a raw file's preview)
// through exiv2, so that a thumbnail need not decode the whole picture.
#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <stdexcept>

#include "media/readers.hpp"

namespace quarrytide {

nlohmann::json readPreview(const std::string& path, int pixels, std::string& bytes) {
  auto image = Exiv2::ImageFactory::open(path, /*useCurl=*/false);
  if (!image.get()) throw std::runtime_error("not an image this program can read");
  try {
    image->readMetadata();
  } catch (const Exiv2::AnyError&) {
    // a file cut short may still hold its Exif block, thumbnail and all
    if (image->exifData().empty()) throw;
  }
  Exiv2::PreviewManager previews(*image);
  // smallest first: the first one that covers the square is the cheapest
  for (const auto& p : previews.getPreviewProperties()) {
    if (p.mimeType_ != "image/jpeg" || std::min(p.width_, p.height_) < std::size_t(pixels))
      continue;
    Exiv2::PreviewImage preview = previews.getPreviewImage(p);
    if (preview.size() == 0) continue;
    bytes.assign(reinterpret_cast<const char*>(preview.pData()), preview.size());
    nlohmann::json out = {{"previewWidth", p.width_}, {"previewHeight", p.height_}};
    const auto& e = image->exifData();
    if (auto o = e.findKey(Exiv2::ExifKey("Exif.Image.Orientation")); o != e.end() && o->count())
      out["orientation"] = o->toLong();
    // The picture's own shape, as stored: a thumbnail padded to 4:3 is cut to it.
    long width = image->pixelWidth(), height = image->pixelHeight();
    if (width <= 0 || height <= 0) {
      auto w = e.findKey(Exiv2::ExifKey("Exif.Photo.PixelXDimension"));
      auto h = e.findKey(Exiv2::ExifKey("Exif.Photo.PixelYDimension"));
      width = w != e.end() && w->count() ? w->toLong() : 0;
      height = h != e.end() && h->count() ? h->toLong() : 0;
    }
    if (width > 0 && height > 0) out["width"] = width, out["height"] = height;
    return out;
  }
  return nlohmann::json::object();
}

}  // namespace quarrytide
