#pragma once
// One file's media fields as the probe answers them: "kind", the fields the
// file has, or "error". Parses untrusted data: runs only inside
// quarrytide-probe and its fuzz target.

#include <string>

#include <nlohmann/json.hpp>

namespace quarrytide {

// With `all`, "tags" too: every field the libraries read, by their keys, as text.
nlohmann::json readMediaFile(const std::string& path, bool all = false);

// A photo's own preview that covers a square of `pixels` (see readPreview):
// its JPEG into `bytes`; an empty object for a file that has none, "error"
// for one that cannot be read.
nlohmann::json readPreviewFile(const std::string& path, int pixels, std::string& bytes);

}  // namespace quarrytide
