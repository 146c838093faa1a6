#include <unistd.h>

#include <cerrno>

#include "copy_item.hpp"
#include "file_record.hpp"
#include "metadata/comments.hpp"
#include "metadata/tag_store.hpp"
#include "metadata/tags.hpp"
#include "operation.hpp"
#include "page_path.hpp"
#include "rename.hpp"

namespace quarrytide {

OpResult applyOp(const Operation& op, PriorState* prior) {
  using Stage = OpResult::Stage;
  if (!op.path) return {false, std::nullopt, std::nullopt, "missing path", ErrorCode::kBadRequest};
  if (namesNoItem(*op.path))
    return {
        false,         op.path, std::nullopt, Error::posix(ENOENT).message, ErrorCode::kNotFound,
        Stage::kRename};
  std::string current = plainPath(*op.path);
  if (op.folderOnly()) {
    Status done = okStatus();
    if (op.folderStep == Operation::FolderStep::kMake)
      done = makeFolder(current);
    else if (::rmdir(current.c_str()) != 0)
      done = Error::posix(errno);
    if (!done)
      return {false,         op.path, std::nullopt, done.error().message, done.error().code,
              Stage::kRename};
    return {true, op.path, current, std::nullopt, std::nullopt, Stage::kNone};
  }

  if (op.newFolder) {
    const std::string to = *op.newFolder + "/" + op.newName.value_or(nameOf(current));
    auto moved = op.copy ? copyItem(current, to, true) : moveItem(current, to);
    // another drive: copied, checked, then the original removed
    if (!moved && moved.error().code == ErrorCode::kCrossDevice && !op.copy)
      moved = copyItem(current, to, false);
    if (!moved)
      return {false,         op.path, std::nullopt, moved.error().message, moved.error().code,
              Stage::kRename};
    current = std::move(moved).value();
  } else if (op.newName && *op.newName != nameOf(current)) {
    auto renamed = renameFile(current, *op.newName);
    if (!renamed)
      return {false,         op.path, std::nullopt, renamed.error().message, renamed.error().code,
              Stage::kRename};
    current = std::move(renamed).value();
  }

  auto failed = [&](std::string text, const Error& e, Stage stage) {
    return OpResult{false, op.path, current, std::move(text), e.code, stage};
  };

  if (op.setTags || op.setLabel) {
    // Going on without the current list would write one that lost the
    // user's tags, so a failed read ends the record.
    auto tags = readTags(current);
    if (!tags)
      return failed("tags: could not read the current tags: " + tags.error().message, tags.error(),
                    Stage::kTags);
    auto split = splitTags(*tags);
    if (prior) {  // both, as one write replaces both
      prior->tags = split.user;
      prior->label = split.label;
    }
    auto written = writeTags(current, joinTags(op.setTags ? op.tags : std::move(split.user),
                                               op.setLabel ? op.label : split.label));
    if (!written) return failed("tags: " + written.error().message, written.error(), Stage::kTags);
  }

  if (op.setComment && prior) prior->comment = readComment(current);
  if (op.setComment)
    if (Status set = setComment(current, op.comment); !set)
      return failed("comment: " + set.error().message, set.error(), Stage::kComment);

  return {true, op.path, current, std::nullopt, std::nullopt, Stage::kNone};
}

}  // namespace quarrytide
