#pragma once
// Test pictures made with GdkPixbuf, and what a thumbnail data URL shows.

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <array>
#include <cstdlib>
#include <initializer_list>
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

// Saves as "png" or "jpeg"; `options` are key, value, ... (PNG text chunks).
template <class... Options>
bool save(const PixbufPtr& p, const std::string& path, const char* type, Options... options) {
  return gdk_pixbuf_save(p.get(), path.c_str(), type, nullptr, options..., nullptr);
}

// The colour at (x, y), give or take JPEG and resampling: r, g, b or m; ? for others.
inline char colourAt(GdkPixbuf* p, int x, int y) {
  if (x >= gdk_pixbuf_get_width(p) || y >= gdk_pixbuf_get_height(p)) return '?';
  const guint8* px = gdk_pixbuf_read_pixels(p) + y * gdk_pixbuf_get_rowstride(p) +
                     x * gdk_pixbuf_get_n_channels(p);
  for (auto [name, rgb] : {std::pair{'r', kRed}, {'g', kGreen}, {'b', kBlue}, {'m', kMagenta}})
    if (std::abs(px[0] - rgb[0]) <= 40 && std::abs(px[1] - rgb[1]) <= 40 &&
        std::abs(px[2] - rgb[2]) <= 40)
      return name;
  return '?';
}

// What a thumbnail data URL shows: "WxH" then the colour at each of `points`;
// "none" when it is not a one-line PNG data URL.
inline std::string sketch(const std::string& url,
                          std::initializer_list<std::array<int, 2>> points = {}) {
  const std::string prefix = "data:image/png;base64,";
  if (url.rfind(prefix, 0) != 0 || url.find('\n') != std::string::npos) return "none";
  gsize length = 0;
  guchar* png = g_base64_decode(url.c_str() + prefix.size(), &length);
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
  std::string out = "none";
  if (gdk_pixbuf_loader_write(loader, png, length, nullptr) &&
      gdk_pixbuf_loader_close(loader, nullptr)) {
    GdkPixbuf* p = gdk_pixbuf_loader_get_pixbuf(loader);
    out = std::to_string(gdk_pixbuf_get_width(p)) + "x" + std::to_string(gdk_pixbuf_get_height(p));
    if (points.size()) out += ' ';
    for (auto [x, y] : points) out += colourAt(p, x, y);
  }
  g_object_unref(loader);
  g_free(png);
  return out;
}

}  // namespace quarrytide::testing
