#pragma once
// One file's media fields as the probe answers them: "kind", the fields the
// file has, "hash" when asked, or "error". Parses untrusted data: runs only
// inside quarrytide-probe and its fuzz target.

#include <string>

#include <nlohmann/json.hpp>

namespace quarrytide {

// "", "md5", "sha1", "sha256" or "sha512"; "" asks for no hash.
bool isHashName(const std::string& name);

nlohmann::json readMediaFile(const std::string& path, const std::string& hash);

}  // namespace quarrytide
