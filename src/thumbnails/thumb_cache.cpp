#include "thumbnails/thumb_cache.hpp"

#include "thumbnails/scaled_load.hpp"

namespace quarrytide {
namespace {

struct SizeClass {
  const char* folder;
  int pixels;
};
constexpr SizeClass kClasses[] = {
    {"normal", 128}, {"large", 256}, {"x-large", 512}, {"xx-large", 1024}};

bool matches(GdkPixbuf* thumb, const std::string& uri, std::int64_t mtime) {
  const gchar* thumbUri = gdk_pixbuf_get_option(thumb, "tEXt::Thumb::URI");
  const gchar* thumbMTime = gdk_pixbuf_get_option(thumb, "tEXt::Thumb::MTime");
  if (!thumbUri || !thumbMTime || uri != thumbUri) return false;
  // Whole seconds; some writers add a fraction, which is ignored.
  gchar* end = nullptr;
  gint64 seconds = g_ascii_strtoll(thumbMTime, &end, 10);
  return end != thumbMTime && (*end == '\0' || *end == '.') && seconds == mtime;
}

}  // namespace

std::string defaultThumbCacheRoot() {
  g_autofree gchar* root = g_build_filename(g_get_user_cache_dir(), "thumbnails", nullptr);
  return root;
}

PixbufPtr cachedThumb(const std::string& root, const std::string& uri, std::int64_t mtime,
                      int pixels) {
  g_autofree gchar* md5 = g_compute_checksum_for_string(G_CHECKSUM_MD5, uri.c_str(), -1);
  const std::string name = std::string(md5) + ".png";
  for (const auto& size : kClasses) {
    if (size.pixels < pixels) continue;
    g_autofree gchar* file = g_build_filename(root.c_str(), size.folder, name.c_str(), nullptr);
    PixbufPtr thumb = loadScaled(file, size.pixels);
    if (thumb && matches(thumb.get(), uri, mtime)) return thumb;
  }
  return {};
}

}  // namespace quarrytide
