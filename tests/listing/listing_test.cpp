#include "catalogue/listing.hpp"

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tree_builder.hpp"

namespace quarrytide {
namespace {

using ::testing::ElementsAre;
using Names = std::vector<std::string>;

Names names(const std::vector<FileRecord>& records) {
  Names out;
  for (const auto& r : records) out.push_back(r.name);
  return out;
}

Names paths(const std::vector<FileRecord>& records, const std::string& root) {
  Names out;
  for (const auto& r : records) out.push_back(r.path.substr(root.size() + 1));
  return out;
}

// A folder with files, a subfolder, hidden items and links at two levels.
class Modes : public ::testing::Test {
 protected:
  void SetUp() override {
    t.file("b.txt");
    t.file("a.txt");
    t.file(".hidden.txt");
    t.file(".secret/inside.txt");
    t.file("sub/c.txt");
    t.file("sub/deeper/d.txt");
    t.folder("sub/empty");
    t.link("to-sub", t.at("sub"));
    t.link("sub/loop", t.root());
  }
  testing::Tree t;
};

TEST_F(Modes, FilesModeListsImmediateNonFoldersIncludingLinks) {
  t.attr("sub", "user.xdg.tags", "Red");
  t.attr("sub", "user.xdg.comment", "the folder's");
  const auto files = listFolder(t.root(), ListingMode{});
  EXPECT_THAT(names(files), ElementsAre("a.txt", "b.txt", "to-sub"));
  EXPECT_EQ(files[0].path, t.at("a.txt"));
  EXPECT_FALSE(files[2].isDir) << "a link to a folder is a link";
  EXPECT_EQ(files[2].label, 0) << "a link's metadata is its own";
  EXPECT_EQ(files[2].comment, "");
}

TEST_F(Modes, FoldersModeListsImmediateFoldersWhateverRecursiveSays) {
  const auto folders = listFolder(t.root(), ListingMode{.foldersOnly = true});
  EXPECT_THAT(names(folders), ElementsAre("sub"));
  EXPECT_TRUE(folders[0].isDir);
  EXPECT_EQ(listFolder(t.root(), ListingMode{.recursive = true, .foldersOnly = true}), folders);
}

TEST_F(Modes, TreeModeListsFilesAtEveryDepthWithoutFollowingLinks) {
  const auto tree = listFolder(t.root(), ListingMode{.recursive = true});
  EXPECT_THAT(paths(tree, t.root()),
              ElementsAre("a.txt", "b.txt", "sub/c.txt", "sub/deeper/d.txt", "sub/loop", "to-sub"));
}

TEST_F(Modes, HiddenItemsAreListedOnlyWhenAsked) {
  EXPECT_THAT(names(listFolder(t.root(), ListingMode{.hidden = true})),
              ElementsAre(".hidden.txt", "a.txt", "b.txt", "to-sub"));
  EXPECT_THAT(names(listFolder(t.root(), ListingMode{.foldersOnly = true, .hidden = true})),
              ElementsAre(".secret", "sub"));
  EXPECT_THAT(paths(listFolder(t.root(), ListingMode{.recursive = true, .hidden = true}), t.root()),
              ElementsAre(".hidden.txt", "a.txt", "b.txt", "sub/c.txt", "sub/deeper/d.txt",
                          ".secret/inside.txt", "sub/loop", "to-sub"));
}

TEST_F(Modes, TrailingSlashAndRelativeFolderListTheSame) {
  const auto plain = listFolder(t.root(), ListingMode{.recursive = true});
  EXPECT_EQ(listFolder(t.root() + "/", ListingMode{.recursive = true}), plain);
  // The folder itself may be named through a link.
  EXPECT_THAT(paths(listFolder(t.at("to-sub"), ListingMode{}), t.at("to-sub")),
              ElementsAre("c.txt", "loop"));
}

TEST(Listing, NothingToListGivesEmpty) {
  testing::Tree t;
  t.folder("empty");
  t.file("plain.txt");
  t.folder("locked/inner");
  t.file("locked/inner/x.txt");
  EXPECT_TRUE(listFolder(t.at("empty"), ListingMode{.recursive = true}).empty());
  EXPECT_TRUE(listFolder(t.at("missing"), ListingMode{}).empty());
  EXPECT_TRUE(listFolder(t.at("plain.txt"), ListingMode{}).empty());
  EXPECT_TRUE(
      listFolder(t.at("plain.txt"), ListingMode{.recursive = true, .foldersOnly = true}).empty());
}

TEST(Listing, UnreadableSubfolderIsSkippedAndTheWalkGoesOn) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  testing::Tree t;
  t.file("a/x.txt");
  t.file("b/y.txt");
  t.file("c/z.txt");
  ASSERT_EQ(::chmod(t.at("b").c_str(), 0), 0);
  EXPECT_THAT(names(listFolder(t.root(), ListingMode{.recursive = true})),
              ElementsAre("x.txt", "z.txt"));
  ::chmod(t.at("b").c_str(), 0755);
}

TEST(Ordering, NumbersCaseAndAccentsInFileBrowserOrder) {
  testing::Tree t;
  for (const char* n : {"Photo 10.jpg", "Photo 2.jpg", "Banana.txt", "apple.txt", "file10", "file2",
                        "file1", "côte", "cote", "Cote", "cotf", "B", "b"}) {
    t.file(n);
  }
  EXPECT_THAT(names(listFolder(t.root(), ListingMode{})),
              ElementsAre("apple.txt", "b", "B", "Banana.txt", "cote", "Cote", "côte", "cotf",
                          "file1", "file2", "file10", "Photo 2.jpg", "Photo 10.jpg"));
}

TEST(Ordering, EqualNamesInATreeKeepTheWalkOrder) {
  testing::Tree t;
  for (const char* d : {"one", "two", "three", "four", "five"}) t.file(std::string(d) + "/a.txt");
  // The walk meets the subfolders in the order the file system gives them.
  Names expected;
  for (const auto& e : std::filesystem::directory_iterator(t.root()))
    expected.push_back(e.path().string() + "/a.txt");
  Names got;
  for (const auto& r : listFolder(t.root(), ListingMode{.recursive = true})) got.push_back(r.path);
  EXPECT_EQ(got, expected);
}

TEST(Listing, NamesThatAreNotUtf8AreListedAndSorted) {
  testing::Tree t;
  t.file("b\xff.txt");
  t.file("a.txt");
  t.file("c\xc3.txt");
  const auto files = listFolder(t.root(), ListingMode{});
  EXPECT_THAT(names(files), ElementsAre("a.txt", "b\xff.txt", "c\xc3.txt"));
  EXPECT_EQ(files[1].ext, "txt");
  EXPECT_EQ(files[1].path, t.at("b\xff.txt"));
}

TEST(Listing, EveryRecordCarriesItsMetadata) {
  testing::Tree t;
  t.file("sub/tagged.txt", "12345");
  t.attr("sub/tagged.txt", "user.xdg.tags", "Orange,x,Gray");
  t.attr("sub/tagged.txt", "user.xdg.comment", "c");
  t.file("sub/plain.txt");
  const auto tree = listFolder(t.root(), ListingMode{.recursive = true});
  ASSERT_EQ(tree.size(), 2u);
  EXPECT_EQ(tree[1].name, "tagged.txt");
  EXPECT_EQ(tree[1].size, 5);
  EXPECT_EQ(tree[1].label, 7);
  EXPECT_EQ(tree[1].tags, (Names{"x", "Gray"}));
  EXPECT_EQ(tree[1].comment, "c");
  EXPECT_EQ(tree[1], fileInfo(t.at("sub/tagged.txt")));
  EXPECT_EQ(tree[0], fileInfo(t.at("sub/plain.txt")));
}

}  // namespace
}  // namespace quarrytide
