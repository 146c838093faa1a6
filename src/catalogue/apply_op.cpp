#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "file_record.hpp"
#include "metadata/comments.hpp"
#include "metadata/tag_store.hpp"
#include "metadata/tags.hpp"
#include "operation.hpp"
#include "rename.hpp"

namespace quarrytide {

namespace {

// The page matches this text to tell the user what to allow.
constexpr const char* kCommentFailed =
    "Could not set comment (allow controlling Finder in System Settings \u25B8 Privacy \u25B8 "
    "Automation).";

// The item's path as the page gets it back: absolute (relative to the working
// directory), without "." components or repeated and trailing "/".
std::string itemPath(const std::string& path) {
  std::string full = path;
  if (full.empty() || full[0] != '/') {
    if (char* cwd = ::getcwd(nullptr, 0)) {
      full = std::string(cwd) + "/" + path;
      std::free(cwd);
    }
  }
  std::string out;
  std::size_t start = 0;
  while (start <= full.size()) {
    std::size_t end = full.find('/', start);
    if (end == std::string::npos) end = full.size();
    std::string_view part(full.data() + start, end - start);
    if (!part.empty() && part != ".") out.append("/").append(part);
    start = end + 1;
  }
  return out.empty() ? "/" : out;
}

std::string lastComponent(const std::string& path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

OpResult applyOp(const Operation& op) {
  if (!op.path) return {false, std::nullopt, std::nullopt, "missing path"};
  if (namesNoItem(*op.path)) return {false, op.path, std::nullopt, Error::posix(ENOENT).message};
  std::string current = itemPath(*op.path);

  if (op.newName && *op.newName != lastComponent(current)) {
    auto renamed = renameFile(current, *op.newName);
    if (!renamed) return {false, op.path, std::nullopt, renamed.error().message};
    current = std::move(renamed).value();
  }

  auto failed = [&](std::string error) {
    return OpResult{false, op.path, current, std::move(error)};
  };

  if (op.setTags || op.setLabel) {
    // Going on without the current list would write one that lost the
    // user's tags, so a failed read ends the record.
    auto tags = readTags(current);
    if (!tags) return failed("tags: could not read the current tags: " + tags.error().message);
    auto split = splitTags(*tags);
    auto written = writeTags(current, joinTags(op.setTags ? op.tags : std::move(split.user),
                                               op.setLabel ? op.label : split.label));
    if (!written) return failed("tags: " + written.error().message);
  }

  if (op.setComment && !setFinderComment(current, op.comment)) return failed(kCommentFailed);

  return {true, op.path, current, std::nullopt};
}

}  // namespace quarrytide
