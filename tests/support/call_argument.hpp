#pragma once
// The object a script call `prefix(...)` passes to the page, in either form
// the native side writes: `f({...})`, or `f(JSON.parse("..."))` for large ones.

#include <string_view>

#include <nlohmann/json.hpp>

namespace quarrytide::testing {

// Discarded when `script` is not such a call.
inline nlohmann::json callArgument(std::string_view script, std::string_view prefix) {
  if (!script.starts_with(prefix) || !script.ends_with(")"))
    return nlohmann::json::value_t::discarded;
  std::string_view inside = script.substr(prefix.size(), script.size() - prefix.size() - 1);
  constexpr std::string_view kParse = "JSON.parse(";
  if (!inside.starts_with(kParse) || !inside.ends_with(")"))
    return nlohmann::json::parse(inside, nullptr, false);
  // The string literal holds only \" and \\ escapes: it reads as a JSON string.
  auto text = nlohmann::json::parse(inside.substr(kParse.size(), inside.size() - kParse.size() - 1),
                                    nullptr, false);
  if (!text.is_string()) return nlohmann::json::value_t::discarded;
  return nlohmann::json::parse(text.get<std::string>(), nullptr, false);
}

}  // namespace quarrytide::testing
