// Any stored tag attribute: splitting never crashes, a colour name becomes
// the label at most once, and what the store can hold comes back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "metadata/tag_store.hpp"
#include "metadata/tags.hpp"

using namespace quarrytide;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view value(reinterpret_cast<const char*>(data), size);
  auto stored = splitStoredTags(value);
  // Every byte is in some tag or is a separator: nothing is dropped.
  std::size_t bytes = 0;
  for (const auto& t : stored) {
    if (t.find(',') != std::string::npos) std::abort();
    bytes += t.size();
  }
  if (!value.empty() && bytes + stored.size() - 1 != value.size()) std::abort();
  if (value.empty() != stored.empty()) std::abort();

  auto split = splitTags(stored);
  if (split.label < 0 || split.label >= static_cast<std::int64_t>(COLOR_NAMES.size())) std::abort();
  if (split.user.size() + (split.label ? 1 : 0) != stored.size()) std::abort();

  // Joining gives back the same tags with the label's colour at the end. Split
  // again, it is the same split, unless a second colour name was among the
  // user tags: the stored format then reads that one as the label.
  auto joined = joinTags(split.user, split.label);
  if (joined.size() != stored.size()) std::abort();
  std::int64_t firstColour = 0;
  for (const auto& t : split.user)
    if ((firstColour = labelForTag(t))) break;
  auto again = splitTags(joined);
  if (!firstColour && !(again == split)) std::abort();
  if (firstColour && again.label != firstColour) std::abort();

  // Any label index: only 1..7 adds a name.
  std::int64_t label = size ? static_cast<std::int8_t>(data[0]) : 0;
  auto withLabel = joinTags(split.user, label);
  bool named = label >= 1 && label <= 7;
  if (withLabel.size() != split.user.size() + (named ? 1 : 0)) std::abort();
  if (named && labelForTag(withLabel.back()) != label) std::abort();
  return 0;
}
