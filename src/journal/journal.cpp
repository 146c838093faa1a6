#include "journal.hpp"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "statement.hpp"

namespace quarrytide {

namespace {

// Schema 3. Paths and names are BLOBs (bytes); tag lists are JSON text.
// Both writes of a record append (a plan to `entries`, its outcome to
// `outcomes`), which keeps the journal's cost per record small. An outcome
// that says no more than "done, at the name it was meant to have, nothing
// replaced" is not written: entries up to a batch's `settled` without an
// outcome are done that way, those after it are planned. `planned` counts
// the planned records per batch; `done`, `failed` and `not_run` count items.
// `total` is how many items the page started the batch with, `ended` that
// it stopped the batch before sending them all; `undoes` names the batch it
// reverses (an undo, or a redo: the undo of an undo).
constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS batches(
  id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, started REAL NOT NULL,
  title TEXT NOT NULL DEFAULT '', folder BLOB NOT NULL DEFAULT x'',
  done INTEGER NOT NULL DEFAULT 0, failed INTEGER NOT NULL DEFAULT 0,
  not_run INTEGER NOT NULL DEFAULT 0, planned INTEGER NOT NULL DEFAULT 0,
  interrupted INTEGER NOT NULL DEFAULT 0, settled INTEGER NOT NULL DEFAULT 0,
  total INTEGER NOT NULL DEFAULT 0, ended INTEGER NOT NULL DEFAULT 0,
  undoes TEXT NOT NULL DEFAULT '');
CREATE TABLE IF NOT EXISTS entries(
  seq INTEGER PRIMARY KEY, batch INTEGER NOT NULL, path BLOB NOT NULL, new_name BLOB,
  set_tags INTEGER NOT NULL, tags TEXT, set_label INTEGER NOT NULL, label INTEGER,
  set_comment INTEGER NOT NULL, comment BLOB, dev INTEGER NOT NULL, ino INTEGER NOT NULL,
  new_folder BLOB, folder_step INTEGER NOT NULL DEFAULT 0, copy INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS outcomes(
  seq INTEGER PRIMARY KEY, state INTEGER NOT NULL, new_path BLOB, error TEXT,
  old_tags TEXT, old_label INTEGER, old_comment BLOB);
CREATE INDEX IF NOT EXISTS entries_by_batch ON entries(batch);
CREATE INDEX IF NOT EXISTS batches_by_start ON batches(started);
PRAGMA user_version = 4;
)sql";

// Columns added since schema 1. A journal from before gets them with their
// defaults, which say what its batches were: schema 1 wrote every outcome
// (settled through 0), no batch before schema 3 had a total, and no entry
// before schema 4 moved an item into another folder or made one. They are
// looked for, not read from the version, which an older build that opened
// the journal since may have set back.
constexpr const char* kAddedColumns[][3] = {
    {"batches", "settled", "INTEGER NOT NULL DEFAULT 0"},
    {"batches", "total", "INTEGER NOT NULL DEFAULT 0"},
    {"batches", "ended", "INTEGER NOT NULL DEFAULT 0"},
    {"batches", "undoes", "TEXT NOT NULL DEFAULT ''"},
    {"entries", "new_folder", "BLOB"},
    {"entries", "folder_step", "INTEGER NOT NULL DEFAULT 0"},
    {"entries", "copy", "INTEGER NOT NULL DEFAULT 0"}};

double nowMs() {
  using namespace std::chrono;
  return double(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

// The journal holds every path, tag and comment ever changed: only its user
// may read it. Folders it makes are 0700 (as the XDG rules ask), its own
// folder and files are tightened when they were looser, and the database is
// made 0600 before SQLite opens it, whose -wal, -shm and -journal files then
// take that mode.
void makePrivate(const std::string& file) {
  const std::filesystem::path dir = std::filesystem::path(file).parent_path();
  std::vector<std::filesystem::path> missing;
  struct stat st;
  for (auto at = dir; !at.empty() && ::stat(at.c_str(), &st) != 0; at = at.parent_path()) {
    missing.push_back(at);
    if (at == at.parent_path()) break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) ::mkdir(it->c_str(), 0700);
  if (!dir.empty() && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & 077))
    ::chmod(dir.c_str(), st.st_mode & 0700);
  for (const char* side : {"", "-wal", "-shm", "-journal"}) {
    const std::string f = file + side;
    if (::lstat(f.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077))
      ::chmod(f.c_str(), st.st_mode & 0600);
  }
  int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
}

bool corrupt(int rc) { return rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB; }

std::string tagsText(const std::vector<std::string>& tags) {
  return nlohmann::json(tags).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::vector<std::string> tagsFrom(const std::string& text) {
  auto j = nlohmann::json::parse(text, nullptr, false);
  std::vector<std::string> out;
  if (j.is_array())
    for (const auto& t : j)
      if (t.is_string()) out.push_back(t.get<std::string>());
  return out;
}

}  // namespace

Journal::Journal(std::string path) : path_(std::move(path)) {
  Status opened = open();
  if (!opened && corrupt(opened.error().sys)) {
    // Not a journal we can read: keep it for whoever wants to look, start anew.
    sqlite3_close(db_);
    db_ = nullptr;
    char stamp[32];
    std::time_t t = std::time(nullptr);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H.%M.%S", std::localtime(&t));
    std::string aside = path_ + ".corrupt-" + stamp;
    std::error_code ec;
    std::filesystem::rename(path_, aside, ec);
    for (const char* side : {"-wal", "-shm"}) std::filesystem::remove(path_ + side, ec);
    setAside_ = "The history of batches could not be read (" + opened.error().message +
                "): it was set aside as " + aside + " and a new one started.";
    opened = open();
  }
  if (!opened) {
    problem_ = opened.error().message;
    sqlite3_close(db_);
    db_ = nullptr;
  }
}

Journal::~Journal() { sqlite3_close(db_); }

std::string Journal::defaultPath() {
  const char* state = std::getenv("XDG_STATE_HOME");
  std::string root = state && *state == '/' ? state : "";
  if (root.empty()) {
    const char* home = std::getenv("HOME");
    root = std::string(home ? home : "") + "/.local/state";
  }
  return root + "/quarrytide/journal.sqlite3";
}

Status Journal::open() {
  makePrivate(path_);
  int rc =
      sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK)
    return Error{ErrorCode::kJournal, std::string(sqlite3_errstr(rc)) + " (" + path_ + ")", rc};
  sqlite3_busy_timeout(db_, 2000);
  // Outcomes survive a crash of the app without a sync of their own (WAL);
  // a plan is synced before anything is renamed (see `plan`).
  for (const char* sql : {"PRAGMA auto_vacuum = INCREMENTAL", "PRAGMA journal_mode = WAL",
                          "PRAGMA synchronous = NORMAL"})
    if (Status st = exec(sql); !st) return st;
  if (Status st = exec(kSchema); !st) return st;
  for (const auto& [table, column, type] : kAddedColumns) {
    const std::string look = std::string("SELECT ") + column + " FROM " + table + " LIMIT 0";
    if (Statement(db_, look.c_str()).ready()) continue;
    const std::string add =
        std::string("ALTER TABLE ") + table + " ADD COLUMN " + column + " " + type;
    if (Status st = exec(add.c_str()); !st) return st;
  }
  return okStatus();
}

Status Journal::exec(const char* sql) {
  if (!db_) return Error{ErrorCode::kJournal, problem_.value_or("no journal"), SQLITE_CANTOPEN};
  char* message = nullptr;
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
  if (rc == SQLITE_OK) return okStatus();
  std::string text = message ? message : sqlite3_errstr(rc);
  sqlite3_free(message);
  return Error{ErrorCode::kJournal, text, sqlite3_extended_errcode(db_) & 0xff};
}

Result<Plan> Journal::plan(const BatchInfo& batch, const std::vector<Operation>& ops,
                           const std::vector<FileIdentity>& ids) {
  // The intent must outlast a power cut as surely as the renames it allows.
  if (Status st = exec("PRAGMA synchronous = FULL; BEGIN IMMEDIATE"); !st) return st.error();
  auto fail = [this]() -> Error {
    Error e{ErrorCode::kJournal, sqlite3_errmsg(db_), sqlite3_extended_errcode(db_) & 0xff};
    (void)exec("ROLLBACK");
    (void)exec("PRAGMA synchronous = NORMAL");
    return e;
  };
  std::string name = batch.id;
  if (name.empty())
    name = "auto-" + std::to_string(std::int64_t(nowMs())) + "-" + std::to_string(++made_);
  Statement head(db_,
                 "INSERT INTO batches(name, started, title, folder, planned, total, undoes) "
                 "VALUES(?, ?, ?, ?, ?, ?, ?) ON CONFLICT(name) DO UPDATE SET "
                 "planned = planned + excluded.planned, total = MAX(total, excluded.total)");
  head.text(1, name).real(2, nowMs()).text(3, batch.title).bytes(4, batch.folder);
  head.integer(5, std::int64_t(ops.size())).integer(6, std::max<std::int64_t>(batch.total, 0));
  head.text(7, batch.undoes);
  if (head.run()) return fail();
  Statement which(db_, "SELECT id FROM batches WHERE name = ?");
  if (which.text(1, name).step() != SQLITE_ROW) return fail();
  const std::int64_t id = which.integerAt(0);
  // Linked before this request's entries are in: "earlier" is an earlier request.
  Statement parked(db_, "SELECT 1 FROM entries WHERE batch = ? AND new_name = ? LIMIT 1");
  Plan planned{{}, linkItems(ops, [&](const std::string& path) {
                 parked.integer(1, id).bytes(2, std::string_view(path).substr(path.rfind('/') + 1));
                 const bool found = parked.step() == SQLITE_ROW;
                 parked.reset();
                 return found;
               })};
  Statement add(db_,
                "INSERT INTO entries(batch, path, new_name, set_tags, tags, set_label, label, "
                "set_comment, comment, dev, ino, new_folder, folder_step, copy) "
                "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  planned.seqs.reserve(ops.size());
  for (std::size_t i = 0; i < ops.size(); ++i) {
    const Operation& op = ops[i];
    add.integer(1, id).bytes(2, op.path.value_or("")).maybe(3, op.newName);
    add.integer(4, op.setTags);
    op.setTags ? add.text(5, tagsText(op.tags)) : add.null(5);
    add.integer(6, op.setLabel).integer(7, op.label).integer(8, op.setComment);
    op.setComment ? add.bytes(9, op.comment) : add.null(9);
    add.integer(10, std::int64_t(ids[i].dev)).integer(11, std::int64_t(ids[i].ino));
    add.maybe(12, op.newFolder).integer(13, int(op.folderStep)).integer(14, op.copy);
    if (add.run()) return fail();
    planned.seqs.push_back(sqlite3_last_insert_rowid(db_));
  }
  Status committed = exec("COMMIT");
  if (!committed) (void)exec("ROLLBACK");
  (void)exec("PRAGMA synchronous = NORMAL");
  if (!committed) return committed.error();
  return planned;
}

Status Journal::transaction(const std::function<bool()>& body) {
  if (Status st = exec("BEGIN IMMEDIATE"); !st) return st;
  if (!body()) {
    Error e{ErrorCode::kJournal, sqlite3_errmsg(db_), sqlite3_extended_errcode(db_) & 0xff};
    (void)exec("ROLLBACK");
    return e;
  }
  if (Status st = exec("COMMIT"); !st) {
    (void)exec("ROLLBACK");
    return st;
  }
  return okStatus();
}

Status Journal::record(const Plan& plan, const std::vector<Operation>& ops,
                       const std::vector<OpResult>& results, const std::vector<PriorState>& prior,
                       std::size_t from, std::size_t to) {
  if (from >= to) return okStatus();
  return transaction([&] {
    Statement set(db_,
                  "INSERT INTO outcomes(seq, state, new_path, error, old_tags, old_label, "
                  "old_comment) VALUES(?, ?, ?, ?, ?, ?, ?)");
    for (std::size_t i = from; i < to; ++i) {
      const OpResult& r = results[i];
      const PriorState& p = prior[i];
      if (r.ok && !p.tags && !p.label && !p.comment && r.newPath &&
          r.newPath == impliedNewPath(ops[i]))
        continue;  // said by `settled`
      set.integer(1, plan.seqs[i]).integer(2, int(r.ok ? EntryState::kDone : EntryState::kFailed));
      set.maybe(3, r.newPath);
      r.error ? set.text(4, *r.error) : set.null(4);
      prior[i].tags ? set.text(5, tagsText(*prior[i].tags)) : set.null(5);
      prior[i].label ? set.integer(6, *prior[i].label) : set.null(6);
      set.maybe(7, prior[i].comment);
      if (set.run()) return false;
    }
    // Items are counted at their last record, which may come in a later call.
    const ItemCounts items = countItems(plan.items, from, to, [&](std::size_t k) {
      return results[k].ok ? EntryState::kDone : EntryState::kFailed;
    });
    Statement counts(db_,
                     "UPDATE batches SET done = done + ?1, failed = failed + ?2, "
                     "planned = planned - ?5, settled = ?4 WHERE id = (SELECT batch FROM "
                     "entries WHERE seq = ?3)");
    counts.integer(1, items.done).integer(2, items.failed).integer(3, plan.seqs[from]);
    counts.integer(4, plan.seqs[to - 1]).integer(5, std::int64_t(to - from));
    return counts.run() == SQLITE_OK;
  });
}

Status Journal::notRun(const Plan& plan, std::size_t from, std::size_t to) {
  if (from >= to) return okStatus();
  return transaction([&] {
    Statement set(db_, "INSERT INTO outcomes(seq, state) VALUES(?, ?)");
    for (std::size_t i = from; i < to; ++i)
      if (set.integer(1, plan.seqs[i]).integer(2, int(EntryState::kNotRun)).run()) return false;
    const ItemCounts items =
        countItems(plan.items, from, to, [](std::size_t) { return EntryState::kNotRun; });
    Statement counts(db_,
                     "UPDATE batches SET not_run = not_run + ?1, planned = planned - ?2 WHERE "
                     "id = (SELECT batch FROM entries WHERE seq = ?3)");
    counts.integer(1, items.notRun).integer(2, std::int64_t(to - from));
    return counts.integer(3, plan.seqs[from]).run() == SQLITE_OK;
  });
}

Status Journal::end(const std::string& id) {
  if (!db_) return Error{ErrorCode::kJournal, problem_.value_or("no journal"), SQLITE_CANTOPEN};
  Statement s(db_,
              "UPDATE batches SET ended = 1, not_run = MAX(not_run, total - done - failed) "
              "WHERE name = ?");
  if (s.text(1, id).run())
    return Error{ErrorCode::kJournal, sqlite3_errmsg(db_), sqlite3_extended_errcode(db_) & 0xff};
  return okStatus();
}

namespace {

constexpr const char* kSummaryColumns =
    "SELECT name, started, title, folder, done, failed, not_run, interrupted, undoes FROM "
    "batches ";

BatchSummary summaryAt(const Statement& s) {
  return {s.bytesAt(0),   s.realAt(1),    s.bytesAt(2),        s.bytesAt(3), s.integerAt(4),
          s.integerAt(5), s.integerAt(6), s.integerAt(7) != 0, s.bytesAt(8)};
}

}  // namespace

std::vector<BatchSummary> Journal::batches(std::size_t limit, std::optional<double> before) const {
  std::vector<BatchSummary> out;
  if (!db_) return out;
  Statement s(
      db_,
      before
          ? (std::string(kSummaryColumns) +
             "WHERE started < ? ORDER BY started DESC, rowid DESC LIMIT ?")
                .c_str()
          : (std::string(kSummaryColumns) + "ORDER BY started DESC, rowid DESC LIMIT ?").c_str());
  int at = 1;
  if (before) s.real(at++, *before);
  s.integer(at, std::int64_t(limit));
  while (s.step() == SQLITE_ROW) out.push_back(summaryAt(s));
  return out;
}

std::optional<BatchSummary> Journal::batch(const std::string& id) const {
  if (!db_) return std::nullopt;
  Statement s(db_, (std::string(kSummaryColumns) + "WHERE name = ?").c_str());
  s.text(1, id);
  if (s.step() != SQLITE_ROW) return std::nullopt;
  return summaryAt(s);
}

std::vector<JournalEntry> Journal::entries(const std::string& batch) const {
  std::vector<JournalEntry> out;
  if (!db_) return out;
  Statement s(db_,
              "SELECT e.seq, path, new_name, set_tags, tags, set_label, label, set_comment, "
              "comment, dev, ino, IFNULL(state, 0), new_path, error, old_tags, old_label, "
              "old_comment, o.seq IS NULL AND e.seq <= b.settled, new_folder, folder_step, copy "
              "FROM entries e "
              "JOIN batches b ON b.id = e.batch LEFT JOIN outcomes o ON o.seq = e.seq "
              "WHERE b.name = ? ORDER BY e.seq");
  s.text(1, batch);
  while (s.step() == SQLITE_ROW) {
    JournalEntry e;
    e.seq = s.integerAt(0);
    e.op.path = s.bytesAt(1);
    e.op.newName = s.maybeBytes(2);
    e.op.setTags = s.integerAt(3) != 0;
    if (e.op.setTags) e.op.tags = tagsFrom(s.bytesAt(4));
    e.op.setLabel = s.integerAt(5) != 0;
    e.op.label = s.integerAt(6);
    e.op.setComment = s.integerAt(7) != 0;
    e.op.comment = s.bytesAt(8);
    e.identity = {dev_t(s.integerAt(9)), ino_t(s.integerAt(10))};
    e.state = EntryState(s.integerAt(11));
    e.newPath = s.maybeBytes(12);
    e.error = s.maybeBytes(13);
    if (!s.isNull(14)) e.prior.tags = tagsFrom(s.bytesAt(14));
    if (!s.isNull(15)) e.prior.label = s.integerAt(15);
    e.prior.comment = s.maybeBytes(16);
    e.op.newFolder = s.maybeBytes(18);
    e.op.folderStep = Operation::FolderStep(s.integerAt(19));
    e.op.copy = s.integerAt(20) != 0;
    if (s.integerAt(17)) {  // done as meant, no outcome written
      e.state = EntryState::kDone;
      e.newPath = impliedNewPath(e.op);
    }
    out.push_back(std::move(e));
  }
  return out;
}

Status Journal::prune(std::size_t keepBatches, double keepDays) {
  if (!db_) return Error{ErrorCode::kJournal, problem_.value_or("no journal"), SQLITE_CANTOPEN};
  // A batch goes when it is beyond either bound; its entries go with it.
  Statement old(db_,
                "SELECT id FROM batches WHERE started < ? OR id NOT IN "
                "(SELECT id FROM batches ORDER BY started DESC, id DESC LIMIT ?)");
  old.real(1, nowMs() - keepDays * 86400e3).integer(2, std::int64_t(keepBatches));
  std::vector<std::int64_t> gone;
  while (old.step() == SQLITE_ROW) gone.push_back(old.integerAt(0));
  if (gone.empty()) return okStatus();
  if (Status st = exec("BEGIN IMMEDIATE"); !st) return st;
  Statement outcomes(db_,
                     "DELETE FROM outcomes WHERE seq IN (SELECT seq FROM entries WHERE batch = ?)");
  Statement entries(db_, "DELETE FROM entries WHERE batch = ?");
  Statement batches(db_, "DELETE FROM batches WHERE id = ?");
  for (std::int64_t id : gone)
    if (outcomes.integer(1, id).run() || entries.integer(1, id).run() ||
        batches.integer(1, id).run()) {
      (void)exec("ROLLBACK");
      return Error{ErrorCode::kJournal, sqlite3_errmsg(db_), sqlite3_extended_errcode(db_) & 0xff};
    }
  if (Status st = exec("COMMIT"); !st) return st;
  return exec("PRAGMA incremental_vacuum");
}

}  // namespace quarrytide
