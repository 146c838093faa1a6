#pragma once
// One requested change of one item, and its outcome.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "metadata/result.hpp"

namespace quarrytide {

struct Operation {
  std::optional<std::string> path;     // absent: the record is refused
  std::optional<std::string> newName;  // absent: keep the current name
  bool setTags = false;
  std::vector<std::string> tags;
  bool setLabel = false;
  std::int64_t label = 0;
  bool setComment = false;
  std::string comment;
  // The folder the item moves into with its new name ("/a/b", no trailing
  // "/"); absent: its own folder.
  std::optional<std::string> newFolder;
  // The record makes the folder `path` instead (a batch that moves items
  // into folders that are not there yet), or removes it (one it emptied).
  enum class FolderStep : int { kNone = 0, kMake = 1, kRemove = 2 } folderStep = FolderStep::kNone;
  bool folderOnly() const { return folderStep != FolderStep::kNone; }
  // The item is copied to its new path (into `newFolder`), the original kept.
  bool copy = false;
};

struct OpResult {
  bool ok = false;
  std::optional<std::string> path;     // the record's "path" as sent
  std::optional<std::string> newPath;  // where the item is now
  std::optional<std::string> error;
  std::optional<ErrorCode> code;  // with every error
  // Which part of the record failed: a rename or a tag write before a failed
  // comment went through.
  enum class Stage : int { kNone, kRename, kTags, kComment } stage = Stage::kNone;

  bool operator==(const OpResult&) const = default;
};

// What an item had before a record changed it, as read on the way: the user
// tags and the label when it sets either, the comment when it sets that
// (the journal keeps them for undo).
struct PriorState {
  std::optional<std::vector<std::string>> tags;  // the user tags
  std::optional<std::int64_t> label;
  std::optional<std::string> comment;
};

// Carries out one operation record; every failure is reported inside the
// result. With `prior`, it also says what the metadata it changed was.
// Called on `io` only.
OpResult applyOp(const Operation& op, PriorState* prior = nullptr);

}  // namespace quarrytide
