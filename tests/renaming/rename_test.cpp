// renameFile on real files in temporary folders; a case-folding stand-in
// for the file systems that ignore case.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

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
using ::testing::MatchesRegex;

void write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

const Error kInvalid{"Quarrytide", kInvalidName, "Invalid file name."};
Error taken(const std::string& name) {
  return {"Quarrytide", kNameTaken, "A file named \"" + name + "\" already exists."};
}

TEST(RenameFile, MovesFilesAndFoldersWithTheirContents) {
  TempDir dir;
  write(dir.path() + "/a.txt", "alpha");
  auto r = renameFile(dir.path() + "/a.txt", "b.txt");
  ASSERT_TRUE(r.ok()) << r.error().message;
  EXPECT_EQ(*r, dir.path() + "/b.txt");
  EXPECT_EQ(read(dir.path() + "/b.txt"), "alpha");
  EXPECT_EQ(names(dir.path()), (std::set<std::string>{"b.txt"}));

  fs::create_directories(dir.path() + "/old/inner");
  write(dir.path() + "/old/inner/f", "deep");
  auto folder = renameFile(dir.path() + "/old/", "new");  // a trailing "/" names the same folder
  ASSERT_TRUE(folder.ok()) << folder.error().message;
  EXPECT_EQ(*folder, dir.path() + "/new");
  EXPECT_EQ(read(dir.path() + "/new/inner/f"), "deep");

  std::string current = dir.path() + "/b.txt";
  for (std::string odd : {".hidden", "...", "a:b", "\xff\xfe"}) {
    auto o = renameFile(current, odd);
    ASSERT_TRUE(o.ok()) << odd << ": " << o.error().message;
    current = *o;
  }
}

TEST(RenameFile, NamesAreComparedByteForByte) {
  TempDir dir;
  const std::string composed = "caf\u00e9", decomposed = "cafe\u0301";
  write(dir.path() + "/" + composed, "x");
  auto same = renameFile(dir.path() + "/" + composed, composed);
  ASSERT_TRUE(same.ok());
  EXPECT_EQ(*same, dir.path() + "/" + composed);

  // Linux keeps both spellings apart, so this is a real rename.
  auto r = renameFile(dir.path() + "/" + composed, decomposed);
  ASSERT_TRUE(r.ok()) << r.error().message;
  EXPECT_EQ(names(dir.path()), (std::set<std::string>{decomposed}));

  // A case change where the other spelling is free is a plain move.
  write(dir.path() + "/report.txt", "r");
  ASSERT_TRUE(renameFile(dir.path() + "/report.txt", "Report.txt").ok());
  EXPECT_EQ(names(dir.path()), (std::set<std::string>{decomposed, "Report.txt"}));
}

TEST(RenameFile, RefusesInvalidNamesAndTooLongOnesWithoutTouchingTheItem) {
  TempDir dir;
  const std::string item = dir.path() + "/keep.txt";
  write(item, "k");
  for (const std::string& bad :
       std::vector<std::string>{"a/b", ".", "..", "", std::string("a\0b", 3), "/"}) {
    auto r = renameFile(item, bad);
    ASSERT_FALSE(r.ok()) << bad;
    EXPECT_EQ(r.error(), kInvalid) << bad;
  }
  auto tooLong = renameFile(item, std::string(300, 'n'));
  ASSERT_FALSE(tooLong.ok());
  EXPECT_EQ(tooLong.error(), Error::posix(ENAMETOOLONG));
  EXPECT_EQ(names(dir.path()), (std::set<std::string>{"keep.txt"}));

  auto missing = renameFile(dir.path() + "/absent", "x");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error(), Error::posix(ENOENT));
}

TEST(RenameFile, NeverReplacesAnotherItem) {
  TempDir dir;
  write(dir.path() + "/a.txt", "a");
  write(dir.path() + "/b.txt", "b");
  write(dir.path() + "/Report.txt", "other");
  write(dir.path() + "/report.txt", "mine");
  ASSERT_EQ(symlink("nowhere", (dir.path() + "/dangling").c_str()), 0);
  ASSERT_EQ(link((dir.path() + "/a.txt").c_str(), (dir.path() + "/hard").c_str()), 0);

  EXPECT_EQ(renameFile(dir.path() + "/a.txt", "b.txt").error(), taken("b.txt"));
  // On a file system that tells case apart, the other spelling is another item.
  EXPECT_EQ(renameFile(dir.path() + "/report.txt", "Report.txt").error(), taken("Report.txt"));
  // A link pointing nowhere is still an item in the way.
  EXPECT_EQ(renameFile(dir.path() + "/a.txt", "dangling").error(), taken("dangling"));
  // A second hard link shares the item's identity but is another entry: it
  // goes through the temporary name and comes back.
  EXPECT_EQ(renameFile(dir.path() + "/a.txt", "hard").error(), taken("hard"));

  EXPECT_EQ(names(dir.path()), (std::set<std::string>{"a.txt", "b.txt", "Report.txt", "report.txt",
                                                      "dangling", "hard"}));
  EXPECT_EQ(read(dir.path() + "/a.txt"), "a");
  EXPECT_EQ(read(dir.path() + "/b.txt"), "b");
  EXPECT_EQ(read(dir.path() + "/Report.txt"), "other");
  EXPECT_EQ(read(dir.path() + "/report.txt"), "mine");
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
    if (beforeMove) beforeMove(to);
    if (refuse)
      if (int err = refuse(to)) return err;
    std::string source = resolve(from), target = resolve(to);
    if (target != to && target != source) return EEXIST;  // another spelling is taken
    return RenameFs::move(source, to);
  }
  static std::string fold(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
  }
  std::vector<std::string> moves;  // destination names, in order
  std::function<void(const std::string& to)> beforeMove;
  std::function<int(const std::string& to)> refuse;  // an errno, as the system would give
};

TEST(RenameFile, ACaseChangeOnAFileSystemThatIgnoresCaseGoesThroughATemporaryName) {
  TempDir dir;
  write(dir.path() + "/report.txt", "mine");
  CaseFoldingFs folding;
  auto r = renameFile(dir.path() + "/report.txt", "REPORT.txt", folding);
  ASSERT_TRUE(r.ok()) << r.error().message;
  EXPECT_EQ(*r, dir.path() + "/REPORT.txt");
  ASSERT_EQ(folding.moves.size(), 2u);
  EXPECT_THAT(folding.moves[0],
              MatchesRegex("\\.quarrytide-tmp-[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-"
                           "[89AB][0-9A-F]{3}-[0-9A-F]{12}"));
  EXPECT_EQ(folding.moves[1], "REPORT.txt");
  EXPECT_EQ(names(dir.path()), (std::set<std::string>{"REPORT.txt"}));
  EXPECT_EQ(read(dir.path() + "/REPORT.txt"), "mine");

  // Another item under the other spelling is a collision there too.
  write(dir.path() + "/notes.txt", "notes");
  EXPECT_EQ(renameFile(dir.path() + "/notes.txt", "report.TXT", folding).error(),
            taken("report.TXT"));
  EXPECT_EQ(folding.moves.size(), 2u);  // nothing moved
}

TEST(RenameFile, ADestinationCreatedBetweenTestAndMoveIsNeverReplaced) {
  TempDir dir;
  write(dir.path() + "/a.txt", "a");
  CaseFoldingFs racing;
  racing.beforeMove = [](const std::string& to) { write(to, "theirs"); };
  auto r = renameFile(dir.path() + "/a.txt", "b.txt", racing);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), Error::posix(EEXIST));
  EXPECT_EQ(read(dir.path() + "/a.txt"), "a");
  EXPECT_EQ(read(dir.path() + "/b.txt"), "theirs");

  // The same race against the second move of a case change: the old
  // spelling is taken too now, so the item stays, whole, under its hidden
  // temporary name, and the newcomer is untouched.
  TempDir other;
  write(other.path() + "/x", "mine");
  CaseFoldingFs secondRace;
  secondRace.beforeMove = [](const std::string& to) {
    if (fs::path(to).filename() == "X") write(to, "theirs");
  };
  auto raced = renameFile(other.path() + "/x", "X", secondRace);
  ASSERT_FALSE(raced.ok());
  auto left = names(other.path());
  ASSERT_EQ(left.size(), 2u);
  const std::string hidden = *left.begin();  // "." sorts first
  EXPECT_EQ(read(other.path() + "/" + hidden), "mine");
  EXPECT_EQ(read(other.path() + "/X"), "theirs");
  // The message says where the item is, so that nobody believes it lost.
  EXPECT_EQ(raced.error().code, EEXIST);
  EXPECT_EQ(raced.error().message, "File exists (the item is kept as \"" + hidden + "\")");
}

TEST(RenameFile, EveryRefusalOfTheSystemLeavesTheItemUnderItsOwnName) {
  // What a full disk, a read-only or foreign mount, a permission or an
  // over-long name answer; root passes permission bits, so play the system.
  for (int err : {ENOSPC, EACCES, EPERM, EROFS, ENAMETOOLONG, EXDEV, ENOTSUP, EIO}) {
    TempDir dir;
    write(dir.path() + "/a.txt", "a");
    CaseFoldingFs refusing;
    refusing.refuse = [err](const std::string&) { return err; };
    auto direct = renameFile(dir.path() + "/a.txt", "b.txt", refusing);
    ASSERT_FALSE(direct.ok()) << err;
    EXPECT_EQ(direct.error(), Error::posix(err));
    EXPECT_EQ(names(dir.path()), (std::set<std::string>{"a.txt"})) << err;

    // A case change whose second move is refused: the item comes back from
    // its temporary name instead of staying hidden there.
    CaseFoldingFs secondRefused;
    secondRefused.refuse = [err](const std::string& to) {
      return fs::path(to).filename() == "A.txt" ? err : 0;
    };
    auto viaTemporary = renameFile(dir.path() + "/a.txt", "A.txt", secondRefused);
    ASSERT_FALSE(viaTemporary.ok()) << err;
    EXPECT_EQ(viaTemporary.error(), Error::posix(err));
    EXPECT_EQ(secondRefused.moves.size(), 3u) << err;  // there, refused, back
    EXPECT_EQ(names(dir.path()), (std::set<std::string>{"a.txt"})) << err;
    EXPECT_EQ(read(dir.path() + "/a.txt"), "a");
  }

  // The lookup of the destination itself refused (a folder without search
  // permission): nothing moves.
  TempDir dir;
  write(dir.path() + "/a.txt", "a");
  struct DeniedLookup : CaseFoldingFs {
    int identify(const std::string&, FileIdentity&) override { return EACCES; }
  } denied;
  EXPECT_EQ(renameFile(dir.path() + "/a.txt", "b.txt", denied).error(), Error::posix(EACCES));
  EXPECT_TRUE(denied.moves.empty());
  EXPECT_EQ(names(dir.path()), (std::set<std::string>{"a.txt"}));
}

TEST(RenameFile, TheFallbackMoveStillRefusesAnExistingDestination) {
  TempDir dir;
  write(dir.path() + "/f", "f");
  write(dir.path() + "/g", "g");
  fs::create_directory(dir.path() + "/d");
  fs::create_directory(dir.path() + "/e");
  EXPECT_EQ(moveNoReplaceWithoutFlag(dir.path() + "/f", dir.path() + "/g"), EEXIST);
  EXPECT_EQ(moveNoReplaceWithoutFlag(dir.path() + "/d", dir.path() + "/e"), EEXIST);
  EXPECT_EQ(moveNoReplaceWithoutFlag(dir.path() + "/d", dir.path() + "/f"), EEXIST);
  EXPECT_EQ(moveNoReplaceWithoutFlag(dir.path() + "/f", dir.path() + "/f2"), 0);
  EXPECT_EQ(moveNoReplaceWithoutFlag(dir.path() + "/d", dir.path() + "/d2"), 0);
  EXPECT_EQ(names(dir.path()), (std::set<std::string>{"f2", "g", "d2", "e"}));
  EXPECT_EQ(read(dir.path() + "/f2"), "f");
  struct stat st;
  ASSERT_EQ(stat((dir.path() + "/f2").c_str(), &st), 0);
  EXPECT_EQ(st.st_nlink, 1u);  // no second name left behind
}

}  // namespace
}  // namespace quarrytide::testing
