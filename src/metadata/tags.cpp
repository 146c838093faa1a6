#include "tags.hpp"

namespace quarrytide {

std::int64_t labelForTag(std::string_view tag) {
  // Index 0 is the empty name, so the empty tag maps to "no label" too.
  for (std::size_t i = 0; i < COLOR_NAMES.size(); ++i) {
    if (COLOR_NAMES[i] == tag) return static_cast<std::int64_t>(i);
  }
  return 0;
}

SplitTags splitTags(const std::vector<std::string>& tags) {
  SplitTags out;
  out.user.reserve(tags.size());
  for (const auto& tag : tags) {
    const std::int64_t label = out.label == 0 ? labelForTag(tag) : 0;
    if (label != 0) {
      out.label = label;
    } else {
      out.user.push_back(tag);
    }
  }
  return out;
}

std::vector<std::string> joinTags(std::vector<std::string> user, std::int64_t label) {
  if (label >= 1 && label < static_cast<std::int64_t>(COLOR_NAMES.size())) {
    user.emplace_back(COLOR_NAMES[static_cast<std::size_t>(label)]);
  }
  return user;
}

}  // namespace quarrytide
