#pragma once
// Names that are not UTF-8 cross the page's JSON as their bytes in base64:
// the text form of such a name has U+FFFD where its bytes were, which names
// no item and can stand for several.

#include <optional>
#include <string>
#include <string_view>

namespace quarrytide {

// Whether `text` is valid UTF-8 as GLib judges it (a NUL counts as text).
bool isUtf8(std::string_view text);

// `bytes` in standard base64, padded.
std::string base64Of(std::string_view bytes);

// The bytes of standard padded base64; nothing when `text` is not that.
std::optional<std::string> bytesOfBase64(std::string_view text);

}  // namespace quarrytide
