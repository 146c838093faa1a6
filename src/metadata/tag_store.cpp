#include "tag_store.hpp"

#include <sys/xattr.h>

#include <cerrno>

#include "xattr_value.hpp"

namespace quarrytide {

std::vector<std::string> splitStoredTags(std::string_view value) {
  // An empty value holds no tags (not one empty tag); "a,,b" keeps its empty
  // middle tag, since a tag list may hold empty names.
  std::vector<std::string> tags;
  if (value.empty()) return tags;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = value.find(',', start);
    tags.emplace_back(value.substr(start, comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return tags;
}

Result<std::vector<std::string>> readTags(const std::string& path) {
  std::string value;
  const int err = readAttribute(path.c_str(), kTagsAttribute, value);
  if (err == 0) return splitStoredTags(value);
  if (isNoAttribute(err)) return std::vector<std::string>{};
  return Error::posix(err);
}

Status writeTags(const std::string& path, const std::vector<std::string>& tags) {
  std::string value;
  for (const auto& tag : tags) {
    // The stored format has no escape for its separator: such a tag would
    // come back as two tags.
    if (tag.find(',') != std::string::npos) {
      return Error{ErrorCode::kInvalidTag,
                   "Tag names cannot contain \",\": \"" + tag + "\" was not written."};
    }
    if (&tag != &tags.front()) value += ',';
    value += tag;
  }
  if (tags.empty()) {
    // Already absent, or a file system that cannot hold tags at all: either
    // way the item has none, as asked.
    if (::lremovexattr(path.c_str(), kTagsAttribute) == 0 || isNoAttribute(errno))
      return okStatus();
    return Error::posix(errno);
  }
  if (::lsetxattr(path.c_str(), kTagsAttribute, value.data(), value.size(), 0) != 0) {
    return Error::posix(errno);
  }
  return okStatus();
}

}  // namespace quarrytide
