#pragma once
// The one engine that carries out a batch: checks the set, plans its order,
// journals the plan before anything moves, runs it, records every outcome,
// and brings back an item a failure left under a temporary name.
//
// Thread rule: runs on the thread that owns the journal (the bridge's `io`);
// the hooks are called on that thread.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "batch_plan.hpp"
#include "journal.hpp"

namespace quarrytide {

// What became of one change.
struct ChangeResult {
  bool ok = false;
  std::string path;            // the item's path as the batch found it
  std::string newPath;         // where the item is now
  std::optional<Error> error;  // with every failure
  OpResult::Stage stage = OpResult::Stage::kNone;
  bool operator==(const ChangeResult&) const = default;
};

struct BatchOutcome {
  std::vector<ChangeResult> results;  // one per change, in the order given
  bool refused = false;               // the set was refused as a whole: nothing ran
  bool cancelled = false;             // stopped between two steps
  bool dryRun = false;                // only checked: nothing ran, nothing was journalled
  std::optional<Error> unrecorded;    // an outcome the journal could not keep
};

struct BatchHooks {
  // Carries out one step, saying what the metadata it changed was.
  std::function<OpResult(const Operation&, PriorState&)> apply;
  // After each change is settled: how many are done and failed so far.
  std::function<void(std::size_t done, std::size_t failed)> progress;
  // Asked between steps (never inside a cycle): stop here.
  std::function<bool()> cancelled;
};

// The check of a batch without running it: each change's own reason, ok
// where it has none, `refused` when any has one. Touches nothing but the
// changes (their paths made plain, as checked).
// With `folders`, new paths may go into other folders; with `copy`, items are
// copied (see checkChanges).
BatchOutcome checkBatch(std::vector<Change>& changes, const BatchOptions& options = {});

// Runs `changes` as the batch `info` (an empty id is made up). Fails only when
// the journal could not take the plan, and then nothing has changed. Without
// a journal (test hosts) nothing is recorded. A batch that undoes another
// removes afterwards the folders that one made, when they are empty. Folders
// it removes are steps of the batch, so that its undo makes them again.
Result<BatchOutcome> runBatch(Journal* journal, BatchInfo info, std::vector<Change> changes,
                              const BatchHooks& hooks, BatchOptions options = {});

}  // namespace quarrytide
