// renameFile on real files in temporary folders; a case-folding stand-in
// for the file systems that ignore case.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <functional>

#include "catalogue/rename.hpp"
#include "files.hpp"
#include "temp_dir.hpp"

namespace quarrytide {
void PrintTo(const Error& e, std::ostream* os) {
  *os << e.domain << " " << e.code << ": " << e.message;
}
}  // namespace quarrytide

namespace quarrytide::testing {
namespace {

namespace fs = std::filesystem;
using Contents = std::map<std::string, std::string>;

Error taken(const std::string& name) {
  return {"Quarrytide", kNameTaken, "A file named \"" + name + "\" already exists."};
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
    auto r = renameFile(dir.at(from), to);
    ASSERT_TRUE(r.ok()) << from << " to " << to << ": " << r.error().message;
    EXPECT_EQ(*r, dir.at(to)) << from << " to " << to;
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
  const Error invalid{"Quarrytide", kInvalidName, "Invalid file name."};
  for (const std::string& bad : std::vector<std::string>{"a/b", ".", "..", "", "/", {"a\0b", 3}})
    EXPECT_EQ(renameFile(dir.at("a.txt"), bad).error(), invalid) << bad;
  const std::tuple<const char*, std::string, Error> cases[] = {
      {"a.txt", std::string(300, 'n'), Error::posix(ENAMETOOLONG)},
      {"absent", "x", Error::posix(ENOENT)},
      {"a.txt", "b.txt", taken("b.txt")},
      // On a file system that tells case apart, the other spelling is another item.
      {"report.txt", "Report.txt", taken("Report.txt")},
      // A link pointing nowhere is still an item in the way.
      {"a.txt", "dangling", taken("dangling")},
      // A second hard link shares the item's identity but is another entry:
      // it goes through the temporary name and comes back.
      {"a.txt", "hard", taken("hard")}};
  for (const auto& [from, to, error] : cases)
    EXPECT_EQ(renameFile(dir.at(from), to).error(), error) << from << " to " << to;
  EXPECT_EQ(contents(dir.path()), before);
}

// The real file system, seen through a file system that ignores letter case
// (ASCII is enough here): a name finds any entry of the same folder that
// differs from it only in case.
class CaseFoldingFs : public RenameFs {
 public:
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
    if (target != to && target != source) return EEXIST;  // another spelling is taken
    return RenameFs::move(source, to);
  }
  static std::string fold(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
  }
  std::vector<std::string> moves;  // destination names, in order
  // Another process at work just before a move, or the system refusing it
  // with an errno.
  std::function<int(const std::string& to)> beforeMove;
};

TEST(RenameFile, ACaseChangeOnAFileSystemThatIgnoresCaseGoesThroughATemporaryName) {
  TempDir dir;
  CaseFoldingFs folding;
  auto r = renameFile(dir.file("report.txt", "mine"), "REPORT.txt", folding);
  ASSERT_TRUE(r.ok()) << r.error().message;
  EXPECT_EQ(*r, dir.at("REPORT.txt"));
  EXPECT_THAT(
      folding.moves,
      ::testing::ElementsAre(::testing::MatchesRegex("\\.quarrytide-tmp-[0-9A-F]{8}-[0-9A-F]{4}-"
                                                     "4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}"),
                             "REPORT.txt"));
  EXPECT_EQ(contents(dir.path()), (Contents{{"REPORT.txt", "mine"}}));

  // Another item under the other spelling is a collision there too.
  EXPECT_EQ(renameFile(dir.file("notes.txt", "notes"), "report.TXT", folding).error(),
            taken("report.TXT"));
  EXPECT_EQ(folding.moves.size(), 2u);  // nothing moved
}

TEST(RenameFile, ADestinationCreatedBetweenTestAndMoveIsNeverReplaced) {
  TempDir dir, other;
  CaseFoldingFs racing;
  // Another process makes the destination just before the move there.
  racing.beforeMove = [&](const std::string&) {
    dir.file("b.txt", "theirs");
    return 0;
  };
  EXPECT_EQ(renameFile(dir.file("a.txt", "a"), "b.txt", racing).error(), Error::posix(EEXIST));
  EXPECT_EQ(contents(dir.path()), (Contents{{"a.txt", "a"}, {"b.txt", "theirs"}}));
  // The same race against the second move of a case change: the old
  // spelling is taken too now, so the item stays, whole, under its hidden
  // temporary name, and the newcomer is untouched.
  racing.beforeMove = [&](const std::string& to) {
    if (fs::path(to).filename() == "X") other.file("X", "theirs");
    return 0;
  };
  auto raced = renameFile(other.file("x", "mine"), "X", racing);
  ASSERT_FALSE(raced.ok());
  auto left = contents(other.path());
  ASSERT_EQ(left.size(), 2u);
  const std::string hidden = left.begin()->first;  // "." sorts first
  EXPECT_EQ(left, (Contents{{hidden, "mine"}, {"X", "theirs"}}));
  // The message says where the item is, so that nobody believes it lost.
  EXPECT_EQ(raced.error().code, EEXIST);
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
    secondRefused.beforeMove = [err](const std::string& to) {
      return fs::path(to).filename() == "A.txt" ? err : 0;
    };
    EXPECT_EQ(renameFile(dir.at("a.txt"), "A.txt", secondRefused).error(), Error::posix(err));
    EXPECT_EQ(secondRefused.moves.size(), 3u) << err;  // there, refused, back
    EXPECT_EQ(contents(dir.path()), (Contents{{"a.txt", "a"}})) << err;
  }
  // The lookup of the destination itself refused (a folder without search
  // permission): nothing moves.
  TempDir dir;
  struct DeniedLookup : CaseFoldingFs {
    int identify(const std::string&, FileIdentity&) override { return EACCES; }
  } denied;
  EXPECT_EQ(renameFile(dir.file("a.txt", "a"), "b.txt", denied).error(), Error::posix(EACCES));
  EXPECT_TRUE(denied.moves.empty());
  EXPECT_EQ(names(dir.path()), (std::set<std::string>{"a.txt"}));
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
  EXPECT_EQ(names(dir.path()), (std::set<std::string>{"f2", "g", "d2", "e"}));
  EXPECT_EQ(read(dir.at("f2")), "f");
  struct stat st;
  ASSERT_EQ(stat(dir.at("f2").c_str(), &st), 0);
  EXPECT_EQ(st.st_nlink, 1u);  // no second name left behind
}

}  // namespace
}  // namespace quarrytide::testing
