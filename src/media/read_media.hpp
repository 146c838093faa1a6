#pragma once
// One file's media fields as the probe answers them: "kind", the fields the
// file has, or "error". Parses untrusted data: runs only inside
// quarrytide-probe and its fuzz target.

#include <string>

#include <nlohmann/json.hpp>

namespace quarrytide {

// With `all`, "tags" too: every field the libraries read, by their keys, as text.
nlohmann::json readMediaFile(const std::string& path, bool all = false);

}  // namespace quarrytide
