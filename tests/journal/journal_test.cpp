// The batch journal: what it keeps, how it pages and trims, how it fails,
// the repair of batches a crash cut short, and its exports.
#include "journal/journal.hpp"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "files.hpp"
#include "journal/export.hpp"
#include "temp_dir.hpp"

namespace quarrytide {
namespace {

using testing::TempDir;

Operation rename(const std::string& path, const std::string& to) {
  Operation op;
  op.path = path;
  op.newName = to;
  return op;
}

FileIdentity idOf(const std::string& path) {
  FileIdentity id;
  RenameFs().identify(path, id);
  return id;
}

// Plans `ops` as batch `batch`, identities read from the disk as the bridge does.
Plan plan(Journal& j, const std::string& batch, const std::vector<Operation>& ops,
          std::int64_t total = 0) {
  std::vector<FileIdentity> ids;
  for (const auto& op : ops) ids.push_back(idOf(*op.path));
  auto planned = j.plan({batch, "title of " + batch, "/f", total}, ops, ids);
  EXPECT_TRUE(planned.ok());
  return planned.ok() ? *planned : Plan{};
}

TEST(Journal, KeepsEveryRecordWithItsOutcomeAndWhatTheItemHadBefore) {
  TempDir t;
  Journal j(t.at("state/journal.sqlite3"));
  ASSERT_FALSE(j.problem());
  Operation tagged =
      rename("/f/caf\xC3\xA9\xFF.txt", "b.txt");  // a name that is not UTF-8 stays bytes
  tagged.setTags = true;
  tagged.tags = {"Beach", "x,y"};
  tagged.setComment = true;
  tagged.comment = "new";
  std::vector<Operation> ops = {tagged, rename("/f/c", "d")};
  auto planned = plan(j, "b1", ops);
  std::vector<OpResult> results = {
      {true, ops[0].path, "/f/b.txt", std::nullopt},
      {false, ops[1].path, std::nullopt, "A file named \"d\" already exists."}};
  std::vector<PriorState> prior(2);
  prior[0].tags = std::vector<std::string>{"Old"};
  prior[0].comment = "old";
  ASSERT_TRUE(j.record(planned, ops, results, prior, 0, 2).ok());

  auto e = j.entries("b1");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(std::tuple(e[0].op.path, e[0].op.tags, e[0].op.comment, e[0].state, e[0].newPath),
            std::tuple(tagged.path, tagged.tags, "new", EntryState::kDone, "/f/b.txt"));
  EXPECT_EQ(std::tuple(e[0].prior.tags, e[0].prior.comment, e[0].prior.label.has_value()),
            std::tuple(std::vector<std::string>{"Old"}, "old", false));
  EXPECT_EQ(std::tuple(e[1].state, e[1].error), std::tuple(EntryState::kFailed, results[1].error));
  auto b = j.batch("b1");
  ASSERT_TRUE(b);
  EXPECT_EQ(std::tuple(b->title, b->folder, b->done, b->failed, b->interrupted),
            std::tuple("title of b1", "/f", 1, 1, false));
}

TEST(Journal, ListsBatchesNewestFirstPagesBackAndTrimsToBothBounds) {
  TempDir t;
  Journal j(t.at("journal.sqlite3"));
  for (const char* b : {"one", "two", "three"}) plan(j, b, {rename("/f/a", "b")});
  plan(j, "one", {rename("/f/c", "d")});  // a second request of the same batch
  auto all = j.batches(10, std::nullopt);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].id, "three");
  EXPECT_EQ(j.entries("one").size(), 2u);
  auto page = j.batches(10, all[1].started + 0.5);
  EXPECT_EQ(page.back().id, "one");
  ASSERT_TRUE(j.prune(2, 90).ok());
  EXPECT_EQ(j.batches(10, std::nullopt).size(), 2u);
  EXPECT_TRUE(j.entries("one").empty());
  ASSERT_TRUE(j.prune(10, 0).ok());  // older than no days at all
  EXPECT_TRUE(j.batches(10, std::nullopt).empty());
}

TEST(Journal, AFileThatIsNoJournalIsSetAsideAndANewOneStarted) {
  TempDir t;
  std::ofstream(t.at("journal.sqlite3")) << std::string(8192, 'x');
  Journal j(t.at("journal.sqlite3"));
  EXPECT_FALSE(j.problem());
  ASSERT_TRUE(j.setAside());
  EXPECT_NE(j.setAside()->find("journal.sqlite3.corrupt-"), std::string::npos);
  EXPECT_EQ(plan(j, "b", {rename("/f/a", "b")}).seqs.size(), 1u);
  int asides = 0;
  for (const auto& e : std::filesystem::directory_iterator(t.path()))
    asides += e.path().filename().string().starts_with("journal.sqlite3.corrupt-");
  EXPECT_EQ(asides, 1);
}

// An older build's journal, then one whose version an older build set back.
TEST(Journal, AJournalOfAnOlderBuildIsOpenedWithItsBatches) {
  TempDir t;
  for (const char* older : {"ALTER TABLE batches DROP COLUMN total; ALTER TABLE batches DROP "
                            "COLUMN ended; ALTER TABLE batches DROP COLUMN undoes; PRAGMA "
                            "user_version = 2",
                            "PRAGMA user_version = 2"}) {
    EXPECT_TRUE(Journal(t.at("j")).plan({older}, {rename("/f/a", "b")}, {FileIdentity{}}).ok());
    sqlite3* db = nullptr;
    sqlite3_open(t.at("j").c_str(), &db);
    EXPECT_EQ(sqlite3_exec(db, older, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    EXPECT_FALSE(Journal(t.at("j")).problem()) << older;
  }
  EXPECT_EQ(Journal(t.at("j")).batches(10, std::nullopt).size(), 2u);
}

TEST(Journal, AFolderThatCannotBeMadeIsAProblemAndEveryPlanFails) {
  TempDir t;
  Journal j(t.file("state") + "/quarrytide/journal.sqlite3");  // "state" is a file
  ASSERT_TRUE(j.problem());
  auto planned = j.plan({"b"}, {rename("/f/a", "b")}, {FileIdentity{}});
  ASSERT_FALSE(planned.ok());
  EXPECT_EQ(planned.error().message, *j.problem());
  EXPECT_TRUE(j.batches(10, std::nullopt).empty());
}

TEST(Journal, ItsFolderAndFilesAreTheUsersAloneAndLooserOnesAreTightened) {
  namespace fs = std::filesystem;
  TempDir t;
  const std::string dir = t.at("state/quarrytide"), file = dir + "/journal.sqlite3";
  const mode_t umask = ::umask(022);
  std::vector<std::unique_ptr<Journal>> open;  // the first stays open: its -wal and -shm stay
  for (const char* start : {"made anew", "found looser"}) {
    open.push_back(std::make_unique<Journal>(file));
    plan(*open.back(), start, {rename("/f/a", "b")});
    EXPECT_EQ(fs::status(dir).permissions(), fs::perms::owner_all) << start;
    fs::permissions(dir, fs::perms::group_all | fs::perms::others_all, fs::perm_options::add);
    for (const char* side : {"", "-wal", "-shm"}) {
      EXPECT_EQ(fs::status(file + side).permissions(),
                fs::perms::owner_read | fs::perms::owner_write)
          << start << side;
      fs::permissions(file + side, fs::perms::group_read | fs::perms::others_read,
                      fs::perm_options::add);
    }
  }
  ::umask(umask);
}

// Disk states a crash can leave a batch in, and what the repair makes of them:
// each step's state (Done, Not run), and the History's counts of items (a
// swap is three steps for two items), over every item the batch was started with.
TEST(Journal, RepairsEveryItemACrashLeftAndCountsWhatBecameOfEachItem) {
  struct Case {
    const char* name;
    const char *steps, *before, *after;  // "from>to ...", in one folder; names on disk
    std::string states;
    bool moved;
    std::size_t recorded;  // steps whose outcome (done) was written before the crash
    std::int64_t total;    // items the batch was started with; 0: not said
    int done, failed, notRun;
    bool interrupted;
  };
  const char* swap = "a>.qt-swap-1 b>a .qt-swap-1>b";
  const char* ring = "a>.qt-swap-1 c>a b>c .qt-swap-1>b";
  const std::vector<Case> cases = {
      {"a swap cut after its first step goes back", swap, ".qt-swap-1 b", "a b", "NNN", true, 0, 0,
       0, 0, 2, true},
      {"a swap cut before its last step finishes", swap, ".qt-swap-1 a", "a b", "DDD", true, 0, 2,
       2, 0, 0, true},
      {"a swap that ran whole is no interrupted batch", swap, "b a", "a b", "DDD", false, 3, 2, 2,
       0, 0, false},
      // a ring of three: its parked item's names are both held
      {"a ring cut in its middle goes back", ring, ".qt-swap-1 b a", "a b c", "NNNN", true, 0, 0, 0,
       0, 3, true},
      {"a ring cut after its middle was written goes back", ring, ".qt-swap-1 b a", "a b c", "DNNN",
       true, 2, 0, 0, 0, 3, true},
      {"a case change cut between its moves finishes", "x>X", ".quarrytide-tmp-AB", "X", "D", true,
       0, 0, 1, 0, 0, true},
      {"a rename done before its outcome was written", "x>y", "y", "y", "D", false, 0, 0, 1, 0, 0,
       true},
      {"a rename that never ran", "x>y", "x", "x", "N", false, 0, 0, 0, 0, 1, true},
      {"a batch killed between its requests", "x>y", "y", "y", "D", false, 1, 3, 1, 0, 2, true},
  };
  auto words = [](const char* text) {
    std::istringstream in(text);
    return std::vector<std::string>(std::istream_iterator<std::string>(in), {});
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir t;
    std::string f = t.path() + "/";
    // the items as they were when the batch was planned
    std::map<std::string, FileIdentity> ids;
    std::vector<Operation> ops;
    std::vector<FileIdentity> planned;
    for (const auto& step : words(c.steps)) {
      const std::string from = step.substr(0, step.find('>')), to = step.substr(from.size() + 1);
      if (!std::filesystem::exists(f + from) && !from.starts_with("."))
        ids[from] = idOf(t.file(from, from));
      ops.push_back(rename(f + from, to));
      planned.push_back(ids.count(from) ? ids[from] : FileIdentity{});
    }
    // the crash: the items moved to where the case says (by way of other names)
    for (const auto& [name, id] : ids) std::filesystem::rename(f + name, f + "moving-" + name);
    std::size_t k = 0;
    for (const auto& [name, id] : ids)
      std::filesystem::rename(f + "moving-" + name, f + words(c.before).at(k++));
    Journal j(t.at("j.sqlite3"));
    auto request = j.plan({"b", "", "", c.total}, ops, planned);
    ASSERT_TRUE(request.ok());
    std::vector<OpResult> results;
    for (const auto& op : ops) results.push_back({true, op.path, impliedNewPath(op)});
    ASSERT_TRUE(
        j.record(*request, ops, results, std::vector<PriorState>(ops.size()), 0, c.recorded).ok());
    auto repairs = j.recover();
    std::set<std::string> names = testing::names(t.path());  // sorted, as `after` is
    std::erase_if(names, [](const std::string& n) { return n.starts_with("j.sqlite3"); });
    EXPECT_EQ(std::vector(names.begin(), names.end()), words(c.after));
    EXPECT_EQ(!repairs.empty() && repairs[0].moved, c.moved);
    std::string states;
    for (const auto& e : j.entries("b")) states += "PDFNL"[int(e.state)];
    EXPECT_EQ(states, c.states);
    auto b = j.batch("b");
    EXPECT_EQ(std::tuple(b->done, b->failed, b->notRun, b->interrupted),
              std::tuple(c.done, c.failed, c.notRun, c.interrupted));
    EXPECT_EQ(j.cutShort().size(), std::size_t(c.interrupted));
    EXPECT_TRUE(j.recover().empty() && j.cutShort().empty())
        << "a second start finds nothing to repair";
  }
}

TEST(Journal, RepairsAMoveIntoAFolderItMadeWhereverACrashCutIt) {
  struct Case {
    const char* name;
    bool made, moved;
    std::string states;
  };
  const Case cases[] = {{"both ran", true, true, "DD"},
                        {"the folder was made", true, false, "DN"},
                        {"neither ran", false, false, "NN"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir t;
    const FileIdentity id = idOf(t.file("a", "a"));
    Operation make, move = rename(t.at("a"), "a");
    make.path = t.at("n");
    make.folderStep = Operation::FolderStep::kMake;
    move.newFolder = t.at("n");
    Journal j(t.at("j.sqlite3"));
    ASSERT_TRUE(j.plan({"b"}, {make, move}, {FileIdentity{}, id}).ok());
    if (c.made) std::filesystem::create_directory(t.at("n"));
    if (c.moved) std::filesystem::rename(t.at("a"), t.at("n/a"));
    j.recover();
    std::string states;
    for (const auto& e : j.entries("b")) states += "PDFNL"[int(e.state)];
    EXPECT_EQ(states, c.states);
    const auto b = j.batch("b");
    EXPECT_EQ(std::tuple(b->done, b->notRun), std::tuple(int(c.moved), int(!c.moved)))
        << "the folder is no item";
  }
}

// A copy, or a move to another drive, cut short: a part under a temporary
// name goes (a folder of such a name is no part); a copy that got its name is
// done; a move whose copy got its name ends with the original removed, once
// the copy there is found to hold its bytes.
TEST(Journal, CopiesAndMovesToAnotherDriveCutShortEndInOnePlaceOrBoth) {
  struct Case {
    const char* what;
    bool copy;
    const char *left, *content;  // what the crash left where the item went
    bool original;               // the original is still there
    EntryState state;
  };
  const char* part = ".quarrytide-tmp-1234";
  const Case cases[] = {
      {"a copy cut while writing", true, part, "a", true, EntryState::kNotRun},
      {"a copy named", true, "a", "a", true, EntryState::kDone},
      {"a move cut while writing", false, part, "a", true, EntryState::kNotRun},
      {"a move whose copy was named", false, "a", "a", false, EntryState::kDone},
      {"a move whose name another file took", false, "a", "b", true, EntryState::kNotRun},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir t;
    const auto drive = TempDir::otherDrive(t);
    if (!c.copy && !drive) continue;  // moves cross drives only where there are two
    const std::string out = c.copy ? t.folder("out") : drive->path();
    const FileIdentity id = idOf(t.file("a", "a"));
    Operation op = rename(t.at("a"), "a");
    op.newFolder = out, op.copy = c.copy;
    Journal j(t.at("j.sqlite3"));
    ASSERT_TRUE(j.plan({"b"}, {op}, {id}).ok());
    std::ofstream(out + "/" + c.left) << c.content;
    std::filesystem::create_directory(out + "/" + part + "0");
    std::ofstream(out + "/" + part + "0/keep") << "k";
    j.recover();
    std::map<std::string, std::string> want = {{std::string(part) + "0/keep", "k"}};
    if (c.left != part) want[c.left] = c.content;
    EXPECT_EQ(testing::contents(out), want);
    EXPECT_EQ(std::filesystem::exists(t.at("a")), c.original);
    EXPECT_EQ(j.entries("b").at(0).state, c.state);
  }
}

// The exports of a batch as a spreadsheet and a shell read them: no byte of a
// name, folder or title gets out of its quotes, no field becomes a formula.
JournalEntry renamed(const std::string& from, const std::string& to) {
  JournalEntry e;
  e.op.path = from;
  e.op.newName = to.substr(to.rfind('/') + 1);
  e.state = EntryState::kDone;
  e.newPath = to;
  return e;
}

TEST(Export, TheUndoScriptOnlyMovesItemsBackWhateverTheirNamesFolderAndTitleHold) {
  testing::TempDir t;
  // Each would touch a file where the script runs, were any of it run.
  const std::string evil = "a\ntouch nl\n#'q\"$(touch dollar)`touch tick`\xff\xfe\\c.";
  const std::string in = "in\ntouch PWNED\n#" + evil + "/";
  std::vector<JournalEntry> entries;
  std::map<std::string, std::string> want;  // every file below t afterwards, with its content
  for (const std::string& name : {evil, std::string("-rf"), std::string("--x y'")}) {
    entries.push_back(renamed(t.at(in + name), t.file(in + "new " + name, name)));
    entries.back().prior.comment = evil;
    want[in + name] = name;
  }
  // an old name taken since: it stays, and the script says so
  entries.push_back(renamed(t.file(in + "taken", "taken"), t.file(in + "moved", "moved")));
  want[in + "taken"] = "taken", want[in + "moved"] = "moved";
  want["err"] = "not moved back, the old name is taken: " + t.at(in) + "taken\n";
  // a folder the batch made and moved an item into: the item back, the folder gone
  JournalEntry made;
  made.op.path = t.at(in + "made"), made.state = EntryState::kDone;
  made.op.folderStep = Operation::FolderStep::kMake;
  made.newPath = t.folder(in + "made");
  entries.insert(entries.begin(), made);
  entries.push_back(renamed(t.at(in + "moved in"), t.file(in + "made/moved in", "m")));
  want[in + "moved in"] = "m";
  const BatchSummary batch{"id\ntouch id", 0, "Rename\ntouch title\n#" + evil, t.at(in)};
  std::ofstream(t.folder("run") + "/undo.sh")
      << (want["run/undo.sh"] = batchUndoScript(batch, entries));
  ASSERT_EQ(std::system(("cd '" + t.at("run") + "' && sh undo.sh 2>../err").c_str()), 0);
  EXPECT_EQ(testing::contents(t.path()), want);
  EXPECT_FALSE(std::filesystem::exists(t.at(in + "made")));
  EXPECT_EQ(testing::xattr(t.at(in + "-rf"), "user.xdg.comment"), evil);
}

TEST(Export, ACsvFieldASpreadsheetWouldTakeForAFormulaStartsWithAQuote) {
  const std::vector<std::pair<std::string, std::string>> cases = {{"=1+2", "'=1+2"},
                                                                  {"+1", "'+1"},
                                                                  {"-1", "'-1"},
                                                                  {"@SUM(A1)", "'@SUM(A1)"},
                                                                  {"\tx", "'\tx"},
                                                                  {"\rx", "\"'\rx\""},
                                                                  {"=a,\"b\"", "\"'=a,\"\"b\"\"\""},
                                                                  {"a=b", "a=b"},
                                                                  {"'x", "'x"},
                                                                  {"", ""}};
  for (const auto& [comment, field] : cases) {
    JournalEntry e = renamed("/f/-a", "/f/=b");
    e.op.setComment = true;
    e.op.comment = comment;
    const std::string csv = batchCsv({e});
    EXPECT_EQ(csv.substr(csv.find("\r\n") + 2), "/f/-a,/f/=b,done,,,," + field + ",,,\r\n")
        << comment;
  }
}

}  // namespace
}  // namespace quarrytide
