// bench-thumbnails-loop make DIR N: writes N distinct 12-megapixel JPEGs, and
// for each the 160x120 thumbnail a camera stores in its Exif (DIR/thumbs/).
// bench-thumbnails-loop load PIXELS FILE...: the minimal thumbnail loop, one
// thread, each file loaded at PIXELS x PIXELS with gdk_pixbuf_new_from_file_at_scale.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int make(const char* dir, int count) {
  const int width = 4000, height = 3000;
  GdkPixbuf* photo = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  guint8* px = gdk_pixbuf_get_pixels(photo);
  int stride = gdk_pixbuf_get_rowstride(photo);
  std::uint32_t seed = 2463534242u;
  for (int i = 0; i < count; ++i) {
    // Gradients plus fine noise: about the size and entropy of a real photo.
    for (int y = 0; y < height; ++y) {
      guint8* row = px + std::size_t(y) * stride;
      for (int x = 0; x < width; ++x) {
        seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
        int noise = int(seed & 31) - 16;
        row[3 * x] = guint8(std::clamp((x * 255 / width + i * 7) % 256 + noise, 0, 255));
        row[3 * x + 1] = guint8(std::clamp(y * 255 / height + noise, 0, 255));
        row[3 * x + 2] = guint8(std::clamp(((x + y) / 16 + i * 31) % 256 + noise, 0, 255));
      }
    }
    std::string path = std::string(dir) + "/photo-" + std::to_string(i) + ".jpg";
    GError* error = nullptr;
    if (!gdk_pixbuf_save(photo, path.c_str(), "jpeg", &error, "quality", "90", nullptr)) {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), error->message);
      return 1;
    }
    GdkPixbuf* thumb = gdk_pixbuf_scale_simple(photo, 160, 120, GDK_INTERP_BILINEAR);
    std::string thumbPath = std::string(dir) + "/thumbs/photo-" + std::to_string(i) + ".jpg";
    bool saved = gdk_pixbuf_save(thumb, thumbPath.c_str(), "jpeg", &error, nullptr);
    g_object_unref(thumb);
    if (!saved) {
      std::fprintf(stderr, "%s: %s\n", thumbPath.c_str(), error->message);
      return 1;
    }
  }
  g_object_unref(photo);
  return 0;
}

int load(int pixels, int count, char** files) {
  int made = 0;
  for (int i = 0; i < count; ++i) {
    GdkPixbuf* thumb = gdk_pixbuf_new_from_file_at_scale(files[i], pixels, pixels, FALSE, nullptr);
    if (thumb) ++made, g_object_unref(thumb);
  }
  std::printf("%d\n", made);
  return made == count ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "make") == 0) return make(argv[2], std::atoi(argv[3]));
  if (argc >= 3 && std::strcmp(argv[1], "load") == 0)
    return load(std::atoi(argv[2]), argc - 3, argv + 3);
  std::fprintf(stderr, "usage: bench-thumbnails-loop make DIR N | load PIXELS FILE...\n");
  return 2;
}
