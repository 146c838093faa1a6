#pragma once
// Test pictures made with GdkPixbuf, and reading back a PNG data URL.

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <array>
#include <cstdlib>
#include <string>

#include "thumbnails/pixbuf_ptr.hpp"

namespace quarrytide::testing {

using Rgb = std::array<int, 3>;
inline constexpr Rgb kRed{255, 0, 0}, kBlue{0, 0, 255}, kGreen{0, 255, 0}, kMagenta{255, 0, 255};

// Left half `left`, right half `right`.
inline PixbufPtr halves(int width, int height, Rgb left, Rgb right) {
  PixbufPtr p(gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height));
  guint8* px = gdk_pixbuf_get_pixels(p.get());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c)
        px[y * gdk_pixbuf_get_rowstride(p.get()) + x * 3 + c] =
            guint8((x < width / 2 ? left : right)[c]);
  return p;
}

// Saves as "png" or "jpeg", with `key`/`value` options (PNG text chunks).
inline bool save(const PixbufPtr& p, const std::string& path, const char* type,
                 const char* key = nullptr, const char* value = nullptr, const char* key2 = nullptr,
                 const char* value2 = nullptr) {
  return gdk_pixbuf_save(p.get(), path.c_str(), type, nullptr, key, value, key2, value2, nullptr);
}

// The PNG inside a one-line thumbnail data URL; null when `url` is not one.
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

// Whether the pixel at (x, y) is `colour`, give or take JPEG and resampling.
inline bool near(const PixbufPtr& p, int x, int y, Rgb colour) {
  const guint8* px = gdk_pixbuf_read_pixels(p.get()) + y * gdk_pixbuf_get_rowstride(p.get()) +
                     x * gdk_pixbuf_get_n_channels(p.get());
  for (int c = 0; c < 3; ++c)
    if (std::abs(px[c] - colour[c]) > 40) return false;
  return true;
}

// The side of a square PNG data URL; -1 when it is not one.
inline int squareSide(const std::string& url) {
  PixbufPtr p = decodeDataUrl(url);
  if (!p || gdk_pixbuf_get_width(p.get()) != gdk_pixbuf_get_height(p.get())) return -1;
  return gdk_pixbuf_get_width(p.get());
}

}  // namespace quarrytide::testing
