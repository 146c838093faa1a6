// The batch engine: a set of plain changes in, the items where they were asked
// to go, every step journalled; a set that cannot be made is refused whole.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "files.hpp"
#include "headless.hpp"
#include "journal/run_batch.hpp"
#include "raw_bytes.hpp"
#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;
using Contents = std::map<std::string, std::string>;

// Each name holds itself as content, so that every move shows.
Contents made(TempDir& t, const std::vector<std::string>& names) {
  for (const auto& n : names) t.file("d/" + n, n);
  return contents(t.at("d"));
}

json change(TempDir& t, const std::string& from, const std::string& to) {
  return {{"path", t.at("d/" + from)}, {"newPath", t.at("d/" + to)}};
}

// Folder d as "name=content" words, in name order.
std::string listed(TempDir& t) {
  std::string out;
  for (const auto& [name, content] : contents(t.at("d"))) out += " " + name + "=" + content;
  return out.substr(1);
}

TEST(RunBatch, RingsAndChainsSentAsPlainChangesEndWhereAskedAndAreReadBackFromTheJournal) {
  TempDir t;
  made(t, {"a", "b", "c", "d", "e", "f", "g", "m"});
  // a pair, a ring of three, a chain, and new tags
  json changes = {change(t, "a", "b"), change(t, "b", "a"),
                  change(t, "c", "d"), change(t, "d", "e"),
                  change(t, "e", "c"), change(t, "f", "g"),
                  change(t, "g", "h"), {{"path", t.at("d/m")}, {"setTags", true}, {"tags", {"x"}}}};
  const std::vector<std::string> env = {"XDG_STATE_HOME=" + t.folder("state")};
  const json args = {
      {"changes", changes}, {"batch", "B"}, {"title", "T"}, {"folder", t.at("d")}, {"undoes", "A"}};
  auto replies = answered({request(1, "runBatch", args), request(2, "listBatches"),
                           request(3, "readBatch", {{"id", "nope"}})},
                          env);
  EXPECT_EQ(listed(t), "a=b b=a c=e d=c e=d g=f h=g m=m");
  EXPECT_EQ(xattr(t.at("d/m"), "user.xdg.tags"), "x");
  const json& results = replies.at(1)["payload"]["results"];
  ASSERT_EQ(results.size(), changes.size());
  for (std::size_t i = 0; i < changes.size(); ++i) {
    const std::string to = changes[i].value("newPath", changes[i]["path"].get<std::string>());
    EXPECT_EQ(results[i], json({{"ok", true},
                                {"path", changes[i]["path"]},
                                {"newPath", to},
                                {"record", results[i]["record"]}}));
    EXPECT_EQ(results[i]["record"]["path"], to);
  }
  EXPECT_EQ(results[7]["record"]["tags"], json({"x"}));
  const json& batch = replies.at(2)["payload"]["batches"][0];
  EXPECT_EQ(batch, json({{"id", "B"},
                         {"title", "T"},
                         {"folder", t.at("d")},
                         {"done", 8},
                         {"failed", 0},
                         {"notRun", 0},
                         {"interrupted", false},
                         {"undoes", "A"},
                         {"started", batch["started"]}}));
  EXPECT_EQ(replies.at(3)["payload"], "no such batch");
  // moved since by someone else: found by its identity in its folder
  std::filesystem::rename(t.at("d/h"), t.at("d/moved"));
  const json later =
      answered({request(4, "readBatch", {{"id", "B"}, {"locate", true}})}, env).at(4);
  bool found = false;
  for (const auto& e : later["payload"]["entries"])
    if (e["newPath"] == t.at("d/h")) found = e["state"] == "done" && e["now"] == t.at("d/moved");
  EXPECT_TRUE(found);
}

TEST(RunBatch, ASetThatCannotBeMadeIsRefusedWholeWithAReasonForEachChange) {
  struct Case {
    const char* what;
    std::vector<std::array<const char*, 2>> changes;  // from, to
    std::vector<const char*> codes;
    bool folders = false;
  };
  const Case cases[] = {
      {"two changes for one item",
       {{"a", "x"}, {"a", "y"}, {"b", "z"}},
       {"same-item", "same-item", "conflict"}},
      {"two items onto one name", {{"a", "x"}, {"b", "x"}}, {"same-target", "same-target"}},
      {"a name held by an item that stays", {{"a", "c"}, {"b", "z"}}, {"exists", "conflict"}},
      {"a name freed by an item that keeps it", {{"a", "b"}, {"b", "b"}}, {"exists", "conflict"}},
      {"invalid names",
       {{"a", ""}, {"b", ".."}, {"c", "d/"}},
       {"invalid-name", "invalid-name", "invalid-name"}},
      {"another folder", {{"a", "../a"}}, {"other-folder"}},
      {"a file where a folder would be", {{"a", "b/x"}}, {"not-a-folder"}, true},
      {"a file above it", {{"a", "b/x/y"}, {"c", "n/c"}}, {"not-a-folder", "conflict"}, true},
      {"a name the batch makes a folder",
       {{"a", "n/x"}, {"b", "n"}},
       {"conflict", "same-target"},
       true},
      {"up by a ..", {{"a", "../a"}}, {"invalid-name"}, true},
      {"a folder into itself", {{"c", "c/in"}}, {"invalid-name"}, true},
  };
  for (const Case& c : cases) {
    TempDir t;
    const Contents before = made(t, {"a", "b", "c"});
    json changes = json::array();
    for (const auto& [from, to] : c.changes) changes.push_back(change(t, from, to));
    // a dry run gives each change its own verdict: the innocent ones pass
    auto replies = answered(
        {request(1, "runBatch", {{"changes", changes}, {"dryRun", true}, {"folders", c.folders}}),
         request(2, "runBatch", {{"changes", changes}, {"folders", c.folders}})});
    for (const bool dry : {true, false}) {
      const json& reply = replies.at(dry ? 1 : 2)["payload"];
      EXPECT_EQ(reply["refused"], true) << c.what;
      EXPECT_EQ(reply.contains("dryRun"), dry) << c.what;
      std::vector<std::string> codes, want(c.codes.begin(), c.codes.end());
      for (const auto& r : reply["results"]) codes.push_back(r["ok"] == true ? "ok" : r["code"]);
      if (dry) std::replace(want.begin(), want.end(), std::string("conflict"), std::string("ok"));
      EXPECT_EQ(codes, want) << c.what << (dry ? " (dry run)" : "");
    }
    EXPECT_EQ(contents(t.at("d")), before) << c.what;
    EXPECT_FALSE(std::filesystem::exists(t.at("d/n"))) << c.what;
  }
  {
    // a set that can be made is only checked: nothing moves, nothing is journalled
    TempDir t;
    const Contents before = made(t, {"a", "b"});
    const std::vector<std::string> env = {"XDG_STATE_HOME=" + t.folder("state")};
    auto replies = answered(
        {request(1, "runBatch",
                 {{"changes", {change(t, "a", "b"), change(t, "b", "a")}}, {"dryRun", true}}),
         request(2, "listBatches")},
        env);
    EXPECT_EQ(replies.at(1)["payload"]["results"][1],
              json({{"ok", true}, {"path", t.at("d/b")}, {"newPath", t.at("d/b")}}));
    EXPECT_FALSE(replies.at(1)["payload"].contains("refused"));
    EXPECT_EQ(replies.at(2)["payload"]["batches"], json::array());
    EXPECT_EQ(contents(t.at("d")), before);
  }
  EXPECT_EQ(
      answered({request(1, "runBatch")}).at(1),
      json({{"id", 1}, {"ok", false}, {"payload", "missing changes"}, {"code", "bad-request"}}));
}

// Every entry below d: folders with a trailing "/", files as name=content.
std::string tree(TempDir& t) {
  std::set<std::string> all;
  for (const auto& e : std::filesystem::recursive_directory_iterator(t.at("d")))
    all.insert(e.path().string().substr(t.at("d").size() + 1) +
               (e.is_directory() ? "/" : "=" + read(e.path().string())));
  std::string out;
  for (const auto& e : all) out += (out.empty() ? "" : " ") + e;
  return out;
}

TEST(RunBatch, IntoFoldersItemsGoWhereAskedInFoldersMadeForThemAndTheUndoRemovesThoseLeftEmpty) {
  TempDir t;
  made(t, {"a", "b", "c"});
  t.file("d/up/u", "u");
  const std::vector<std::string> env = {"XDG_STATE_HOME=" + t.folder("state")};
  // into new folders, one of them two deep; a swap between two folders
  const json changes = {change(t, "a", "2024/07/a"), change(t, "b", "keep/b2"),
                        change(t, "c", "up/u"), change(t, "up/u", "c")};
  auto replies =
      answered({request(1, "runBatch", {{"changes", changes}, {"batch", "B"}, {"folders", true}}),
                request(2, "readBatch", {{"id", "B"}})},
               env);
  EXPECT_EQ(tree(t), "2024/ 2024/07/ 2024/07/a=a c=u keep/ keep/b2=b up/ up/u=c");
  for (std::size_t i = 0; i < changes.size(); ++i) {
    EXPECT_EQ(replies.at(1)["payload"]["results"][i]["ok"], true);
    EXPECT_EQ(replies.at(1)["payload"]["results"][i]["record"]["path"], changes[i]["newPath"]);
  }
  std::vector<std::string> made;
  for (const auto& e : replies.at(2)["payload"]["entries"])
    if (e.value("makeFolder", false) && e["state"] == "done") made.push_back(e["path"]);
  EXPECT_EQ(made, std::vector<std::string>({t.at("d/2024"), t.at("d/2024/07"), t.at("d/keep")}));
  EXPECT_EQ(answered({request(3, "listBatches")}, env).at(3)["payload"]["batches"][0]["done"], 4);
  // Undone: every item back; a folder another program put a file in since stays.
  t.file("d/keep/theirs", "t");
  json back = json::array();
  for (const auto& c : changes) back.push_back({{"path", c["newPath"]}, {"newPath", c["path"]}});
  const json undo =
      answered({request(4, "runBatch",
                        {{"changes", back}, {"batch", "U"}, {"undoes", "B"}, {"folders", true}})},
               env)
          .at(4);
  EXPECT_EQ(undo["payload"].value("refused", false), false);
  EXPECT_EQ(tree(t), "a=a b=b c=c keep/ keep/theirs=t up/ up/u=u");

  // Folders left empty go when asked (never the batch's own folder), and the
  // undo makes them again.
  const json empty = {change(t, "up/u", "keep/u"), change(t, "a", "keep/a")};
  answered({request(5, "runBatch",
                    {{"changes", empty},
                     {"batch", "E"},
                     {"folder", t.at("d")},
                     {"folders", true},
                     {"removeEmptied", true}})},
           env);
  EXPECT_EQ(tree(t), "b=b c=c keep/ keep/a=a keep/theirs=t keep/u=u");
  back = json::array();
  for (const auto& c : empty) back.push_back({{"path", c["newPath"]}, {"newPath", c["path"]}});
  answered({request(6, "runBatch", {{"changes", back}, {"undoes", "E"}, {"folders", true}})}, env);
  EXPECT_EQ(tree(t), "a=a b=b c=c keep/ keep/theirs=t up/ up/u=u");
  answered({request(7, "runBatch",
                    {{"changes", {change(t, "up/u", "u")}},
                     {"folder", t.at("d/up")},
                     {"folders", true},
                     {"removeEmptied", true}})},
           env);
  EXPECT_EQ(tree(t), "a=a b=b c=c keep/ keep/theirs=t u=u up/") << "the listed folder stays";
}

TEST(RunBatch, AcrossDrivesAMoveIsACheckedCopyAndACopyKeepsTheOriginalUntouched) {
  TempDir t;
  const auto drive = TempDir::otherDrive(t);
  if (!drive) GTEST_SKIP() << "no second file system that keeps user attributes";
  const std::string other = drive->path();
  made(t, {"a", "b"});
  ::setxattr(t.at("d/a").c_str(), "user.xdg.tags", "x", 1, 0);
  const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ::utimensat(AT_FDCWD, t.at("d/a").c_str(), old, 0);
  const std::vector<std::string> env = {"XDG_STATE_HOME=" + t.folder("state")};
  const json move = {{{"path", t.at("d/a")}, {"newPath", other + "/in/a"}}};
  const json copy = {
      {{"path", t.at("d/b")}, {"newPath", other + "/in/b"}, {"setTags", true}, {"tags", {"y"}}}};
  auto replies =
      answered({request(1, "runBatch", {{"changes", move}, {"folders", true}}),
                request(2, "runBatch",
                        {{"changes", copy}, {"folders", true}, {"copy", true}, {"batch", "C"}}),
                request(3, "readBatch", {{"id", "C"}})},
               env);
  EXPECT_EQ(replies.at(1)["payload"]["results"][0]["ok"], true) << replies.at(1);
  EXPECT_EQ(replies.at(2)["payload"]["results"][0]["ok"], true) << replies.at(2);
  EXPECT_EQ(tree(t), "b=b") << "moved away, copied from";
  EXPECT_EQ(contents(other), (Contents{{"in/a", "a"}, {"in/b", "b"}}));
  EXPECT_EQ(xattr(other + "/in/a", "user.xdg.tags"), "x");
  struct stat st;
  ::stat((other + "/in/a").c_str(), &st);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000) << "the modified time goes with the copy";
  EXPECT_EQ(xattr(other + "/in/b", "user.xdg.tags"), "y");
  EXPECT_EQ(xattr(t.at("d/b"), "user.xdg.tags"), std::nullopt) << "nothing of the original changes";
  EXPECT_EQ(replies.at(3)["payload"]["entries"].back()["copy"], true);
  // a copy onto the original of another copy is refused: nothing moves away in a copy
  const json onto = {{{"path", t.at("d/b")}, {"newPath", other + "/in/c"}},
                     {{"path", other + "/in/a"}, {"newPath", t.at("d/b")}}};
  const json refused =
      answered({request(4, "runBatch", {{"changes", onto}, {"folders", true}, {"copy", true}})},
               env)
          .at(4);
  EXPECT_EQ(refused["payload"]["results"][1]["code"], "exists");
}

// Names in a legacy encoding are named by their bytes: their text has U+FFFD
// where the bytes were and would name nothing, or two items at once.
TEST(RunBatch, NamesThatAreNotUtf8AreRenamedTaggedAndUndoneByTheirExactBytes) {
  TempDir t;
  const std::string latin = "caf\xe9.txt", sjis = "\x83\x65\x83\x58\x83\x67.txt",
                    twin = "caf\xe8.txt";
  made(t, {latin, sjis, twin});
  const std::vector<std::string> env = {"XDG_STATE_HOME=" + t.folder("state")};
  const auto raw = [&](const std::string& name) { return base64Of(t.at("d/" + name)); };
  const json changes = {{{"rawPath", raw(latin)}, {"newPath", t.at("d/caf\u00e9.txt")}},
                        {{"rawPath", raw(sjis)}, {"newPath", t.at("d/\u30c6\u30b9\u30c8.txt")}},
                        {{"rawPath", raw(twin)}, {"setTags", true}, {"tags", {"x"}}}};
  auto replies = answered({request(1, "runBatch", {{"changes", changes}, {"batch", "B"}}),
                           request(2, "readBatch", {{"id", "B"}, {"locate", true}})},
                          env);
  EXPECT_EQ(made(t, {}),
            (Contents{{"caf\u00e9.txt", latin}, {twin, twin}, {"\u30c6\u30b9\u30c8.txt", sjis}}));
  EXPECT_EQ(xattr(t.at("d/" + twin), "user.xdg.tags"), "x");
  const json& tagged = replies.at(1)["payload"]["results"][2];
  EXPECT_EQ(tagged["rawPath"], raw(twin));
  EXPECT_EQ(tagged["record"]["rawName"], base64Of(twin));
  // the journal gives the old bytes back, and the undo puts them back
  json back = json::array();
  for (const auto& e : replies.at(2)["payload"]["entries"])
    if (e.contains("newName"))
      back.push_back({{"path", e["newPath"]}, {"rawNewPath", e["rawPath"]}});
  ASSERT_EQ(back.size(), 2u);
  answered({request(3, "runBatch", {{"changes", back}, {"undoes", "B"}})}, env);
  EXPECT_EQ(made(t, {}), (Contents{{latin, latin}, {sjis, sjis}, {twin, twin}}));
  // bytes that are not base64 name no item: that change fails, nothing moves
  const json bad = answered({request(4, "runBatch",
                                     {{"changes",
                                       {{{"rawPath", "caf\u00e9"}, {"newPath", t.at("d/x")}},
                                        {{"rawPath", raw(latin)}, {"rawNewPath", "@"}}}}})},
                            env)
                       .at(4)["payload"];
  for (const auto& r : bad["results"]) EXPECT_EQ(r["ok"], false) << r;
  EXPECT_EQ(made(t, {}), (Contents{{latin, latin}, {sjis, sjis}, {twin, twin}}));
}

TEST(RunBatch, InColumnsTheReplyListsOnlyTheFailuresAndTheRowsWithoutARecord) {
  TempDir t;
  made(t, {"a", "b"});
  const json changes = {change(t, "a", "b"), change(t, "gone", "x"), change(t, "b", "a")};
  const json reply =
      answered({request(1, "runBatch", {{"changes", changes}, {"columns", true}})}).at(1);
  EXPECT_EQ(listed(t), "a=b b=a");
  const json& p = reply["payload"];
  ASSERT_EQ(p["files"].size(), 2u);  // the records of rows 0 and 2, in order
  EXPECT_EQ(p["files"][0]["path"], t.at("d/b"));
  EXPECT_EQ(p["files"][1]["path"], t.at("d/a"));
  EXPECT_EQ(p["unrecorded"], json({1}));
  ASSERT_EQ(p["failed"].size(), 1u);
  EXPECT_EQ(p["failed"][0]["row"], 1);
  EXPECT_EQ(p["failed"][0]["code"], "not-found");
  EXPECT_EQ(p["failed"][0]["stage"], "rename");
  EXPECT_FALSE(p.contains("results"));
}

// The engine itself, with steps that fail or a stop asked for where a test says.
struct Engine {
  TempDir t;
  Journal journal{t.at("state/journal.sqlite3")};
  std::size_t steps = 0;
  std::optional<std::size_t> failAt, stopAt;
  BatchOutcome run(std::vector<Change> changes) {
    BatchHooks hooks{[&](const Operation& op, PriorState& prior) {
                       if (steps++ == failAt)
                         return OpResult{false,     op.path,          op.path,
                                         "refused", ErrorCode::kBusy, OpResult::Stage::kRename};
                       return applyOp(op, &prior);
                     },
                     nullptr, [&] { return stopAt && steps >= *stopAt; }};
    auto out = runBatch(&journal, {"B", "", "", 0, false}, std::move(changes), hooks);
    EXPECT_TRUE(out.ok());
    return std::move(out).value();
  }
  Change to(const std::string& from, const std::string& name) {
    return Change{t.at("d/" + from), t.at("d/" + name)};
  }
};

TEST(RunBatch, AFailureInsideARingBringsTheParkedItemBack) {
  Engine r;
  const Contents before = made(r.t, {"a", "b", "c"});
  r.failAt = 1;  // the first move after the park
  const BatchOutcome out = r.run({r.to("a", "b"), r.to("b", "c"), r.to("c", "a")});
  EXPECT_EQ(contents(r.t.at("d")), before);
  for (const ChangeResult& c : out.results) {
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.newPath, c.path);
  }
  EXPECT_EQ(out.results[0].error->code, ErrorCode::kExists);  // its new name was still held
  EXPECT_EQ(r.journal.batch("B")->failed, 3);
}

TEST(RunBatch, AStopBetweenStepsLeavesTheRestUnrunAndNeverSplitsARing) {
  Engine r;
  made(r.t, {"a", "b"});
  r.t.file("e/c", "c");
  r.stopAt = 1;  // asked inside the ring (in the first folder): honoured after it
  const BatchOutcome out = r.run({r.to("a", "b"), r.to("b", "a"), {r.t.at("e/c"), r.t.at("e/x")}});
  EXPECT_TRUE(out.cancelled);
  EXPECT_EQ(contents(r.t.at("d")), (Contents{{"a", "b"}, {"b", "a"}}));
  EXPECT_EQ(contents(r.t.at("e")), (Contents{{"c", "c"}}));
  std::vector<bool> ok;
  for (const auto& c : out.results) ok.push_back(c.ok);
  EXPECT_EQ(ok, std::vector<bool>({true, true, false}));
  EXPECT_EQ(out.results[2].error->code, ErrorCode::kCancelled);
  const auto batch = r.journal.batch("B");
  EXPECT_EQ(std::vector({batch->done, batch->failed, batch->notRun}),
            std::vector<std::int64_t>({2, 0, 1}));
  EXPECT_TRUE(r.journal.recover().empty());
  EXPECT_TRUE(r.journal.cutShort().empty()) << "a stopped batch was not cut short";
}

}  // namespace
}  // namespace quarrytide::testing
