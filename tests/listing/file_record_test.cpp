#include "catalogue/file_record.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tree_builder.hpp"

namespace quarrytide {
namespace {

using Tags = std::vector<std::string>;

TEST(FileRecord, NameSplitFollowsTheLastDot) {
  testing::Tree t;
  struct Case {
    const char* name;
    const char* basename;
    const char* ext;
  };
  for (const Case c : {Case{"archive.tar.gz", "archive.tar", "gz"}, Case{"README", "README", ""},
                       Case{".bashrc", ".bashrc", ""}, Case{"name.", "name.", ""},
                       Case{".hidden.txt", ".hidden", "txt"}, Case{"a..b", "a.", "b"}}) {
    const FileRecord r = fileInfo(t.file(c.name));
    EXPECT_EQ(r.name, c.name);
    EXPECT_EQ(r.basename, c.basename) << c.name;
    EXPECT_EQ(r.ext, c.ext) << c.name;
  }
  const FileRecord dir = fileInfo(t.folder("Photos.2024"));
  EXPECT_TRUE(dir.isDir);
  EXPECT_EQ(dir.basename, "Photos");
  EXPECT_EQ(dir.ext, "2024");
}

TEST(FileRecord, FileCarriesSizeDatesTagsLabelAndComment) {
  testing::Tree t;
  const std::string path = t.file("notes.txt", "hello");
  t.attr("notes.txt", "user.xdg.tags", "work,Red,Blue");
  t.attr("notes.txt", "user.xdg.comment", "Grüße\n");
  const struct timespec times[2] = {{1, 500000000}, {1, 500000000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);

  const FileRecord r = fileInfo(path);
  EXPECT_EQ(r.path, path);
  EXPECT_FALSE(r.isDir);
  EXPECT_EQ(r.size, 5);
  EXPECT_EQ(r.modified, 1500.0);
  EXPECT_GT(r.created, 1.6e12) << "birth time of a file made just now";
  EXPECT_EQ(r.tags, (Tags{"work", "Blue"}));
  EXPECT_EQ(r.label, 6);
  EXPECT_EQ(r.comment, "Grüße\n");
}

TEST(FileRecord, MissingItemKeepsItsPathKeysAndTakesDefaults) {
  testing::Tree t;
  const FileRecord r = fileInfo(t.at("gone.tar.gz"));
  FileRecord expected;
  expected.path = t.at("gone.tar.gz");
  expected.name = "gone.tar.gz";
  expected.basename = "gone.tar";
  expected.ext = "gz";
  EXPECT_EQ(r, expected);
}

TEST(FileRecord, LinkIsDescribedAsItself) {
  testing::Tree t;
  t.folder("target");
  t.attr("target", "user.xdg.tags", "Green");
  const FileRecord link = fileInfo(t.link("link", t.at("target")));
  EXPECT_FALSE(link.isDir);
  EXPECT_EQ(link.size, static_cast<std::int64_t>(t.at("target").size()))
      << "a link's size is its target text";
  EXPECT_EQ(link.label, 0);
  const FileRecord dangling = fileInfo(t.link("dangling", t.at("nowhere")));
  EXPECT_GT(dangling.modified, 0) << "a dangling link still exists as a link";
}

TEST(FileRecord, PathIsMadeAbsoluteWithoutTrailingSlash) {
  testing::Tree t;
  t.folder("sub/inner");
  EXPECT_EQ(fileInfo(t.at("sub/inner") + "/").path, t.at("sub/inner"));
  EXPECT_EQ(fileInfo(t.at("sub/inner") + "//").name, "inner");

  char before[4096];
  ASSERT_TRUE(::getcwd(before, sizeof before));
  ASSERT_EQ(::chdir(t.at("sub").c_str()), 0);
  const FileRecord rel = fileInfo("inner/");
  ASSERT_EQ(::chdir(before), 0);
  EXPECT_EQ(rel.path, t.at("sub/inner"));
  EXPECT_TRUE(rel.isDir);

  EXPECT_EQ(fileInfo("/").path, "/");
  EXPECT_TRUE(fileInfo("/").isDir);
}

}  // namespace
}  // namespace quarrytide
