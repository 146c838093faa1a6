#include "media/read_media.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <exception>

#include "media/media_kind.hpp"
#include "media/readers.hpp"

namespace quarrytide {

namespace {

// Libraries name the file in their messages ("/home/…/x.tiff: The file
// contains data of an unknown image type"); the page shows the reason beside
// the file, so the path goes.
std::string withoutPath(std::string message, const std::string& path) {
  if (path.empty()) return message;
  for (const std::string& quoted :
       {"\u201c" + path + "\u201d", "'" + path + "'", "\"" + path + "\"", path})
    for (std::size_t at; (at = message.find(quoted)) != std::string::npos;)
      message.erase(at, quoted.size());
  const auto start = message.find_first_not_of(": ");
  return start == std::string::npos ? "the reader failed on this file" : message.substr(start);
}

}  // namespace

void putText(nlohmann::json& out, const char* key, std::string value) {
  auto last = value.find_last_not_of(" \t\r\n");
  value.erase(last == std::string::npos ? 0 : last + 1);
  auto firstChar = value.find_first_not_of(" \t\r\n");
  value.erase(0, firstChar == std::string::npos ? value.size() : firstChar);
  if (!value.empty()) out[key] = std::move(value);
}

void putTag(nlohmann::json* all, const std::string& key, std::string value) {
  if (!all || all->contains(key)) return;
  // a field is for a name or a look, not a blob: long ones are cut
  constexpr std::size_t kLongest = 1000;
  if (value.size() > kLongest) value.resize(kLongest);
  nlohmann::json one = nlohmann::json::object();
  putText(one, "v", std::move(value));
  if (one.contains("v")) (*all)[key] = std::move(one["v"]);
}

nlohmann::json readMediaFile(const std::string& path, bool all) {
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
  nlohmann::json tags = nlohmann::json::object();
  nlohmann::json* every = all ? &tags : nullptr;
  try {
    switch (kind) {
      case MediaKind::Image:
        readImage(path, out, every);
        break;
      case MediaKind::Audio:
        readAudio(path, out, every);
        break;
      case MediaKind::Video:
        readVideo(path, out, every);
        break;
      case MediaKind::Document:
        readDocument(path, out, every);
        break;
      case MediaKind::Other:
        break;
    }
    if (all) out["tags"] = std::move(tags);
  } catch (const std::exception& e) {
    out = {{"kind", mediaKindName(kind)}, {"error", withoutPath(e.what(), path)}};
  }
  return out;
}

nlohmann::json readPreviewFile(const std::string& path, int pixels, std::string& bytes) {
  struct stat st {};
  if (pixels <= 0 || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      mediaKindOf(path) != MediaKind::Image)
    return nlohmann::json::object();
  try {
    return readPreview(path, pixels, bytes);
  } catch (const std::exception& e) {
    bytes.clear();
    return {{"error", withoutPath(e.what(), path)}};
  }
}

}  // namespace quarrytide
