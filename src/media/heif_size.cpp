#include "media/heif_size.hpp"

#include <libheif/heif.h>

#include <memory>

#include "media/lazy_library.hpp"

namespace quarrytide {

namespace {

// The calls made here, from the library loaded with the first HEIF picture:
// it brings every HEVC and AV1 codec with it.
struct Heif {
  decltype(&heif_context_alloc) alloc;
  decltype(&heif_context_free) free;
  decltype(&heif_context_read_from_file) read;
  decltype(&heif_context_get_primary_image_handle) primary;
  decltype(&heif_image_handle_get_width) width;
  decltype(&heif_image_handle_get_height) height;
  decltype(&heif_image_handle_release) release;
};

const Heif* heif() {
  static const Heif* api = []() -> const Heif* {
    static const LazyLibrary lib(QUARRYTIDE_HEIF_SONAME);
    static Heif h;
    bool ok = lib.bind(h.alloc, "heif_context_alloc") && lib.bind(h.free, "heif_context_free") &&
              lib.bind(h.read, "heif_context_read_from_file") &&
              lib.bind(h.primary, "heif_context_get_primary_image_handle") &&
              lib.bind(h.width, "heif_image_handle_get_width") &&
              lib.bind(h.height, "heif_image_handle_get_height") &&
              lib.bind(h.release, "heif_image_handle_release");
    return ok ? &h : nullptr;
  }();
  return api;
}

}  // namespace

std::optional<std::pair<long, long>> heifPictureSize(const std::string& path) {
  const Heif* h = heif();
  if (!h) return std::nullopt;  // without libheif, the Exif tags' size
  auto freeContext = [h](heif_context* c) { h->free(c); };
  std::unique_ptr<heif_context, decltype(freeContext)> context(h->alloc(), freeContext);
  if (!context || h->read(context.get(), path.c_str(), nullptr).code != heif_error_Ok)
    return std::nullopt;
  heif_image_handle* raw = nullptr;
  if (h->primary(context.get(), &raw).code != heif_error_Ok) return std::nullopt;
  auto release = [h](heif_image_handle* handle) { h->release(handle); };
  std::unique_ptr<heif_image_handle, decltype(release)> picture(raw, release);
  const long width = h->width(picture.get()), height = h->height(picture.get());
  if (width <= 0 || height <= 0) return std::nullopt;
  return std::pair{width, height};
}

}  // namespace quarrytide
