#include "media/read_media.hpp"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>

#include "media/media_kind.hpp"
#include "media/readers.hpp"

namespace quarrytide {

namespace {

struct HashName {
  const char* name;
  GChecksumType type;
};
constexpr HashName kHashes[] = {{"md5", G_CHECKSUM_MD5},
                                {"sha1", G_CHECKSUM_SHA1},
                                {"sha256", G_CHECKSUM_SHA256},
                                {"sha512", G_CHECKSUM_SHA512}};

// The whole content's checksum, or the reason it could not be read.
bool hashFile(const std::string& path, GChecksumType type, std::string& out) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    out = std::strerror(errno);
    return false;
  }
  g_autoptr(GChecksum) sum = g_checksum_new(type);
  static thread_local std::string buffer(1 << 20, '\0');
  for (;;) {
    ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      out = std::strerror(errno);
      close(fd);
      return false;
    }
    if (n == 0) break;
    g_checksum_update(sum, reinterpret_cast<const guchar*>(buffer.data()), gsize(n));
  }
  close(fd);
  out = g_checksum_get_string(sum);
  return true;
}

}  // namespace

void putText(nlohmann::json& out, const char* key, std::string value) {
  auto last = value.find_last_not_of(" \t\r\n");
  value.erase(last == std::string::npos ? 0 : last + 1);
  auto firstChar = value.find_first_not_of(" \t\r\n");
  value.erase(0, firstChar == std::string::npos ? value.size() : firstChar);
  if (!value.empty()) out[key] = std::move(value);
}

nlohmann::json readMediaFile(const std::string& path, const std::string& hash) {
  const MediaKind kind = mediaKindOf(path);
  nlohmann::json out = {{"kind", mediaKindName(kind)}};
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    out["error"] = std::strerror(errno);
    return out;
  }
  if (!S_ISREG(st.st_mode)) {
    out["kind"] = "other";  // a folder named "x.jpg" is still a folder
    return out;
  }
  try {
    switch (kind) {
      case MediaKind::Image:
        readImage(path, out);
        break;
      case MediaKind::Audio:
        readAudio(path, out);
        break;
      case MediaKind::Video:
        readVideo(path, out);
        break;
      case MediaKind::Document:
        readDocument(path, out);
        break;
      case MediaKind::Other:
        break;
    }
  } catch (const std::exception& e) {
    out = {{"kind", mediaKindName(kind)}, {"error", e.what()}};
  }
  for (const auto& h : kHashes) {
    if (hash != h.name) continue;
    std::string sum;
    if (hashFile(path, h.type, sum))
      out["hash"] = sum;
    else if (!out.contains("error"))
      out["error"] = sum;
  }
  return out;
}

}  // namespace quarrytide
