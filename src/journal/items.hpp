#pragma once
// How the records of a batch make up its items. A record moves on the item an
// earlier record left at its path: a swap passes one item through a temporary
// name, three records for two items. The history counts items, not records.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/operation.hpp"

namespace quarrytide {

// One record of a batch and what became of it.
enum class EntryState : int { kPlanned = 0, kDone = 1, kFailed = 2, kNotRun = 3, kLeft = 4 };

// The hidden names a rename (".quarrytide-tmp-") or the page (".qt-swap-")
// parks an item under.
bool isTemporaryName(std::string_view name);

// Where an operation leaves its item when it is done: its folder and new
// name (its path when it renames nothing); nullopt for a path without a folder.
std::optional<std::string> impliedNewPath(const Operation& op);

struct ItemLinks {
  static constexpr std::ptrdiff_t kFirst = -1;    // the record starts an item
  static constexpr std::ptrdiff_t kCounted = -2;  // it moves back an item parked before,
                                                  // or makes a folder: not counted
  std::vector<std::ptrdiff_t> before;  // per record: the item's record before it, or the above
  std::vector<bool> last;              // per record: no later record moves its item on
};

// Links the records `ops` of one request (or of a whole batch). A record from
// a temporary name that no record before it in `ops` left an item at, but one
// of the batch did (`parkedEarlier`), is kCounted: it brings back an item
// already counted (the page's rescue of an item a failed swap left parked).
ItemLinks linkItems(const std::vector<Operation>& ops,
                    const std::function<bool(const std::string& path)>& parkedEarlier = nullptr);

struct ItemCounts {
  std::int64_t done = 0, failed = 0, notRun = 0;
};

// The items whose last record is in [from, to), each counted once: failed
// when one of its records failed, done when all were done, else not run.
ItemCounts countItems(const ItemLinks& links, std::size_t from, std::size_t to,
                      const std::function<EntryState(std::size_t record)>& state);

}  // namespace quarrytide
