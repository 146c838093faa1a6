// The repair at start-up: every entry a crash left planned is settled by
// looking where its item really is.
#include <dirent.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <unistd.h>

#include <map>
#include <set>

#include "catalogue/copy_item.hpp"
#include "catalogue/page_path.hpp"
#include "journal.hpp"
#include "statement.hpp"

namespace quarrytide {

namespace {

// Whether `path` names the item `id` (any item, when its identity is unknown
// and the name is a temporary one, which nothing else would hold).
bool holds(const std::string& path, const FileIdentity& id) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return false;
  if (id.ino == 0) return isTemporaryName(nameOf(path));
  return st.st_dev == id.dev && st.st_ino == id.ino;
}

// The name in `folder` that holds the item `id`, among those `wanted` takes.
// The directory entries' inodes are tried first (no stat per name); some
// file systems (overlays) report other numbers there, so then every wanted
// name is looked at.
template <class Wanted>
std::optional<std::string> findIn(const std::string& folder, const FileIdentity& id,
                                  Wanted wanted) {
  if (id.ino == 0) return std::nullopt;
  for (bool byEntry : {true, false}) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return std::nullopt;
    std::optional<std::string> found;
    while (dirent* d = ::readdir(dir)) {
      if ((byEntry && d->d_ino != id.ino) || !wanted(std::string_view(d->d_name))) continue;
      if (holds(folder + d->d_name, id)) {
        found = folder + d->d_name;
        break;
      }
    }
    ::closedir(dir);
    if (found) return found;
  }
  return std::nullopt;
}

// A rename's own temporary name (a case change cut short) in `folder`.
std::optional<std::string> findTemporary(const std::string& folder, const FileIdentity& id) {
  return findIn(folder, id,
                [](std::string_view name) { return name.starts_with(".quarrytide-tmp-"); });
}

// One item's steps through a batch: the names it was to take, in order.
struct Chain {
  std::vector<std::size_t> steps;  // indexes into the batch's entries
  std::vector<std::string> names;  // names[0] the old path, names[k + 1] after step k
  FileIdentity id;
};

std::vector<Chain> chainsOf(const std::vector<JournalEntry>& entries) {
  std::vector<Chain> chains;
  std::map<std::string, std::size_t> at;  // where each chain's item is after its last step
  for (std::size_t k = 0; k < entries.size(); ++k) {
    if (entries[k].op.folderOnly() || entries[k].op.copy) continue;
    const std::string& path = *entries[k].op.path;
    std::size_t c;
    if (auto it = at.find(path); it != at.end()) {
      c = it->second;
      at.erase(it);
    } else {
      c = chains.size();
      chains.push_back({{}, {path}, entries[k].identity});
    }
    std::string next = impliedNewPath(entries[k].op).value_or(path);
    chains[c].steps.push_back(k);
    chains[c].names.push_back(next);
    at[next] = c;
  }
  return chains;
}

// Removes the regular files under a temporary name in `folder` that are none
// of `items` (the parts copies cut short left).
void removeParts(const std::string& folder, const std::set<std::pair<dev_t, ino_t>>& items) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> parts;
  while (dirent* d = ::readdir(dir)) {
    if (!std::string_view(d->d_name).starts_with(".quarrytide-tmp-")) continue;
    struct stat st;
    const std::string path = folder + d->d_name;
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        !items.contains({st.st_dev, st.st_ino}))
      parts.push_back(path);
  }
  ::closedir(dir);
  for (const auto& p : parts) ::unlink(p.c_str());
}

// A ring cut between its parked item's two steps, with the item's old name
// taken by the next of the ring and its new name still held: the ring's
// steps in (park, unpark) that ran are moved back, last first, so that the
// parked item can take its old name again. Returns the entries moved back.
std::vector<std::size_t> rollBackRing(const std::vector<JournalEntry>& entries, std::size_t park,
                                      std::size_t unpark) {
  std::vector<std::size_t> back;
  for (std::size_t k = unpark; k-- > park + 1;) {
    const Operation& op = entries[k].op;
    if (op.folderOnly() || op.copy) continue;
    const std::string to = impliedNewPath(op).value_or(*op.path);
    if (!holds(to, entries[k].identity)) continue;  // it never ran
    if (!moveItem(to, *op.path)) break;
    back.push_back(k);
  }
  return back;
}

}  // namespace

std::optional<std::string> locateItem(const std::string& path, const FileIdentity& id) {
  if (holds(path, id) && id.ino != 0) return path;
  return findIn(folderOf(path), id,
                [](std::string_view name) { return name != "." && name != ".."; });
}

std::vector<Repair> Journal::recover() {
  std::vector<Repair> repairs;
  cutShort_.clear();
  if (!db_) return repairs;
  {
    // Cut in the middle of a request, or between two of a batch's requests.
    Statement s(db_,
                "SELECT name FROM batches WHERE planned > 0 OR (ended = 0 AND total > done + "
                "failed)");
    while (s.step() == SQLITE_ROW) cutShort_.push_back(s.bytesAt(0));
  }
  Statement settle(db_, "INSERT OR REPLACE INTO outcomes(state, new_path, seq) VALUES(?, ?, ?)");
  // keeps the metadata a step replaced, which its undo needs
  Statement rolledBack(db_,
                       "INSERT INTO outcomes(state, new_path, seq) VALUES(?, ?, ?) ON "
                       "CONFLICT(seq) DO UPDATE SET state = excluded.state, new_path = "
                       "excluded.new_path");
  for (const std::string& batch : cutShort_) {
    auto entries = this->entries(batch);
    // the folders its open steps went into, looked at before they are settled
    std::set<std::pair<dev_t, ino_t>> known;
    std::set<std::string> into;
    for (const auto& e : entries) {
      known.insert({e.identity.dev, e.identity.ino});
      if (e.state == EntryState::kPlanned && e.op.newFolder) into.insert(*e.op.newFolder + "/");
    }
    for (const Chain& chain : chainsOf(entries)) {
      bool open = false;
      for (std::size_t k : chain.steps) open |= entries[k].state == EntryState::kPlanned;
      if (!open) continue;
      // where the item is: the furthest name of its chain that holds it
      std::ptrdiff_t reached = -1;
      for (std::ptrdiff_t n = std::ptrdiff_t(chain.names.size()) - 1; n >= 0 && reached < 0; --n)
        if (holds(chain.names[std::size_t(n)], chain.id)) reached = n;
      std::string now = reached >= 0 ? chain.names[std::size_t(reached)] : "";
      // a parked item waits in its own folder, which a move leaves
      for (const std::string* at : {&chain.names.back(), &chain.names.front()})
        if (now.empty() &&
            (at == &chain.names.back() || folderOf(*at) != folderOf(chain.names.back())))
          if (auto t = findTemporary(folderOf(*at), chain.id)) now = *t;
      const std::string& last = chain.names.back();
      const std::string& old = chain.names.front();
      if (!now.empty() && isTemporaryName(nameOf(now)) && now != last) {
        Repair r{batch, now, now, false};
        auto bring = [&] {
          for (const std::string& to : {last, old}) {
            if (auto moved = moveItem(now, to)) {
              r.now = *moved;
              r.moved = true;
              return;
            }
          }
        };
        bring();
        if (!r.moved && chain.steps.size() == 2) {
          for (std::size_t k : rollBackRing(entries, chain.steps[0], chain.steps[1])) {
            // Back at its old name. A recorded step that changed metadata
            // too stays done (its undo restores it there); a plain rename
            // never ran. Planned steps are settled below by where they are.
            if (entries[k].state != EntryState::kDone) continue;
            const Operation& op = entries[k].op;
            const bool wrote = op.setTags || op.setLabel || op.setComment;
            if (!wrote) entries[k].state = EntryState::kNotRun;
            rolledBack.integer(1, int(entries[k].state)).bytes(2, *op.path);
            rolledBack.integer(3, entries[k].seq).run();
          }
          bring();
        }
        repairs.push_back(r);
        now = r.now;
      }
      // A move to another drive cut after its copy got its name (the copy
      // is checked before it is named): the original goes, as it would have.
      if (now == old && chain.steps.size() == 1) {
        const Operation& op = entries[chain.steps[0]].op;
        if (op.newFolder && !op.copy && finishCopiedMove(old, last)) now = last;
      }
      // Steps up to the name the item holds are done; the rest never ran.
      std::size_t doneSteps = 0;
      for (std::size_t n = 1; n < chain.names.size(); ++n)
        if (chain.names[n] == now) doneSteps = n;
      bool left = !now.empty() && isTemporaryName(nameOf(now)) && now != last;
      for (std::size_t i = 0; i < chain.steps.size(); ++i) {
        if (entries[chain.steps[i]].state != EntryState::kPlanned) continue;
        EntryState st = i < doneSteps ? EntryState::kDone
                        : left        ? EntryState::kLeft
                                      : EntryState::kNotRun;
        std::string where = i < doneSteps ? chain.names[i + 1] : now;
        settle.integer(1, int(st)).maybe(2, where.empty() ? std::nullopt : std::optional(where));
        settle.integer(3, entries[chain.steps[i]].seq).run();
        entries[chain.steps[i]].state = st;
      }
    }
    // A copy (or a move to another drive) cut short left a part under a
    // temporary name in the folder it went to; no item of the batch is one.
    // The original is whole.
    for (const std::string& folder : into) removeParts(folder, known);
    // A copy is done when its new path is there: it is given that name last.
    for (auto& e : entries) {
      if (!e.op.copy || e.state != EntryState::kPlanned) continue;
      struct stat st;
      const std::string to = *impliedNewPath(e.op);
      e.state = ::lstat(to.c_str(), &st) == 0 ? EntryState::kDone : EntryState::kNotRun;
      settle.integer(1, int(e.state)).maybe(2, e.state == EntryState::kDone ? to : *e.op.path);
      settle.integer(3, e.seq).run();
    }
    // A folder the batch was to make is made when it is there, one it was to
    // remove is removed when it is not.
    for (auto& e : entries) {
      if (!e.op.folderOnly() || e.state != EntryState::kPlanned) continue;
      struct stat st;
      const bool there = ::stat(e.op.path->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
      e.state = there == (e.op.folderStep == Operation::FolderStep::kMake) ? EntryState::kDone
                                                                           : EntryState::kNotRun;
      settle.integer(1, int(e.state)).maybe(2, e.op.path).integer(3, e.seq).run();
    }
    // Counted again as items; those the page never sent are not run too.
    std::vector<Operation> ops;
    ops.reserve(entries.size());
    for (const auto& e : entries) ops.push_back(e.op);
    const ItemCounts items = countItems(linkItems(ops), 0, entries.size(),
                                        [&](std::size_t k) { return entries[k].state; });
    Statement counts(
        db_,
        "UPDATE batches SET interrupted = 1, ended = 1, planned = 0, done = ?1, failed = ?2, "
        "not_run = MAX(?3, total - ?1 - ?2) WHERE name = ?4");
    counts.integer(1, items.done).integer(2, items.failed).integer(3, items.notRun);
    counts.text(4, batch).run();
  }
  return repairs;
}

}  // namespace quarrytide
