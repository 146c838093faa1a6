#include "run_batch.hpp"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <set>

#include "catalogue/page_path.hpp"
#include "catalogue/rename.hpp"
#include "items.hpp"

namespace quarrytide {

namespace {

std::string madeUpId() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
  return "run-" + std::to_string(ms) + "-" + std::to_string(std::random_device{}() % 1000000);
}

// Steps whose outcomes go into the journal together: a crash loses little of
// what undo needs, at the cost of a few transactions per batch.
constexpr std::size_t kOutcomesPerWrite = 1000;

// The folders the batch `id` made, deepest first, each removed when nothing
// is in it: an undo leaves the tree as it found it, and never removes what
// another program put there since.
void removeMadeFolders(const Journal& journal, const std::string& id) {
  const auto entries = journal.entries(id);
  for (auto e = entries.rbegin(); e != entries.rend(); ++e)
    if (e->op.folderStep == Operation::FolderStep::kMake && e->state == EntryState::kDone)
      ::rmdir(e->op.path->c_str());
}

// Steps the batch took after its run (a parked item brought back, a folder
// it emptied removed), recorded as done; `at` is where each item is now.
Status recordDone(Journal& journal, const BatchInfo& info, const std::vector<Operation>& ops,
                  const std::vector<std::string>& at) {
  auto planned = journal.plan(info, ops, identities(at));
  if (!planned) return planned.error();
  std::vector<OpResult> results;
  for (std::size_t n = 0; n < ops.size(); ++n)
    results.push_back({true, ops[n].path, at[n].empty() ? *ops[n].path : at[n], std::nullopt,
                       std::nullopt, OpResult::Stage::kNone});
  return journal.record(*planned, ops, results, std::vector<PriorState>(ops.size()), 0, ops.size());
}

}  // namespace

BatchOutcome checkBatch(std::vector<Change>& changes, const BatchOptions& options) {
  BatchOutcome out;
  out.dryRun = true;
  out.results.resize(changes.size());
  auto problems = checkChanges(changes, options);
  for (std::size_t i = 0; i < changes.size(); ++i) {
    ChangeResult& r = out.results[i];
    r.path = r.newPath = changes[i].path;
    r.ok = !problems[i];
    r.error = std::move(problems[i]);
    out.refused |= !r.ok;
  }
  return out;
}

Result<BatchOutcome> runBatch(Journal* journal, BatchInfo info, std::vector<Change> changes,
                              const BatchHooks& hooks, BatchOptions options) {
  BatchOutcome out = checkBatch(changes, options);
  out.dryRun = false;
  if (out.refused) {
    for (ChangeResult& r : out.results) {
      if (!r.ok) continue;
      r.ok = false;
      r.error =
          Error{ErrorCode::kConflict, "Not changed: other changes of the batch cannot be made."};
    }
    return out;
  }
  for (ChangeResult& r : out.results) r.ok = false;  // until its steps ran

  auto plan = planChanges(
      changes, [] { return temporaryName(); }, options.copy);
  if (!plan) return plan.error();
  const std::vector<Operation>& ops = plan->ops;
  if (info.id.empty()) info.id = madeUpId();
  info.total = std::int64_t(changes.size());
  std::optional<Plan> journalled;
  if (journal) {
    std::vector<std::string> paths(ops.size());
    for (std::size_t k = 0; k < ops.size(); ++k) paths[k] = *ops[k].path;
    auto planned = journal->plan(info, ops, identities(paths));
    if (!planned) return planned.error();
    journalled = std::move(planned).value();
  }

  std::vector<OpResult> results;
  results.reserve(ops.size());
  std::vector<PriorState> prior(ops.size());
  std::size_t written = 0, done = 0, failed = 0;
  auto keep = [&](const Status& st) {
    if (!st && !out.unrecorded) out.unrecorded = st.error();
  };
  for (std::size_t k = 0; k < ops.size(); ++k) {
    if ((k == 0 || plan->group[k] != plan->group[k - 1]) && hooks.cancelled && hooks.cancelled())
      break;
    results.push_back(hooks.apply(ops[k], prior[k]));
    const OpResult& r = results.back();
    ChangeResult& c = out.results[plan->change[k]];
    if (r.newPath) c.newPath = *r.newPath;
    if (!r.ok && !c.error) {
      c.error = Error{r.code.value_or(ErrorCode::kIo), r.error.value_or("")};
      c.stage = r.stage;
      ++failed;
    } else if (r.ok && plan->final[k] && !c.error) {
      c.ok = true;
      ++done;
    }
    if (journalled && (results.size() - written == kOutcomesPerWrite || k + 1 == ops.size())) {
      keep(journal->record(*journalled, ops, results, prior, written, results.size()));
      written = results.size();
    }
    if (hooks.progress && (plan->final[k] || !r.ok)) hooks.progress(done, failed);
  }
  const std::size_t ran = results.size();
  if (ran < ops.size()) {
    out.cancelled = true;
    if (journalled) {
      keep(journal->record(*journalled, ops, results, prior, written, ran));
      keep(journal->notRun(*journalled, ran, ops.size()));
    }
    for (std::size_t k = ran; k < ops.size(); ++k) {
      ChangeResult& c = out.results[plan->change[k]];
      if (!c.error)
        c.error = Error{ErrorCode::kCancelled, "The batch was stopped before this item."};
    }
  }

  // A failure inside a cycle leaves its parked item under the temporary
  // name: back to its old name, or else to its new one, whichever is free.
  std::vector<Operation> rescue;
  std::vector<std::size_t> rescued;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    ChangeResult& c = out.results[i];
    if (c.ok || !isTemporaryName(nameOf(c.newPath))) continue;
    for (const std::string& to : {changes[i].path, *changes[i].newPath}) {
      if (auto moved = moveItem(c.newPath, to)) {
        rescue.emplace_back();
        rescue.back().path = c.newPath;
        rescue.back().newName = nameOf(to);
        if (parentOf(to) != parentOf(c.newPath)) rescue.back().newFolder = parentOf(to);
        rescued.push_back(i);
        c.error->message += " (moved back to \"" + nameOf(*moved) + "\")";
        c.newPath = *moved;
        break;
      }
    }
  }
  if (journalled && !rescue.empty()) {
    std::vector<std::string> at;
    for (std::size_t i : rescued) at.push_back(out.results[i].newPath);
    keep(recordDone(*journal, info, rescue, at));
  }
  if (options.removeEmptied) {
    // the folders items left, deepest first; never the batch's own folder
    // nor one items went into
    std::set<std::string> into;
    for (const Change& c : changes)
      if (c.newPath) into.insert(parentOf(*c.newPath));
    std::vector<std::string> left;
    for (std::size_t i = 0; i < changes.size(); ++i)
      if (out.results[i].ok && changes[i].newPath &&
          parentOf(changes[i].path) != parentOf(*changes[i].newPath))
        left.push_back(parentOf(changes[i].path));
    std::sort(left.begin(), left.end(), [](const std::string& a, const std::string& b) {
      return a.size() != b.size() ? a.size() > b.size() : a < b;
    });
    left.erase(std::unique(left.begin(), left.end()), left.end());
    std::vector<Operation> removed;
    for (const std::string& folder : left) {
      if (folder == plainPath(info.folder) || into.contains(folder) || ::rmdir(folder.c_str()) != 0)
        continue;
      removed.emplace_back();
      removed.back().path = folder;
      removed.back().folderStep = Operation::FolderStep::kRemove;
    }
    if (journalled && !removed.empty())
      keep(recordDone(*journal, info, removed, std::vector<std::string>(removed.size())));
  }
  if (journalled) keep(journal->end(info.id));
  if (journal && !info.undoes.empty()) removeMadeFolders(*journal, info.undoes);
  return out;
}

}  // namespace quarrytide
