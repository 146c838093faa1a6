// File records and folder listings on real files.
#include "catalogue/listing.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue/file_record.hpp"
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

TEST(PagePath, PathsAreMadeAbsoluteWithoutEmptyOrDotParts) {
  EXPECT_EQ(plainPath("rel/x.txt"), std::filesystem::current_path().string() + "/rel/x.txt");
  EXPECT_EQ(plainPath("/a/./b/../c//"), "/a/b/../c");  // ".." through a link is not the parent
  EXPECT_EQ(plainPath("/"), "/");
}

TEST(FileRecord, NameSplitFollowsTheLastDotAndAMissingItemTakesDefaults) {
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
  t.folder("Photos.2024");
  const FileRecord dir = fileInfo(t.at("Photos.2024//"));
  EXPECT_EQ(std::tie(dir.path, dir.isDir, dir.basename, dir.ext),
            std::tuple(t.at("Photos.2024"), true, "Photos", "2024"));
  const FileRecord root = fileInfo("/");
  EXPECT_EQ(std::tie(root.path, root.isDir), std::tuple("/", true));
  EXPECT_EQ(fileInfo(t.at("gone.tar.gz")),
            (FileRecord{
                t.at("gone.tar.gz"), "gone.tar.gz", "gone.tar", "gz", false, 0, 0, 0, {}, 0, ""}));
}

TEST(FileRecord, CarriesSizeDatesTagsLabelAndCommentWhetherListedOrAskedFor) {
  TempDir t;
  const std::string path = t.file("sub/notes.txt", "hello");
  t.file("sub/plain.txt");
  t.attr("sub/notes.txt", "user.xdg.tags", "work,Red,Blue");
  t.attr("sub/notes.txt", "user.xdg.comment", "Grüße\n");
  const struct timespec times[2] = {{2, 250000000}, {1, 500000000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  const FileRecord r = fileInfo(path);
  EXPECT_GT(r.created, 1.6e12) << "birth time of a file made just now";
  EXPECT_EQ(r, FileRecord(path, "notes.txt", "notes", "txt", false, 5, r.created, 1500.0,
                          Names{"work", "Blue"}, 6, "Grüße\n"));
  // A listing reads each entry through its folder: the same records.
  EXPECT_EQ(listFolder(t.path(), {.recursive = true}),
            (std::vector{r, fileInfo(t.at("sub/plain.txt"))}));
  // when it was last read, only when asked for
  EXPECT_EQ(listFolder(t.path(), {.recursive = true, .accessed = true})[0].accessed, 2250.0);
}

TEST(Listing, EachModeListsItsItemsAndLinksAreNeverFollowed) {
  TempDir t;
  for (const char* f :
       {"b.txt", "a.txt", ".hidden.txt", ".secret/inside.txt", "sub/c.txt", "sub/deeper/d.txt"})
    t.file(f);
  t.folder("sub/empty");
  t.link("to-sub", t.at("sub"));
  t.link("sub/loop", t.path());
  t.attr("sub", "user.xdg.tags", "Red");
  t.attr("sub", "user.xdg.comment", "the folder's");
  auto list = [&](ListingMode mode) { return listFolder(t.path(), mode); };
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
  for (const auto& [what, mode, expected] : cases)
    EXPECT_EQ(paths(list(mode), t.path()), expected) << what;
  EXPECT_TRUE(list({.foldersOnly = true})[0].isDir);
  EXPECT_EQ(list({.recursive = true, .foldersOnly = true}), list({.foldersOnly = true}));
  EXPECT_EQ(listFolder(t.path() + "/", {.recursive = true}), list({.recursive = true}));
  // The folder itself may be named through a link.
  EXPECT_EQ(paths(listFolder(t.at("to-sub"), {}), t.at("to-sub")), (Names{"c.txt", "loop"}));
  // A link to a folder with metadata of its own is described as itself.
  const FileRecord link = list({})[2];
  EXPECT_EQ(std::tie(link.isDir, link.size, link.label, link.comment),
            std::tuple(false, std::int64_t(t.at("sub").size()), 0, ""));
  EXPECT_EQ(fileInfo(link.path), link);
  // An empty path is not the working folder; one holding a NUL is not the folder before it.
  // Each lists nothing, and says why when it is not a folder that can be read.
  for (const auto& [nothing, why] : {std::pair{t.at("sub/empty"), ""},
                                     {t.at("missing"), "notFound"},
                                     {t.at("a.txt"), "notFolder"},
                                     {t.at("a.txt/x"), "notFolder"},
                                     {std::string(), "notFound"},
                                     {t.at("sub") + '\0' + "/x", "notFound"},
                                     {t.path() + '\0', "notFound"}}) {
    for (ListingMode mode : {ListingMode{}, {.recursive = true, .foldersOnly = true}})
      EXPECT_TRUE(listFolder(nothing, mode).empty()) << nothing;
    const auto problem = folderProblem(nothing);
    EXPECT_EQ(problem ? problem->code : "", why) << nothing;
  }
  EXPECT_EQ(folderProblem(t.at("missing"))->message, "No such file or directory");
}

TEST(Listing, UnreadableSubfolderIsSkippedAndTheWalkGoesOn) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  TempDir t;
  for (const char* f : {"a/x.txt", "b/y.txt", "c/z.txt"}) t.file(f);
  ASSERT_EQ(::chmod(t.at("b").c_str(), 0), 0);
  EXPECT_EQ(paths(listFolder(t.path(), {.recursive = true}), t.path()),
            (Names{"a/x.txt", "c/z.txt"}));
  EXPECT_EQ(folderProblem(t.at("b")), (FolderProblem{"denied", "Permission denied"}));
  ::chmod(t.at("b").c_str(), 0755);
}

TEST(Listing, SortsAsAFileBrowserDoesAndEqualNamesKeepTheWalkOrder) {
  TempDir t;
  for (const char* n :
       {"Photo 10.jpg", "Photo 2.jpg", "Banana.txt", "apple.txt", "file10", "file2", "file1",
        "côte", "cote", "Cote", "cotf", "B", "b", "d\xff.txt", "e\xc3.txt"})
    t.file(n);
  EXPECT_EQ(paths(listFolder(t.path(), {}), t.path()),
            (Names{"apple.txt", "b", "B", "Banana.txt", "cote", "Cote", "côte", "cotf", "d\xff.txt",
                   "e\xc3.txt", "file1", "file2", "file10", "Photo 2.jpg", "Photo 10.jpg"}));
  TempDir tree;
  for (std::string d : {"one", "two", "three", "four", "five"}) tree.file(d + "/a.txt");
  Names walk;  // the subfolders in the order the file system gives them
  for (const auto& e : std::filesystem::directory_iterator(tree.path()))
    walk.push_back(e.path().filename().string() + "/a.txt");
  EXPECT_EQ(paths(listFolder(tree.path(), {.recursive = true}), tree.path()), walk);
}

TEST(Listing, InRunsItIsTheSameListingInRunsThatDouble) {
  // More folders than are kept open while describing (a quarter of the
  // descriptors the process may have): the rest by path.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 512);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  TempDir t;
  for (int d = 0; d < 300; ++d)
    for (const char* f : {"/a.txt", "/b.txt"}) t.file("d" + std::to_string(d) + f, "xy");
  t.attr("d299/b.txt", "user.xdg.comment", "last folder");
  for (ListingMode mode : {ListingMode{.recursive = true}, {.foldersOnly = true}}) {
    std::vector<std::size_t> lengths;
    std::vector<FileRecord> joined;
    listFolderInRuns(
        t.path(), mode,
        [&](std::vector<FileRecord>&& run) {
          lengths.push_back(run.size());
          for (auto& r : run) joined.push_back(std::move(r));
        },
        3);
    const auto whole = listFolder(t.path(), mode);
    EXPECT_EQ(joined, whole);
    ASSERT_EQ(whole.size(), mode.recursive ? 600u : 300u);
    using Lengths = std::vector<std::size_t>;
    EXPECT_EQ(lengths, (mode.recursive ? Lengths{3, 6, 12, 24, 48, 96, 192, 219}
                                       : Lengths{3, 6, 12, 24, 48, 96, 111}));
    if (!mode.recursive) continue;
    // every file described, wherever its folder came in the walk
    EXPECT_EQ(std::ranges::count(whole, 2, &FileRecord::size), 600);
    EXPECT_EQ(std::ranges::count(whole, "last folder", &FileRecord::comment), 1);
  }
  std::size_t runs = 0;
  listFolderInRuns(t.at("missing"), {}, [&](std::vector<FileRecord>&&) { ++runs; });
  EXPECT_EQ(runs, 0u);
  ::setrlimit(RLIMIT_NOFILE, &saved);
}

}  // namespace
}  // namespace quarrytide::testing
