#include "thumbnails/embedded_preview.hpp"

#include <cmath>
#include <set>

#include "thumbnails/scaled_load.hpp"

namespace quarrytide {

bool mayHaveOwnPreview(const std::string& contentType) {
  static const std::set<std::string> types = {"image/jpeg",
                                              "image/heif",
                                              "image/heic",
                                              "image/tiff",
                                              "image/x-adobe-dng",
                                              "image/x-canon-cr2",
                                              "image/x-canon-cr3",
                                              "image/x-canon-crw",
                                              "image/x-nikon-nef",
                                              "image/x-nikon-nrw",
                                              "image/x-sony-arw",
                                              "image/x-sony-sr2",
                                              "image/x-sony-srf",
                                              "image/x-olympus-orf",
                                              "image/x-panasonic-rw2",
                                              "image/x-panasonic-raw2",
                                              "image/x-fuji-raf",
                                              "image/x-pentax-pef",
                                              "image/x-samsung-srw",
                                              "image/x-minolta-mrw",
                                              "image/x-sigma-x3f",
                                              "image/x-kodak-dcr",
                                              "image/x-dcraw"};
  return types.count(contentType) > 0;
}

PixbufPtr previewPicture(const EmbeddedPreview& preview, int pixels) {
  PixbufPtr decoded = loadScaledBytes(preview.jpeg, pixels);
  if (!decoded) return {};
  int w = gdk_pixbuf_get_width(decoded.get()), h = gdk_pixbuf_get_height(decoded.get());
  // Cut to the photo's shape when the two differ by more than rounding.
  if (preview.width > 0 && preview.height > 0) {
    const double photo = double(preview.width) / double(preview.height);
    if (std::abs(double(w) / h - photo) > photo * 0.02) {
      int cw = w, ch = h;
      if (double(w) / h > photo)
        cw = int(std::lround(h * photo));
      else
        ch = int(std::lround(w / photo));
      if (cw <= 0 || ch <= 0) return {};
      decoded.reset(gdk_pixbuf_new_subpixbuf(decoded.get(), (w - cw) / 2, (h - ch) / 2, cw, ch));
      w = cw, h = ch;
    }
  }
  if (std::min(w, h) < pixels) return {};
  if (preview.orientation < 2 || preview.orientation > 8) return decoded;
  // GdkPixbuf turns a picture by its "orientation" option, as for a whole photo.
  gdk_pixbuf_remove_option(decoded.get(), "orientation");
  const std::string orientation = std::to_string(preview.orientation);
  gdk_pixbuf_set_option(decoded.get(), "orientation", orientation.c_str());
  return PixbufPtr(gdk_pixbuf_apply_embedded_orientation(decoded.get()));
}

}  // namespace quarrytide
