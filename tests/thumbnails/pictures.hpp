#pragma once
// Test pictures made with GdkPixbuf, and reading back a PNG data URL.

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "thumbnails/pixbuf_ptr.hpp"

namespace quarrytide::testing {

using Rgba = std::array<guint8, 4>;
inline constexpr Rgba kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255}, kGreen{0, 255, 0, 255};

// Left half `left`, right half `right` (one colour when they are equal).
inline PixbufPtr halves(int width, int height, Rgba left, Rgba right) {
  PixbufPtr p(gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, width, height));
  guint8* px = gdk_pixbuf_get_pixels(p.get());
  int stride = gdk_pixbuf_get_rowstride(p.get());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const Rgba& c = x < width / 2 ? left : right;
      std::copy(c.begin(), c.end(), px + y * stride + x * 4);
    }
  return p;
}

// Saves as "png" or "jpeg" (which drops the alpha channel first).
inline bool save(const GdkPixbuf* p, const std::string& path, const char* type) {
  if (std::string(type) == "jpeg") {
    PixbufPtr rgb(gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, gdk_pixbuf_get_width(p),
                                 gdk_pixbuf_get_height(p)));
    gdk_pixbuf_composite_color(p, rgb.get(), 0, 0, gdk_pixbuf_get_width(p),
                               gdk_pixbuf_get_height(p), 0, 0, 1, 1, GDK_INTERP_NEAREST, 255, 0, 0,
                               1, 0xffffff, 0xffffff);
    return gdk_pixbuf_save(rgb.get(), path.c_str(), "jpeg", nullptr, "quality", "95", nullptr);
  }
  return gdk_pixbuf_save(const_cast<GdkPixbuf*>(p), path.c_str(), type, nullptr, nullptr);
}

// The PNG inside a thumbnail data URL; null when `url` is not one.
inline PixbufPtr decodeDataUrl(const std::string& url) {
  const std::string prefix = "data:image/png;base64,";
  if (url.rfind(prefix, 0) != 0 || url.find('\n') != std::string::npos) return {};
  gsize length = 0;
  guchar* png = g_base64_decode(url.c_str() + prefix.size(), &length);
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
  PixbufPtr out;
  if (gdk_pixbuf_loader_write(loader, png, length, nullptr) &&
      gdk_pixbuf_loader_close(loader, nullptr))
    out.reset(GDK_PIXBUF(g_object_ref(gdk_pixbuf_loader_get_pixbuf(loader))));
  g_object_unref(loader);
  g_free(png);
  return out;
}

// The pixel at (x, y) as RGBA (opaque when the image has no alpha).
inline Rgba pixel(const GdkPixbuf* p, int x, int y) {
  const guint8* px = gdk_pixbuf_read_pixels(p) + y * gdk_pixbuf_get_rowstride(p) +
                     x * gdk_pixbuf_get_n_channels(p);
  return {px[0], px[1], px[2], gdk_pixbuf_get_has_alpha(p) ? px[3] : guint8(255)};
}

// Each channel within `tolerance` (JPEG and resampling shift colours a little).
inline bool near(Rgba a, Rgba b, int tolerance = 40) {
  for (int i = 0; i < 4; ++i)
    if (std::abs(int(a[i]) - int(b[i])) > tolerance) return false;
  return true;
}

}  // namespace quarrytide::testing
