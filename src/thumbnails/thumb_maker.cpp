#include "thumbnails/thumb_maker.hpp"

#include <gio/gio.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <set>

#include "catalogue/page_path.hpp"
#include "thumbnails/png_data_url.hpp"
#include "thumbnails/scaled_load.hpp"
#include "thumbnails/thumb_cache.hpp"

namespace quarrytide {
namespace {

// Calls the completion at most once, whichever road gets there.
class Completion {
 public:
  explicit Completion(std::function<void(std::string)> done) : done_(std::move(done)) {}
  void operator()(std::string url) {
    if (!called_.exchange(true)) done_(std::move(url));
  }

 private:
  std::function<void(std::string)> done_;
  std::atomic<bool> called_{false};
};

// Content types that one of GdkPixbuf's loaders reads.
bool decodable(const std::string& contentType) {
  static const std::set<std::string> types = [] {
    std::set<std::string> out;
    g_autoptr(GSList) formats = gdk_pixbuf_get_formats();
    for (GSList* f = formats; f; f = f->next) {
      auto* format = static_cast<GdkPixbufFormat*>(f->data);
      if (gdk_pixbuf_format_is_disabled(format)) continue;
      g_auto(GStrv) mimes = gdk_pixbuf_format_get_mime_types(format);
      for (gchar** m = mimes; m && *m; ++m) {
        g_autofree gchar* type = g_content_type_from_mime_type(*m);
        if (type) out.insert(type);
      }
    }
    return out;
  }();
  return types.count(contentType) > 0;
}

std::string guessedType(const char* filename) {
  g_autofree gchar* type = g_content_type_guess(filename, nullptr, 0, nullptr);
  return type ? type : "application/octet-stream";
}

// The file's own picture: from the shared cache, decoded, or made by a
// thumbnailer program; null when it has none.
// `contentType` is set in every case, for the icon road.
PixbufPtr findPicture(const std::string& path, int pixels, const std::string& cacheRoot,
                      const SystemThumbnailers& programs, const PreviewSource& previews,
                      std::string& contentType) {
  if (namesNoItem(path)) {  // no such file can exist
    contentType = "application/octet-stream";
    return {};
  }
  const std::string plain = plainPath(path);
  const char* absolute = plain.c_str();
  g_autoptr(GFile) file = g_file_new_for_path(absolute);
  g_autoptr(GFileInfo) info =
      g_file_query_info(file,
                        G_FILE_ATTRIBUTE_STANDARD_TYPE "," G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE
                                                       "," G_FILE_ATTRIBUTE_TIME_MODIFIED,
                        G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
  PixbufPtr picture;
  if (!info) {
    contentType = guessedType(absolute);  // missing: its name's icon
  } else {
    const char* type = g_file_info_get_content_type(info);
    contentType = type ? type : "application/octet-stream";
    if (g_file_info_get_file_type(info) == G_FILE_TYPE_REGULAR) {
      g_autofree gchar* uri = g_file_get_uri(file);
      auto mtime =
          std::int64_t(g_file_info_get_attribute_uint64(info, G_FILE_ATTRIBUTE_TIME_MODIFIED));
      picture = cachedThumb(cacheRoot, uri, mtime, pixels);
      if (!picture && previews && mayHaveOwnPreview(contentType))
        if (auto own = previews(path, pixels)) picture = previewPicture(*own, pixels);
      if (!picture)
        picture = decodable(contentType) ? loadScaled(absolute, pixels)
                                         : programs.make(absolute, uri, contentType, pixels);
    }
  }
  return picture;
}

}  // namespace

ThumbMaker::ThumbMaker(IconSource& icons, PostToMain toMain, std::string cacheRoot,
                       SystemThumbnailers programs, PreviewSource previews, unsigned threads)
    : icons_(icons),
      toMain_(std::move(toMain)),
      cacheRoot_(std::move(cacheRoot)),
      programs_(std::move(programs)),
      previews_(std::move(previews)),
      workers_(threads, "thumbnailer") {}

void ThumbMaker::makeThumb(const std::string& path, std::int64_t size, double scale,
                           std::function<void(std::string)> done) {
  auto finish = std::make_shared<Completion>(std::move(done));
  double wanted = double(size) * scale;
  if (!std::isfinite(wanted) || wanted < 0.5) {
    toMain_([finish] { (*finish)(""); });  // still later, never from inside the call
    return;
  }
  int pixels = int(std::lround(std::min(wanted, double(kMaxThumbPixels))));
  workers_.submit([this, path, pixels, finish] {
    try {
      std::string contentType;
      if (PixbufPtr picture =
              findPicture(path, pixels, cacheRoot_, programs_, previews_, contentType)) {
        (*finish)(pngDataURL(picture.get(), pixels));
        return;
      }
      // The icon road: icon sources are main-thread only.
      toMain_([icons = &icons_, contentType, pixels, finish] {
        try {
          PixbufPtr icon = icons->icon(contentType, pixels);
          (*finish)(icon ? pngDataURL(icon.get(), pixels) : "");
        } catch (...) {
          (*finish)("");
        }
      });
    } catch (...) {
      (*finish)("");
    }
  });
}

}  // namespace quarrytide
