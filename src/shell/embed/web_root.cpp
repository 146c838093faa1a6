#include "web_root.hpp"

#include <glib.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace quarrytide {
namespace {

std::optional<std::string> realPath(const std::string& path, std::string* why = nullptr) {
  std::unique_ptr<char, decltype(&free)> real(::realpath(path.c_str(), nullptr), &free);
  if (!real) {
    if (why) *why = std::strerror(errno);
    return std::nullopt;
  }
  return std::string(real.get());
}

}  // namespace

std::optional<WebRoot> WebRoot::open(const std::string& folder) {
  auto real = realPath(folder);
  struct stat st;
  if (!real || ::stat(real->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return WebRoot(*real);
}

std::variant<ServedFile, Refusal> WebRoot::resolve(const std::string& encodedPath) const {
  if (encodedPath.empty() || encodedPath[0] != '/') return Refusal{"not a path inside the page"};
  std::string relative = encodedPath == "/" ? "/index.html" : encodedPath;
  // Decoding refuses an encoded "/" (and NUL), so every segment checked
  // below is one segment on disk.
  g_autofree gchar* decoded = g_uri_unescape_string(relative.c_str(), "/");
  if (!decoded) return Refusal{"malformed path"};
  const std::string plain(decoded);
  g_auto(GStrv) segments = g_strsplit(plain.c_str() + 1, "/", -1);
  for (gchar** s = segments; *s; ++s)
    if (**s == '\0' || std::strcmp(*s, ".") == 0 || std::strcmp(*s, "..") == 0)
      return Refusal{"path leaves the page's folder"};

  std::string why;
  auto real = realPath(folder_ + plain, &why);
  if (!real) return Refusal{why};
  if (real->compare(0, folder_.size() + 1, folder_ + "/") != 0)
    return Refusal{"path leaves the page's folder"};
  struct stat st;
  if (::stat(real->c_str(), &st) != 0) return Refusal{std::strerror(errno)};
  if (!S_ISREG(st.st_mode)) return Refusal{"not a file"};
  return ServedFile{*real, mimeTypeFor(*real)};
}

std::string mimeTypeFor(const std::string& path) {
  // Module scripts are refused unless served as JavaScript, so the page's
  // own types are fixed here rather than guessed from the system database.
  static const std::pair<const char*, const char*> kTypes[] = {
      {".html", "text/html; charset=utf-8"},
      {".js", "text/javascript; charset=utf-8"},
      {".mjs", "text/javascript; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},
      {".json", "application/json"},
      {".svg", "image/svg+xml"},
      {".png", "image/png"},
      {".jpg", "image/jpeg"},
      {".jpeg", "image/jpeg"},
      {".gif", "image/gif"},
      {".webp", "image/webp"},
      {".ico", "image/x-icon"},
      {".woff2", "font/woff2"},
      {".woff", "font/woff"},
      {".ttf", "font/ttf"},
      {".txt", "text/plain; charset=utf-8"},
  };
  for (const auto& [ext, type] : kTypes)
    if (g_str_has_suffix(path.c_str(), ext)) return type;
  return "application/octet-stream";
}

std::string errorPage(const std::string& what, const std::string& reason) {
  auto escape = [](const std::string& text) {
    g_autofree gchar* valid = g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size()));
    g_autofree gchar* escaped = g_markup_escape_text(valid, -1);
    return std::string(escaped);
  };
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Quarrytide</title>"
         "<style>body{background:#0e100d;color:#d6dcd2;font:15px system-ui,sans-serif;"
         "margin:48px}code{color:#f0b36b}</style></head><body>"
         "<h1>The page could not be shown</h1><p><code>" +
         escape(what) + "</code></p><p>" + escape(reason) + "</p></body></html>";
}

}  // namespace quarrytide
