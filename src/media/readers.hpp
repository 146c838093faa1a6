#pragma once
// The readers of file contents, one per family. They parse untrusted data,
// so they run only inside quarrytide-probe (and its fuzz target). Each fills
// `out` with the fields the file has, or throws std::exception with a short
// message when the file cannot be read. Headers only: nothing is decoded.

#include <string>

#include <nlohmann/json.hpp>

namespace quarrytide {

// `all`, when given, takes every field the library reads, by its key, as
// text (see putTag).
void readImage(const std::string& path, nlohmann::json& out, nlohmann::json* all);     // exiv2
void readAudio(const std::string& path, nlohmann::json& out, nlohmann::json* all);     // TagLib
void readVideo(const std::string& path, nlohmann::json& out, nlohmann::json* all);     // libavformat
void readDocument(const std::string& path, nlohmann::json& out, nlohmann::json* all);  // poppler

// A photo's own preview (its Exif thumbnail, a raw file's JPEG), the
// smallest whose shorter side has at least `pixels`: its JPEG into `bytes`;
// "previewWidth", "previewHeight", "orientation" (Exif) and the picture's
// "width" and "height" as stored. An empty object when it has none.
nlohmann::json readPreview(const std::string& path, int pixels, std::string& bytes);  // exiv2

// Once per process, before any reader: quiets the libraries' own logging.
void initReaders();

// Sets `key` to a text value unless it is blank.
void putText(nlohmann::json& out, const char* key, std::string value);
// Into `all` (when there is one): `key` as text unless blank or there already
// (the first reading of a key wins), cut to 1,000 bytes.
void putTag(nlohmann::json* all, const std::string& key, std::string value);

}  // namespace quarrytide
