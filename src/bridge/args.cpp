#include "args.hpp"

#include <cmath>

#include "raw_bytes.hpp"

namespace quarrytide {

std::optional<std::int64_t> integralValue(const nlohmann::json& v) {
  // is_number_integer() is also true for unsigned values, so test those first.
  if (v.is_number_unsigned()) {
    auto u = v.get<std::uint64_t>();
    if (u <= static_cast<std::uint64_t>(INT64_MAX)) return static_cast<std::int64_t>(u);
    return std::nullopt;
  }
  if (v.is_number_integer()) return v.get<std::int64_t>();
  if (v.is_number_float()) {
    double d = v.get<double>();
    // 2^63 is exactly representable; every double below it in magnitude fits.
    if (std::isfinite(d) && std::trunc(d) == d && d >= -9223372036854775808.0 &&
        d < 9223372036854775808.0)
      return static_cast<std::int64_t>(d);
  }
  return std::nullopt;
}

Args::Args(const nlohmann::json& object) : object_(object.is_object() ? &object : nullptr) {}

const nlohmann::json* Args::find(const char* key) const {
  if (!object_) return nullptr;
  auto it = object_->find(key);
  return it == object_->end() ? nullptr : &*it;
}

bool Args::boolean(const char* key, bool fallback) const {
  const auto* v = find(key);
  return v && v->is_boolean() ? v->get<bool>() : fallback;
}

std::optional<std::int64_t> Args::integer(const char* key) const {
  const auto* v = find(key);
  return v ? integralValue(*v) : std::nullopt;
}

std::int64_t Args::integer(const char* key, std::int64_t fallback) const {
  return integer(key).value_or(fallback);
}

std::optional<std::string> Args::string(const char* key) const {
  const auto* v = find(key);
  if (!v || !v->is_string()) return std::nullopt;
  return v->get<std::string>();
}

std::optional<std::string> Args::path(const char* key, const char* rawKey) const {
  if (auto raw = string(rawKey)) return bytesOfBase64(*raw).value_or("");
  return string(key);
}

std::optional<std::vector<std::string>> Args::strings(const char* key) const {
  const auto* v = find(key);
  if (!v || !v->is_array()) return std::nullopt;
  std::vector<std::string> out;
  out.reserve(v->size());
  for (const auto& e : *v) {
    if (!e.is_string()) return std::nullopt;
    out.push_back(e.get<std::string>());
  }
  return out;
}

const nlohmann::json* Args::objects(const char* key) const {
  const auto* v = find(key);
  if (!v || !v->is_array()) return nullptr;
  for (const auto& e : *v)
    if (!e.is_object()) return nullptr;
  return v;
}

bool Args::foldersKind() const { return string("kind") == std::optional<std::string>("folders"); }

}  // namespace quarrytide
