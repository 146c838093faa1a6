#pragma once
// The argument rules every command follows: a value of the wrong type counts
// as absent and the caller's default applies.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "journal/batch_plan.hpp"

namespace quarrytide {

// A number with an integral value inside the signed 64-bit range.
std::optional<std::int64_t> integralValue(const nlohmann::json& v);

class Args {
 public:
  // `object` that is not a JSON object reads as an empty one.
  explicit Args(const nlohmann::json& object);

  bool boolean(const char* key, bool fallback) const;
  std::optional<std::int64_t> integer(const char* key) const;
  std::int64_t integer(const char* key, std::int64_t fallback) const;
  std::optional<std::string> string(const char* key) const;
  // A path given as text (`key`) or as its bytes in base64 (`rawKey`, which
  // wins); bytes that are not base64 name no item (an empty path).
  std::optional<std::string> path(const char* key, const char* rawKey) const;
  // A list whose elements are all strings; any other element makes it absent.
  std::optional<std::vector<std::string>> strings(const char* key) const;
  // A list whose elements are all objects; any other element makes it absent.
  const nlohmann::json* objects(const char* key) const;
  // "kind" selects folders mode exactly when it is the string "folders".
  bool foldersKind() const;

 private:
  const nlohmann::json* find(const char* key) const;
  const nlohmann::json* object_;
};

// A runBatch change record as the engine takes it (docs/protocol.md).
Change changeFrom(const nlohmann::json& record);

// The metadata members of a change record (setTags/tags, setLabel/label,
// setComment/comment) into `out`; the values behind a flag are read only when
// the flag is set.
template <class Change>
void readMetadataFields(const Args& a, Change& out) {
  out.setTags = a.boolean("setTags", false);
  if (out.setTags) out.tags = a.strings("tags").value_or(std::vector<std::string>{});
  out.setLabel = a.boolean("setLabel", false);
  if (out.setLabel) out.label = a.integer("label", 0);
  out.setComment = a.boolean("setComment", false);
  if (out.setComment) out.comment = a.string("comment").value_or("");
}

}  // namespace quarrytide
