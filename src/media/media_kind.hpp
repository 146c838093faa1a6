#pragma once
// What kind of media a file is, by its name alone: the app answers the kind
// of a file the reader could not read without looking inside it.

#include <string>
#include <string_view>

namespace quarrytide {

enum class MediaKind { Image, Audio, Video, Document, Other };

// By the extension, in any letter case; "other" for anything unknown.
MediaKind mediaKindOf(std::string_view path);
const char* mediaKindName(MediaKind kind);

// A hash readMedia offers ("md5", "sha1", "sha256", "sha512"), or "" for none.
bool isHashName(std::string_view name);

}  // namespace quarrytide
