#include "catalogue/file_record.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

TEST(FileRecord, NameSplitFollowsTheLastDot) {
  TempDir t;
  for (auto [name, basename, ext] : {std::tuple{"archive.tar.gz", "archive.tar", "gz"},
                                     {"README", "README", ""},
                                     {".bashrc", ".bashrc", ""},
                                     {"name.", "name.", ""},
                                     {".hidden.txt", ".hidden", "txt"},
                                     {"a..b", "a.", "b"}}) {
    const FileRecord r = fileInfo(t.file(name));
    EXPECT_EQ(std::tie(r.name, r.basename, r.ext), std::tuple(name, basename, ext)) << name;
  }
  const FileRecord dir = fileInfo(t.folder("Photos.2024"));
  EXPECT_EQ(std::tie(dir.isDir, dir.basename, dir.ext), std::tuple(true, "Photos", "2024"));
}

TEST(FileRecord, FileCarriesSizeDatesTagsLabelAndComment) {
  TempDir t;
  const std::string path = t.file("notes.txt", "hello");
  t.attr("notes.txt", "user.xdg.tags", "work,Red,Blue");
  t.attr("notes.txt", "user.xdg.comment", "Grüße\n");
  const struct timespec times[2] = {{1, 500000000}, {1, 500000000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  const FileRecord r = fileInfo(path);
  EXPECT_GT(r.created, 1.6e12) << "birth time of a file made just now";
  EXPECT_EQ(r, (FileRecord{path,
                           "notes.txt",
                           "notes",
                           "txt",
                           false,
                           5,
                           r.created,
                           1500.0,
                           {"work", "Blue"},
                           6,
                           "Grüße\n"}));
}

TEST(FileRecord, MissingItemKeepsItsPathKeysAndTakesDefaults) {
  TempDir t;
  EXPECT_EQ(fileInfo(t.at("gone.tar.gz")),
            (FileRecord{
                t.at("gone.tar.gz"), "gone.tar.gz", "gone.tar", "gz", false, 0, 0, 0, {}, 0, ""}));
}

TEST(FileRecord, LinkIsDescribedAsItself) {
  TempDir t;
  t.folder("target");
  t.attr("target", "user.xdg.tags", "Green");
  const FileRecord link = fileInfo(t.link("link", t.at("target")));
  // Not a folder, the size of its target text, no label.
  EXPECT_EQ(std::tie(link.isDir, link.size, link.label),
            std::tuple(false, std::int64_t(t.at("target").size()), 0));
  EXPECT_GT(fileInfo(t.link("dangling", t.at("nowhere"))).modified, 0)
      << "a dangling link still exists as a link";
}

TEST(FileRecord, PathIsMadeAbsoluteWithoutTrailingSlash) {
  TempDir t;
  t.folder("sub/inner");
  EXPECT_EQ(fileInfo(t.at("sub/inner/")).path, t.at("sub/inner"));
  EXPECT_EQ(fileInfo(t.at("sub/inner//")).name, "inner");
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(t.at("sub"));
  const FileRecord rel = fileInfo("inner/");
  std::filesystem::current_path(cwd);
  EXPECT_EQ(std::tie(rel.path, rel.isDir), std::tuple(t.at("sub/inner"), true));
  EXPECT_EQ(fileInfo("/").path, "/");
  EXPECT_TRUE(fileInfo("/").isDir);
}

}  // namespace
}  // namespace quarrytide::testing
