#include <cerrno>

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

std::string lastComponent(const std::string& path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

OpResult applyOp(const Operation& op, PriorState* prior) {
  if (!op.path) return {false, std::nullopt, std::nullopt, "missing path"};
  if (namesNoItem(*op.path)) return {false, op.path, std::nullopt, Error::posix(ENOENT).message};
  std::string current = plainPath(*op.path);

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
    if (prior) {  // both, as one write replaces both
      prior->tags = split.user;
      prior->label = split.label;
    }
    auto written = writeTags(current, joinTags(op.setTags ? op.tags : std::move(split.user),
                                               op.setLabel ? op.label : split.label));
    if (!written) return failed("tags: " + written.error().message);
  }

  if (op.setComment && prior) prior->comment = readFinderComment(current);
  if (op.setComment && !setFinderComment(current, op.comment)) return failed(kCommentFailed);

  return {true, op.path, current, std::nullopt};
}

}  // namespace quarrytide
