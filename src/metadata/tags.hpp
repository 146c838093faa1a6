#pragma once
// Colour labels are colour-name tags: the first colour name in an item's tag
// list is its label, the rest are its user tags.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarrytide {

// Index = colour label; 0 (the empty name) means no label.
inline constexpr std::array<std::string_view, 8> COLOR_NAMES = {
    "", "Gray", "Green", "Purple", "Blue", "Yellow", "Red", "Orange"};

struct SplitTags {
  std::vector<std::string> user;
  std::int64_t label = 0;
  bool operator==(const SplitTags&) const = default;
};

// The label a tag name stands for (exact, case-sensitive match), 0 for none.
std::int64_t labelForTag(std::string_view tag);
// First colour name wins; nothing else is dropped, merged or reordered.
SplitTags splitTags(const std::vector<std::string>& tags);
// User tags, then the colour name of `label` when it is 1..7. No dedup.
std::vector<std::string> joinTags(std::vector<std::string> user, std::int64_t label);

}  // namespace quarrytide
