#include "thumbnails/scaled_load.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

namespace quarrytide {
namespace {

struct SizeChoice {
  int pixels = 0;
  bool refused = false;
  std::string endMarker;  // what a complete file of this format ends with
};

bool isFormat(GdkPixbufFormat* format, const char* name) {
  if (!format) return false;
  g_autofree gchar* n = gdk_pixbuf_format_get_name(format);
  return g_strcmp0(n, name) == 0;
}

long long ceilDiv(long long a, long long b) { return (a + b - 1) / b; }

// "size-prepared": the loader knows the full size and asks how big to decode.
void onSizePrepared(GdkPixbufLoader* loader, int width, int height, gpointer data) {
  auto* choice = static_cast<SizeChoice*>(data);
  GdkPixbufFormat* format = gdk_pixbuf_loader_get_format(loader);
  long long w = width, h = height;
  if (format && gdk_pixbuf_format_is_scalable(format)) {
    w = h = choice->pixels;
  } else if (isFormat(format, "jpeg")) {
    // libjpeg scales by 1/2, 1/4 or 1/8 while decoding, rounding up; asking
    // for exactly that size avoids a second resampling in the loader.
    for (int denom = 8; denom > 1; denom /= 2) {
      if (ceilDiv(width, denom) >= choice->pixels && ceilDiv(height, denom) >= choice->pixels) {
        w = ceilDiv(width, denom);
        h = ceilDiv(height, denom);
        break;
      }
    }
  }
  if (isFormat(format, "jpeg")) choice->endMarker = "\xFF\xD9";
  if (isFormat(format, "png")) choice->endMarker = "IEND";
  if (w <= 0 || h <= 0 || w * h > kMaxDecodedPixels) {
    choice->refused = true;
    gdk_pixbuf_loader_set_size(loader, 0, 0);  // 0 x 0 makes the loaders stop
    return;
  }
  if (w != width || h != height) gdk_pixbuf_loader_set_size(loader, int(w), int(h));
}

enum class Fed { whole, cutShort, rejected };

// The JPEG and PNG loaders pad a truncated file with grey or transparency
// and report no error, so such a file counts as complete only when its end
// marker is near the end (some writers add a little padding after it).
constexpr std::size_t kTail = 4096;
bool endsWith(std::string_view bytes, const std::string& marker) {
  return bytes.substr(bytes.size() - std::min(bytes.size(), kTail)).find(marker) !=
         std::string_view::npos;
}
bool endsWith(int fd, const std::string& marker) {
  if (marker.empty()) return true;
  struct stat st;
  if (fstat(fd, &st) != 0) return false;
  std::string tail(std::size_t(std::min<off_t>(st.st_size, kTail)), '\0');
  ssize_t n = pread(fd, tail.data(), tail.size(), st.st_size - off_t(tail.size()));
  return n > 0 && endsWith(std::string_view(tail).substr(0, std::size_t(n)), marker);
}

// Feeds the whole file to `loader`. `rejected`: the loader failed and has
// closed itself (closing it again is an error).
Fed feed(int fd, GdkPixbufLoader* loader, const SizeChoice& choice) {
  std::vector<guchar> buffer(256 * 1024);
  for (;;) {
    ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fed::cutShort;
    if (n == 0) return Fed::whole;
    if (!gdk_pixbuf_loader_write(loader, buffer.data(), gsize(n), nullptr)) return Fed::rejected;
    if (choice.refused) return Fed::cutShort;
  }
}

}  // namespace

PixbufPtr loadScaled(const std::string& path, int pixels) {
  if (pixels <= 0) return {};
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return {};
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return {};
  }

  g_autoptr(GdkPixbufLoader) loader = gdk_pixbuf_loader_new();
  SizeChoice choice;
  choice.pixels = pixels;
  g_signal_connect(loader, "size-prepared", G_CALLBACK(onSizePrepared), &choice);
  Fed fed = feed(fd, loader, choice);
  // A loader must be closed before it goes. Small files are only sniffed and
  // decoded here, so the format (and its end marker) is known after this.
  bool closed = fed != Fed::rejected && gdk_pixbuf_loader_close(loader, nullptr);
  bool complete = closed && endsWith(fd, choice.endMarker);
  close(fd);
  PixbufPtr result;
  GdkPixbuf* decoded = gdk_pixbuf_loader_get_pixbuf(loader);  // owned by the loader
  if (fed == Fed::whole && closed && !choice.refused && complete && decoded)
    result.reset(gdk_pixbuf_apply_embedded_orientation(decoded));
  return result;
}

PixbufPtr loadScaledBytes(const std::string& bytes, int pixels) {
  if (pixels <= 0 || bytes.empty()) return {};
  g_autoptr(GdkPixbufLoader) loader = gdk_pixbuf_loader_new();
  SizeChoice choice;
  choice.pixels = pixels;
  g_signal_connect(loader, "size-prepared", G_CALLBACK(onSizePrepared), &choice);
  if (!gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes.data()), bytes.size(),
                               nullptr))
    return {};  // the loader has closed itself
  bool closed = gdk_pixbuf_loader_close(loader, nullptr);
  GdkPixbuf* decoded = gdk_pixbuf_loader_get_pixbuf(loader);
  if (!closed || choice.refused || !endsWith(bytes, choice.endMarker) || !decoded) return {};
  return PixbufPtr(GDK_PIXBUF(g_object_ref(decoded)));
}

}  // namespace quarrytide
