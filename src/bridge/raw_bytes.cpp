#include "raw_bytes.hpp"

#include <glib.h>

namespace quarrytide {

bool isUtf8(std::string_view text) {
  for (std::size_t nul; (nul = text.find('\0')) != std::string_view::npos;
       text.remove_prefix(nul + 1))
    if (!g_utf8_validate_len(text.data(), nul, nullptr)) return false;
  return g_utf8_validate_len(text.data(), text.size(), nullptr);
}

std::string base64Of(std::string_view bytes) {
  g_autofree gchar* text =
      g_base64_encode(reinterpret_cast<const guchar*>(bytes.data()), bytes.size());
  return text;
}

std::optional<std::string> bytesOfBase64(std::string_view text) {
  // GLib decodes whatever it is given, skipping what is not base64: a typo
  // must not name another file
  if (text.size() % 4 != 0) return std::nullopt;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool digit = g_ascii_isalnum(c) || c == '+' || c == '/';
    const bool pad =
        c == '=' && i + 2 >= text.size() && (i + 1 == text.size() || text[i + 1] == '=');
    if (!digit && !pad) return std::nullopt;
  }
  std::string padded(text);
  gsize length = 0;
  g_autofree guchar* bytes = g_base64_decode(padded.c_str(), &length);
  if (!bytes) return std::string();
  return std::string(reinterpret_cast<const char*>(bytes), length);
}

}  // namespace quarrytide
