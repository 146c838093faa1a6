#include "thumbnails/png_data_url.hpp"

#include "thumbnails/pixbuf_ptr.hpp"

namespace quarrytide {

std::string pngDataURL(const GdkPixbuf* image, int side) {
  if (!image || side <= 0) return "";
  // HYPER is the best resampling GdkPixbuf has; when reducing, it costs about
  // what bilinear does.
  PixbufPtr square(gdk_pixbuf_scale_simple(image, side, side, GDK_INTERP_HYPER));
  if (!square) return "";
  g_autofree gchar* png = nullptr;
  gsize length = 0;
  if (!gdk_pixbuf_save_to_buffer(square.get(), &png, &length, "png", nullptr, nullptr)) return "";
  g_autofree gchar* base64 = g_base64_encode(reinterpret_cast<const guchar*>(png), length);
  return std::string("data:image/png;base64,") + base64;
}

}  // namespace quarrytide
