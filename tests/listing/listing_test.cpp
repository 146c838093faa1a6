#include "catalogue/listing.hpp"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

using Names = std::vector<std::string>;

// The records' paths from `root` on, each record's name checked against its path.
Names paths(const std::vector<FileRecord>& records, const std::string& root) {
  Names out;
  for (const auto& r : records) {
    EXPECT_EQ(r.name, r.path.substr(r.path.rfind('/') + 1));
    out.push_back(r.path.rfind(root + "/", 0) == 0 ? r.path.substr(root.size() + 1) : r.path);
  }
  return out;
}

// A folder with files, a subfolder, hidden items and links at two levels.
class Modes : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* f :
         {"b.txt", "a.txt", ".hidden.txt", ".secret/inside.txt", "sub/c.txt", "sub/deeper/d.txt"})
      t.file(f);
    t.folder("sub/empty");
    t.link("to-sub", t.at("sub"));
    t.link("sub/loop", t.path());
    t.attr("sub", "user.xdg.tags", "Red");
    t.attr("sub", "user.xdg.comment", "the folder's");
  }
  std::vector<FileRecord> list(ListingMode mode) { return listFolder(t.path(), mode); }
  TempDir t;
};

TEST_F(Modes, EachModeListsItsItemsAndLinksAreNeverFollowed) {
  const std::tuple<const char*, ListingMode, Names> cases[] = {
      {"files: the immediate non-folders, links too", {}, {"a.txt", "b.txt", "to-sub"}},
      {"folders: the immediate folders", {.foldersOnly = true}, {"sub"}},
      {"tree: files at every depth",
       {.recursive = true},
       {"a.txt", "b.txt", "sub/c.txt", "sub/deeper/d.txt", "sub/loop", "to-sub"}},
      {"hidden files", {.hidden = true}, {".hidden.txt", "a.txt", "b.txt", "to-sub"}},
      {"hidden folders", {.foldersOnly = true, .hidden = true}, {".secret", "sub"}},
      {"hidden tree",
       {.recursive = true, .hidden = true},
       {".hidden.txt", "a.txt", "b.txt", "sub/c.txt", "sub/deeper/d.txt", ".secret/inside.txt",
        "sub/loop", "to-sub"}},
  };
  for (const auto& [what, mode, expected] : cases) {
    SCOPED_TRACE(what);
    EXPECT_EQ(paths(list(mode), t.path()), expected);
  }
  EXPECT_TRUE(list({.foldersOnly = true})[0].isDir);
  const FileRecord link = list({})[2];  // a link to a folder, with metadata of its own
  EXPECT_EQ(std::tie(link.isDir, link.label, link.comment), std::tuple(false, 0, ""));
}

TEST_F(Modes, FoldersModeIgnoresRecursiveAndAnyNameOfTheFolderListsTheSame) {
  EXPECT_EQ(list({.recursive = true, .foldersOnly = true}), list({.foldersOnly = true}));
  EXPECT_EQ(listFolder(t.path() + "/", {.recursive = true}), list({.recursive = true}));
  // The folder itself may be named through a link.
  EXPECT_EQ(paths(listFolder(t.at("to-sub"), {}), t.at("to-sub")), (Names{"c.txt", "loop"}));
}

TEST(Listing, NothingToListGivesEmpty) {
  TempDir t;
  t.folder("empty");
  t.file("plain.txt");
  for (const auto& [path, mode] :
       {std::pair{"empty", ListingMode{.recursive = true}},
        {"missing", ListingMode{}},
        {"plain.txt", ListingMode{}},
        {"plain.txt", ListingMode{.recursive = true, .foldersOnly = true}}})
    EXPECT_TRUE(listFolder(t.at(path), mode).empty()) << path;
}

TEST(Listing, UnreadableSubfolderIsSkippedAndTheWalkGoesOn) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  TempDir t;
  for (const char* f : {"a/x.txt", "b/y.txt", "c/z.txt"}) t.file(f);
  ASSERT_EQ(::chmod(t.at("b").c_str(), 0), 0);
  EXPECT_EQ(paths(listFolder(t.path(), {.recursive = true}), t.path()),
            (Names{"a/x.txt", "c/z.txt"}));
  ::chmod(t.at("b").c_str(), 0755);
}

TEST(Ordering, NumbersCaseAndAccentsInFileBrowserOrder) {
  TempDir t;
  for (const char* n : {"Photo 10.jpg", "Photo 2.jpg", "Banana.txt", "apple.txt", "file10", "file2",
                        "file1", "côte", "cote", "Cote", "cotf", "B", "b"})
    t.file(n);
  EXPECT_EQ(paths(listFolder(t.path(), {}), t.path()),
            (Names{"apple.txt", "b", "B", "Banana.txt", "cote", "Cote", "côte", "cotf", "file1",
                   "file2", "file10", "Photo 2.jpg", "Photo 10.jpg"}));
}

TEST(Ordering, EqualNamesInATreeKeepTheWalkOrder) {
  TempDir t;
  for (std::string d : {"one", "two", "three", "four", "five"}) t.file(d + "/a.txt");
  // The walk meets the subfolders in the order the file system gives them.
  Names expected;
  for (const auto& e : std::filesystem::directory_iterator(t.path()))
    expected.push_back(e.path().filename().string() + "/a.txt");
  EXPECT_EQ(paths(listFolder(t.path(), {.recursive = true}), t.path()), expected);
}

TEST(Listing, NamesThatAreNotUtf8AreListedAndSorted) {
  TempDir t;
  for (const char* n : {"b\xff.txt", "a.txt", "c\xc3.txt"}) t.file(n);
  const auto files = listFolder(t.path(), {});
  EXPECT_EQ(paths(files, t.path()), (Names{"a.txt", "b\xff.txt", "c\xc3.txt"}));
  EXPECT_EQ(files[1].ext, "txt");
}

TEST(Listing, EveryRecordCarriesItsMetadata) {
  TempDir t;
  t.file("sub/tagged.txt", "12345");
  t.attr("sub/tagged.txt", "user.xdg.tags", "Orange,x,Gray");
  t.attr("sub/tagged.txt", "user.xdg.comment", "c");
  t.file("sub/plain.txt");
  const auto tree = listFolder(t.path(), {.recursive = true});
  ASSERT_EQ(tree.size(), 2u);
  EXPECT_EQ(std::tie(tree[1].name, tree[1].size, tree[1].label, tree[1].tags, tree[1].comment),
            std::tuple("tagged.txt", 5, 7, Names{"x", "Gray"}, "c"));
  EXPECT_EQ(tree[1], fileInfo(t.at("sub/tagged.txt")));
  EXPECT_EQ(tree[0], fileInfo(t.at("sub/plain.txt")));
}

}  // namespace
}  // namespace quarrytide::testing
