// renameFile and applyOp on real files in temporary folders; a case-folding
// stand-in for the file systems that ignore case.
#include "catalogue/rename.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <numeric>

#include "catalogue/copy_item.hpp"
#include "catalogue/operation.hpp"
#include "files.hpp"
#include "temp_dir.hpp"

namespace quarrytide {
void PrintTo(const Error& e, std::ostream* os) {
  *os << codeName(e.code) << " " << e.sys << ": " << e.message;
}
void PrintTo(const OpResult& r, std::ostream* os) {
  *os << "{ok " << r.ok << ", path " << r.path.value_or("-") << ", newPath "
      << r.newPath.value_or("-") << ", error " << r.error.value_or("-") << "}";
}
}  // namespace quarrytide

namespace quarrytide::testing {
namespace {

namespace fs = std::filesystem;
using Contents = std::map<std::string, std::string>;
constexpr auto none = std::nullopt;
const char* kTags = "user.xdg.tags";
const char* kComment = "user.xdg.comment";
const auto kTemporary = ::testing::MatchesRegex(
    "\\.quarrytide-tmp-[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");

Error taken(const std::string& name) {
  return {ErrorCode::kExists, "A file named \"" + name + "\" already exists."};
}

TEST(RenameFile, MovesItemsWithTheirContentsAndComparesNamesByteForByte) {
  const std::string composed = "caf\u00e9", decomposed = "cafe\u0301";
  // {from, to, what the folder then holds}. Each file holds the name it was
  // made under, so a moved file shows where it came from.
  const std::tuple<std::string, std::string, Contents> cases[] = {
      {"a.txt", "b.txt", {{"b.txt", "a.txt"}}},
      {"old/", "new", {{"new/inner/f", "old/inner/f"}}},  // "/" names the same folder
      {"b.txt", ".hidden", {{".hidden", "b.txt"}}},
      {".hidden", "...", {{"...", ".hidden"}}},
      {"...", "a:b", {{"a:b", "..."}}},
      {"a:b", "\xff\xfe", {{"\xff\xfe", "a:b"}}},
      {composed, composed, {{composed, composed}}},
      {composed, decomposed, {{decomposed, composed}}},  // Linux keeps both spellings apart
      {"report.txt", "Report.txt", {{"Report.txt", "report.txt"}}},  // the other case is free
  };
  for (const auto& [from, to, after] : cases) {
    TempDir dir;
    const std::string made = from.back() == '/' ? from + "inner/f" : from;
    dir.file(made, made);
    EXPECT_EQ(renameFile(dir.at(from), to).value(), dir.at(to)) << from << " to " << to;
    EXPECT_EQ(contents(dir.path()), after) << from << " to " << to;
  }
}

TEST(RenameFile, RefusesBadOrTakenNamesAndChangesNothing) {
  TempDir dir;
  const Contents before{{"a.txt", "a"},         {"b.txt", "b"},   {"Report.txt", "other"},
                        {"report.txt", "mine"}, {"dangling", ""}, {"hard", "a"}};
  for (const char* name : {"a.txt", "b.txt", "Report.txt", "report.txt"})
    dir.file(name, before.at(name));
  dir.link("dangling", "nowhere");
  ASSERT_EQ(link(dir.at("a.txt").c_str(), dir.at("hard").c_str()), 0);
  const Error invalid{ErrorCode::kInvalidName, "Invalid file name."};
  for (const std::string& bad : std::vector<std::string>{"a/b", ".", "..", "", "/", {"a\0b", 3}})
    EXPECT_EQ(renameFile(dir.at("a.txt"), bad).error(), invalid) << bad;
  const std::tuple<const char*, std::string, Error> cases[] = {
      {"a.txt", std::string(300, 'n'), Error::posix(ENAMETOOLONG)},
      {"absent", "x", Error::posix(ENOENT)},
      {"a.txt", "b.txt", taken("b.txt")},
      // On a file system that tells case apart, the other spelling is another item.
      {"report.txt", "Report.txt", taken("Report.txt")},
      {"a.txt", "dangling", taken("dangling")},  // a link pointing nowhere is still in the way
      // A second hard link shares the item's identity but is another entry:
      // it goes through the temporary name and comes back.
      {"a.txt", "hard", taken("hard")}};
  for (const auto& [from, to, error] : cases)
    EXPECT_EQ(renameFile(dir.at(from), to).error(), error) << from << " to " << to;
  EXPECT_EQ(contents(dir.path()), before);
}

// The real file system, seen through one that ignores letter case (ASCII is
// enough here): a name finds any entry of its folder that differs only in case.
class CaseFoldingFs : public RenameFs {
 public:
  static std::string fold(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
  }
  std::string resolve(const std::string& path) const {
    fs::path p(path);
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(p.parent_path(), ec))
      if (fold(e.path().filename().string()) == fold(p.filename().string()))
        return e.path().string();
    return path;
  }
  int identify(const std::string& path, FileIdentity& id) override {
    return RenameFs::identify(resolve(path), id);
  }
  int move(const std::string& from, const std::string& to) override {
    moves.push_back(fs::path(to).filename().string());
    if (int err = beforeMove ? beforeMove(to) : 0) return err;
    std::string source = resolve(from), target = resolve(to);
    // Another spelling is taken, even by the item itself: a move that never
    // replaces refuses it.
    if (target != to) return EEXIST;
    return RenameFs::move(source, to);
  }
  std::vector<std::string> moves;  // destination names, in order
  // Another process at work just before a move, or the system refusing it with an errno.
  std::function<int(const std::string& to)> beforeMove;
};

TEST(RenameFile, ACaseChangeOnAFileSystemThatIgnoresCaseGoesThroughATemporaryName) {
  TempDir dir;
  CaseFoldingFs folding;
  EXPECT_EQ(renameFile(dir.file("report.txt", "mine"), "REPORT.txt", folding).value(),
            dir.at("REPORT.txt"));
  // the direct move is refused, the item itself holding the other spelling
  EXPECT_THAT(folding.moves, ::testing::ElementsAre("REPORT.txt", kTemporary, "REPORT.txt"));
  EXPECT_EQ(contents(dir.path()), (Contents{{"REPORT.txt", "mine"}}));
  // Another item under the other spelling is a collision there too: nothing moves.
  EXPECT_EQ(renameFile(dir.file("notes.txt", "notes"), "report.TXT", folding).error(),
            taken("report.TXT"));
  EXPECT_EQ(folding.moves.size(), 4u);
  EXPECT_EQ(contents(dir.path()), (Contents{{"REPORT.txt", "mine"}, {"notes.txt", "notes"}}));
}

TEST(RenameFile, ADestinationCreatedBetweenTestAndMoveIsNeverReplaced) {
  TempDir dir, other;
  CaseFoldingFs racing;
  racing.beforeMove = [&](const std::string&) { return dir.file("b.txt", "theirs"), 0; };
  EXPECT_EQ(renameFile(dir.file("a.txt", "a"), "b.txt", racing).error(), taken("b.txt"));
  EXPECT_EQ(contents(dir.path()), (Contents{{"a.txt", "a"}, {"b.txt", "theirs"}}));
  // The same race against the second move of a case change: the old spelling
  // is taken too now, so the item stays, whole, under its hidden temporary
  // name, the newcomer untouched, and the message says where it is.
  racing.beforeMove = [&](const std::string& to) {
    if (fs::path(to).filename() == "X") other.file("X", "theirs");
    return 0;
  };
  auto raced = renameFile(other.file("x", "mine"), "X", racing);
  ASSERT_FALSE(raced.ok());
  auto left = contents(other.path());
  const std::string hidden = left.begin()->first;  // "." sorts first
  EXPECT_EQ(left, (Contents{{hidden, "mine"}, {"X", "theirs"}}));
  EXPECT_EQ(raced.error().sys, EEXIST);
  EXPECT_EQ(raced.error().message, "File exists (the item is kept as \"" + hidden + "\")");
}

TEST(RenameFile, EveryRefusalOfTheSystemLeavesTheItemUnderItsOwnName) {
  // What a full disk, a read-only or foreign mount, a permission or an
  // over-long name answer; root passes permission bits, so play the system.
  for (int err : {ENOSPC, EACCES, EPERM, EROFS, ENAMETOOLONG, EXDEV, ENOTSUP, EIO}) {
    TempDir dir;
    dir.file("a.txt", "a");
    CaseFoldingFs refusing, secondRefused;
    refusing.beforeMove = [err](const std::string&) { return err; };
    EXPECT_EQ(renameFile(dir.at("a.txt"), "b.txt", refusing).error(), Error::posix(err));
    EXPECT_EQ(names(dir.path()), (std::set<std::string>{"a.txt"})) << err;
    // A case change whose second move is refused: the item comes back from
    // its temporary name instead of staying hidden there.
    secondRefused.beforeMove = [err, tries = 0](const std::string& to) mutable {
      return fs::path(to).filename() == "A.txt" && ++tries == 2 ? err : 0;
    };
    EXPECT_EQ(renameFile(dir.at("a.txt"), "A.txt", secondRefused).error(), Error::posix(err));
    EXPECT_THAT(secondRefused.moves, ::testing::ElementsAre("A.txt", kTemporary, "A.txt", "a.txt"));
    EXPECT_EQ(contents(dir.path()), (Contents{{"a.txt", "a"}})) << err;
  }
  // A taken name whose holder cannot be looked at: refused, nothing moves.
  TempDir dir;
  struct DeniedLookup : CaseFoldingFs {
    int identify(const std::string&, FileIdentity&) override { return EACCES; }
  } denied;
  dir.file("b.txt", "b");
  EXPECT_EQ(renameFile(dir.file("a.txt", "a"), "b.txt", denied).error(), Error::posix(EACCES));
  EXPECT_EQ(contents(dir.path()), (Contents{{"a.txt", "a"}, {"b.txt", "b"}}));
}

TEST(RenameFile, TheFallbackMoveStillRefusesAnExistingDestination) {
  TempDir dir;
  for (const char* f : {"f", "g"}) dir.file(f, f);
  for (const char* d : {"d", "e"}) dir.folder(d);
  for (auto [from, to, result] : {std::tuple{"f", "g", EEXIST},
                                  {"d", "e", EEXIST},
                                  {"d", "f", EEXIST},
                                  {"f", "f2", 0},
                                  {"d", "d2", 0}})
    EXPECT_EQ(moveNoReplaceWithoutFlag(dir.at(from), dir.at(to)), result) << from << " to " << to;
  EXPECT_EQ(contents(dir.path()), (Contents{{"f2", "f"}, {"g", "g"}}));
  EXPECT_EQ(names(dir.path()),
            (std::set<std::string>{"f2", "g", "d2", "e"}));  // no name left behind
}

TEST(ApplyOp, RefusesARecordWithoutAnItemAndAnswersWithTheCleanPath) {
  TempDir dir;
  const std::string a = dir.file("a.txt"), messy = dir.path() + "//./a.txt/";
  EXPECT_EQ(applyOp(Operation{}),
            (OpResult{false, none, none, "missing path", ErrorCode::kBadRequest}));
  // A path that names no item touches nothing: an empty one is not the working
  // folder (a scratch one here), and one holding a NUL not the item before it.
  const auto buildTree = fs::current_path();
  fs::current_path(dir.folder("cwd"));
  for (const std::string& bad : {std::string(), a + '\0' + "b", dir.at("cwd") + '\0'})
    for (const Operation& op : {Operation{.path = bad, .newName = "moved"},
                                {.path = bad, .setTags = true, .tags = {"T"}},
                                {.path = bad, .setLabel = true, .label = 2},
                                {.path = bad, .setComment = true, .comment = "c"}})
      EXPECT_EQ(applyOp(op), (OpResult{false, bad, none, "No such file or directory",
                                       ErrorCode::kNotFound, OpResult::Stage::kRename}));
  fs::current_path(buildTree);
  EXPECT_EQ(names(dir.path()), (std::set<std::string>{"a.txt", "cwd"}));
  EXPECT_TRUE(names(dir.at("cwd")).empty());
  for (const char* attribute : {kTags, kComment})
    for (const std::string& item : {a, dir.at("cwd")}) EXPECT_EQ(xattr(item, attribute), none);
  EXPECT_EQ(applyOp({.path = messy}), (OpResult{true, messy, a, none}));
  EXPECT_EQ(applyOp({.path = messy, .newName = "b.txt"}),
            (OpResult{true, messy, dir.at("b.txt"), none}));
  // The same name again is no rename; the metadata still runs.
  dir.attr("b.txt", kComment, "old");
  EXPECT_EQ(applyOp({.path = dir.at("b.txt"), .newName = "b.txt", .setComment = true}),
            (OpResult{true, dir.at("b.txt"), dir.at("b.txt"), none}));
  EXPECT_EQ(xattr(dir.at("b.txt"), kComment), none);
}

TEST(ApplyOp, LabelAndTagChangesReplaceOnlyTheHalfTheyAskFor) {
  TempDir dir;
  // {before, operation, after}. Label 0 removes the label; a new one goes
  // after the user tags, which keep their order (the second "Red" was a user
  // tag). New tags keep the label: the first colour name of the list as stored.
  const std::tuple<const char*, Operation, std::optional<std::string>> cases[] = {
      {"a,Red,b", {.setLabel = true}, "a,b"},
      {"z,Red,a,Red", {.setLabel = true, .label = 4}, "z,a,Red,Blue"},
      {"z,a,Red,Blue", {.setTags = true}, "Red"},
      {"Red", {.setTags = true, .tags = {"x", "y"}, .setLabel = true, .label = 2}, "x,y,Green"},
      {"x,y,Green", {.setTags = true, .setLabel = true}, none},
  };
  for (auto [before, op, after] : cases) {
    op.path = dir.file(before);
    dir.attr(before, kTags, before);
    EXPECT_TRUE(applyOp(op).ok) << before;
    EXPECT_EQ(xattr(*op.path, kTags), after) << before;
  }
}

TEST(ApplyOp, AFailureEndsTheRecordAndLeavesTheLaterStepsUndone) {
  TempDir dir;
  const std::string a = dir.file("a"), c = dir.at("c");
  dir.attr("a", kTags, "keep,Red");
  dir.attr("a", kComment, "old");
  // The rename stays when the tag write then fails; the comment is not written.
  EXPECT_EQ(applyOp({.path = a,
                     .newName = "c",
                     .setTags = true,
                     .tags = {"x,y"},
                     .setComment = true,
                     .comment = "new"}),
            (OpResult{false, a, c, "tags: Tag names cannot contain \",\": \"x,y\" was not written.",
                      ErrorCode::kInvalidTag, OpResult::Stage::kTags}));
  EXPECT_EQ(xattr(c, kTags), "keep,Red");
  EXPECT_EQ(xattr(c, kComment), "old");
  // Tags that cannot be read are never replaced by a list that lost them.
  EXPECT_EQ(applyOp({.path = dir.at("missing"), .setLabel = true, .label = 1}).error,
            "tags: could not read the current tags: " + Error::posix(ENOENT).message);
}

// A copy of 40 MB is heard in pieces that add up to it, by the hook alive on
// its thread: the outer one again once an inner one is gone, none after both.
TEST(CopyItem, EveryByteWrittenIsHeardOnceByTheProgressAliveOnItsThread) {
  TempDir dir;
  const std::string big(40 << 20, 'q');
  const std::string a = dir.file("a", big), out = dir.folder("out");
  std::vector<std::uint64_t> outer, inner;
  {
    CopyProgress hear([&](std::uint64_t n) { outer.push_back(n); });
    {
      CopyProgress nested([&](std::uint64_t n) { inner.push_back(n); });
      ASSERT_EQ(copyItem(a, out + "/b", true).value(), out + "/b");
    }
    ASSERT_EQ(copyItem(a, out + "/c", false).value(), out + "/c");
  }
  ASSERT_EQ(copyItem(out + "/c", out + "/d", false).value(), out + "/d");
  for (auto* heard : {&inner, &outer}) {
    EXPECT_GT(heard->size(), 1u) << "a large file is heard while it is written";
    EXPECT_EQ(std::accumulate(heard->begin(), heard->end(), std::uint64_t(0)), big.size());
  }
  EXPECT_EQ(contents(dir.path()), (Contents{{"out/b", big}, {"out/d", big}}))
      << "a copy keeps its source only when asked";
  EXPECT_EQ(copyItem(out + "/b", out + "/d", true).error().code, ErrorCode::kExists);
}

}  // namespace
}  // namespace quarrytide::testing
