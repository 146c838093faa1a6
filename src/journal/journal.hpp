#pragma once
// The journal of every batch, in SQLite: each apply request's records are
// written before anything on disk changes, their outcomes (with what the
// items had before) after, so that any past batch can be read back and
// undone, and a batch cut short by a crash can be repaired on the next start.
//
// Thread rule: one Journal is used by one thread at a time (the bridge's
// `io`, or the main thread before the first request).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/operation.hpp"
#include "catalogue/rename.hpp"
#include "items.hpp"
#include "metadata/result.hpp"

struct sqlite3;

namespace quarrytide {

// What the page says about the batch an apply request belongs to.
struct BatchInfo {
  std::string id;  // empty: the request is a batch of its own
  std::string title;
  std::string folder;
  // How many items the whole batch changes, over all its requests (0: not
  // said). A batch that reached fewer and was not ended was cut short.
  std::int64_t total = 0;
  bool end = false;    // the page stops the batch with this request
  std::string undoes;  // the batch this one reverses, if any
};

struct BatchSummary {
  std::string id;
  double started = 0;  // ms since 1970
  std::string title;
  std::string folder;
  std::int64_t done = 0, failed = 0, notRun = 0;  // items, not records
  bool interrupted = false;
  std::string undoes;
};

// One request as planned: its entries, and which of its records make up one item.
struct Plan {
  std::vector<std::int64_t> seqs;
  ItemLinks items;
};

struct JournalEntry {
  std::int64_t seq = 0;
  Operation op;
  FileIdentity identity;
  EntryState state = EntryState::kPlanned;
  std::optional<std::string> newPath;
  std::optional<std::string> error;
  PriorState prior;
};

// What the start-up repair did with one item an interrupted batch had left
// under a temporary name.
struct Repair {
  std::string batch;
  std::string found;  // the temporary path it was under
  std::string now;    // where it is now (== found when it could not be moved)
  bool moved = false;
};

// Where the item `id` is now: at `path`, or under another name in the same
// folder (found by its identity); nullopt when it is in neither.
std::optional<std::string> locateItem(const std::string& path, const FileIdentity& id);

class Journal {
 public:
  // Opens or creates the journal at `path`: its folder is made private to
  // the user (0700) and the journal's files too (0600), tightened when they
  // were not, since they hold every name and comment ever changed. A file that
  // is not a sound journal is set aside under a dated name and a new one
  // started; `setAside()` then says so. When no journal can be kept,
  // `problem()` says why and every write fails.
  explicit Journal(std::string path);
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // $XDG_STATE_HOME/quarrytide/journal.sqlite3
  static std::string defaultPath();

  const std::optional<std::string>& problem() const { return problem_; }
  const std::optional<std::string>& setAside() const { return setAside_; }

  // Records one request's operations as planned entries of `batch` (made
  // when new), in one transaction. An error means nothing was recorded.
  Result<Plan> plan(const BatchInfo& batch, const std::vector<Operation>& ops,
                    const std::vector<FileIdentity>& ids);
  // Records the outcomes of entries [from, to) of a plan of `ops`, in one
  // transaction; those of entries before `from` are recorded.
  Status record(const Plan& plan, const std::vector<Operation>& ops,
                const std::vector<OpResult>& results, const std::vector<PriorState>& prior,
                std::size_t from, std::size_t to);
  // Entries [from, to) of a plan were never run (the batch was stopped).
  Status notRun(const Plan& plan, std::size_t from, std::size_t to);
  // The page stopped the batch `id` early: the items it never sent are not run.
  Status end(const std::string& id);

  // Newest first; `before` (ms) pages back.
  std::vector<BatchSummary> batches(std::size_t limit, std::optional<double> before) const;
  std::optional<BatchSummary> batch(const std::string& id) const;
  std::vector<JournalEntry> entries(const std::string& batch) const;

  // Settles every entry a crash left planned: finds each item by its
  // identity, brings one left under a temporary name to the name its batch
  // meant (or back to its old one), and marks the batch interrupted, as it
  // does one that never reached all the items it was started with.
  std::vector<Repair> recover();
  // The batches the last `recover` marked interrupted.
  const std::vector<std::string>& cutShort() const { return cutShort_; }
  // Keeps the newest `keepBatches` batches and those of the last `keepDays`.
  Status prune(std::size_t keepBatches, double keepDays);

 private:
  Status open();
  Status exec(const char* sql);
  // Runs `body` between BEGIN IMMEDIATE and COMMIT; when a statement of it
  // fails (it returns false) or the commit does, all of it is rolled back.
  Status transaction(const std::function<bool()>& body);

  std::string path_;
  sqlite3* db_ = nullptr;
  std::optional<std::string> problem_;
  std::optional<std::string> setAside_;
  std::vector<std::string> cutShort_;
  std::int64_t made_ = 0;  // batches named here, for unique ids
};

}  // namespace quarrytide
