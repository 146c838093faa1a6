#include "media/media_kind.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace quarrytide {

namespace {

constexpr std::array<std::pair<std::string_view, MediaKind>, 44> kByExtension{{
    {"jpg", MediaKind::Image},  {"jpeg", MediaKind::Image},   {"jpe", MediaKind::Image},
    {"png", MediaKind::Image},  {"tif", MediaKind::Image},    {"tiff", MediaKind::Image},
    {"webp", MediaKind::Image}, {"heif", MediaKind::Image},   {"heic", MediaKind::Image},
    {"avif", MediaKind::Image}, {"dng", MediaKind::Image},    {"cr2", MediaKind::Image},
    {"cr3", MediaKind::Image},  {"nef", MediaKind::Image},    {"arw", MediaKind::Image},
    {"orf", MediaKind::Image},  {"rw2", MediaKind::Image},    {"raf", MediaKind::Image},
    {"pef", MediaKind::Image},  {"gif", MediaKind::Image},    {"bmp", MediaKind::Image},
    {"mp3", MediaKind::Audio},  {"flac", MediaKind::Audio},   {"ogg", MediaKind::Audio},
    {"oga", MediaKind::Audio},  {"opus", MediaKind::Audio},   {"m4a", MediaKind::Audio},
    {"aac", MediaKind::Audio},  {"wav", MediaKind::Audio},    {"aif", MediaKind::Audio},
    {"aiff", MediaKind::Audio}, {"wma", MediaKind::Audio},    {"mp4", MediaKind::Video},
    {"mov", MediaKind::Video},  {"m4v", MediaKind::Video},    {"3gp", MediaKind::Video},
    {"mkv", MediaKind::Video},  {"webm", MediaKind::Video},   {"avi", MediaKind::Video},
    {"mts", MediaKind::Video},  {"m2ts", MediaKind::Video},   {"wmv", MediaKind::Video},
    {"mpg", MediaKind::Video},  {"pdf", MediaKind::Document},
}};

}  // namespace

MediaKind mediaKindOf(std::string_view path) {
  auto slash = path.rfind('/');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  auto dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || name.size() - dot > 6) return MediaKind::Other;
  std::string ext(name.substr(dot + 1));
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  for (const auto& [known, kind] : kByExtension)
    if (known == ext) return kind;
  return MediaKind::Other;
}

bool isHashName(std::string_view name) {
  for (std::string_view known : {"", "md5", "sha1", "sha256", "sha512", "xxh32", "xxh64", "xxh3"})
    if (name == known) return true;
  return false;
}

const char* mediaKindName(MediaKind kind) {
  switch (kind) {
    case MediaKind::Image:
      return "image";
    case MediaKind::Audio:
      return "audio";
    case MediaKind::Video:
      return "video";
    case MediaKind::Document:
      return "document";
    case MediaKind::Other:
      break;
  }
  return "other";
}

}  // namespace quarrytide
