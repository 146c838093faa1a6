#pragma once
// A batch as a whole: the changes asked for, checked together, and put in an
// order that never needs to replace an item. Renames that wait on each other
// run as chains; a cycle passes one item through a temporary name of its own.
//
// Thread rule: pure functions, on any thread (the checks look at the disk).

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/operation.hpp"

namespace quarrytide {

// One item and what becomes of it.
struct Change {
  std::string path;                    // as sent; made plain by the check
  std::optional<std::string> newPath;  // its whole new path; absent: it keeps its name
  bool setTags = false;
  std::vector<std::string> tags;
  bool setLabel = false;
  std::int64_t label = 0;
  bool setComment = false;
  std::string comment;
};

struct BatchOptions {
  bool folders = false;        // new paths may be in other folders (see checkChanges)
  bool removeEmptied = false;  // then remove the folders items left, when empty
  bool copy = false;           // items are copied to their new paths, the originals kept
};

// Why each change cannot be part of the set (nullopt where nothing is wrong).
// Any reason refuses the whole set: two changes for one item, two items onto
// one path, a target held by an item that stays, an invalid name, a move into
// another folder. With `folders`, a new path may be in any folder on the same
// file system: one that is not there is made, unless a file stands where it
// or a folder above it would be. With `copy`, no item leaves its name, so no
// new path may be another item's. Paths are made plain in place.
std::vector<std::optional<Error>> checkChanges(std::vector<Change>& changes,
                                               const BatchOptions& options = {});

struct BatchPlan {
  std::vector<Operation> ops;       // in the order they run
  std::vector<std::size_t> change;  // per op: the change it belongs to
  std::vector<bool> final;          // per op: it brings its item to the new name
  std::vector<std::size_t> group;   // per op: a cycle's ops share one group
};

// Orders a checked set: first the folders new paths need (parents first),
// then the moves. `temporary()` gives a fresh hidden name; one that a change
// of the batch names is drawn again.
Result<BatchPlan> planChanges(const std::vector<Change>& changes,
                              const std::function<Result<std::string>()>& temporary,
                              bool copy = false);

}  // namespace quarrytide
