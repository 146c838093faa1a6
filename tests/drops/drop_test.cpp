// Drop classification: which drops open a folder, which list items, and what
// the page receives, with the catalogue faked.
#include <gtest/gtest.h>

#include <set>

#include <glib.h>

#include "drop_kind.hpp"
#include "fakes.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;
using ::testing::_;
using ::testing::Return;

// A catalogue holding the given directories; everything else is a file,
// except paths in `unknown`, whose status cannot be read.
struct DropRig : BridgeRig {
  explicit DropRig(std::set<std::string> dirs, std::set<std::string> unknown = {}) {
    ON_CALL(catalogue, isDirectory(_))
        .WillByDefault([=](const std::string& p) -> std::optional<bool> {
          if (unknown.count(p)) return std::nullopt;
          return dirs.count(p) > 0;
        });
    ON_CALL(catalogue, fileInfo(_)).WillByDefault(recordAt);
    ON_CALL(catalogue, listFolder(_, _)).WillByDefault([](const std::string& f, ListingMode mode) {
      return std::vector<FileRecord>{recordAt(f + (mode.foldersOnly ? "/sub" : "/a.txt"))};
    });
  }
  // Drops `paths` and returns the drop object the page got.
  json drop(std::vector<std::string> paths) {
    std::size_t before = sink.scripts.size();
    bridge->handleDrop(std::move(paths));
    EXPECT_TRUE(main.runUntilPosted(++posted));
    EXPECT_EQ(sink.scripts.size(), before + 1);
    const std::string& s = sink.scripts.back();
    const std::string prefix = "window.__onDrop(";
    EXPECT_EQ(s.rfind(prefix, 0), 0u);
    return json::parse(s.substr(prefix.size(), s.size() - prefix.size() - 1));
  }
  std::vector<std::string> paths(const json& drop) {
    std::vector<std::string> out;
    for (const auto& f : drop["files"]) out.push_back(f["path"]);
    return out;
  }
  std::size_t posted = 0;
};

TEST(Drops, OneFolderIsOpenedInEitherMode) {
  DropRig rig({"/p/dir"});
  EXPECT_CALL(rig.catalogue, listFolder("/p/dir", ListingMode{})).Times(1);
  EXPECT_CALL(rig.catalogue, listFolder("/p/dir", ListingMode{.foldersOnly = true})).Times(1);

  json files = rig.drop({"/p/dir"});
  EXPECT_EQ(files.size(), 3u);
  EXPECT_EQ(files["folder"], "/p/dir");
  EXPECT_EQ(files["dropKind"], "folder");
  EXPECT_EQ(rig.paths(files), std::vector<std::string>{"/p/dir/a.txt"});
  EXPECT_EQ(files["files"][0]["name"], "a.txt");
  rig.bridge->setFoldersMode(true);
  json folders = rig.drop({"/p/dir/"});  // a trailing "/" is not part of the path
  EXPECT_EQ(folders["folder"], "/p/dir");
  EXPECT_EQ(folders["dropKind"], "folder");
  EXPECT_EQ(rig.paths(folders), std::vector<std::string>{"/p/dir/sub"});
}

TEST(Drops, ItemsAreFilteredByModeInDropOrder) {
  DropRig rig({"/p/d1", "/q/d2"});
  EXPECT_CALL(rig.catalogue, listFolder(_, _)).Times(0);

  json oneFile = rig.drop({"/p/f1"});
  EXPECT_EQ(oneFile["dropKind"], "files");
  EXPECT_EQ(oneFile["folder"], "/p");
  EXPECT_EQ(rig.paths(oneFile), std::vector<std::string>{"/p/f1"});

  json twoFolders = rig.drop({"/p/d1", "/q/d2"});
  EXPECT_EQ(twoFolders["dropKind"], "files");
  EXPECT_TRUE(twoFolders["files"].empty());

  // Mixed, from two folders, first item not selected: the folder is still its parent.
  json mixed = rig.drop({"/p/d1", "/q/f2", "/p/f1", "/q/d2"});
  EXPECT_EQ(mixed["folder"], "/p");
  EXPECT_EQ(rig.paths(mixed), (std::vector<std::string>{"/q/f2", "/p/f1"}));

  rig.bridge->setFoldersMode(true);
  json fileInFoldersMode = rig.drop({"/p/f1"});
  EXPECT_EQ(fileInFoldersMode,
            json({{"folder", "/p"}, {"files", json::array()}, {"dropKind", "files"}}));
  EXPECT_EQ(rig.paths(rig.drop({"/q/d2", "/p/f1", "/p/d1"})),
            (std::vector<std::string>{"/q/d2", "/p/d1"}));
}

TEST(Drops, UnreadableStatusCountsAsAFile) {
  DropRig rig({}, {"/p/gone"});
  json alone = rig.drop({"/p/gone"});
  EXPECT_EQ(alone["dropKind"], "files");
  EXPECT_EQ(rig.paths(alone), std::vector<std::string>{"/p/gone"});
  rig.bridge->setFoldersMode(true);
  EXPECT_TRUE(rig.drop({"/p/gone"})["files"].empty());
}

TEST(Drops, PathsAreMadePlainBeforeTheCatalogueSeesThem) {
  char* cwd = g_get_current_dir();
  std::string here(cwd);
  g_free(cwd);
  EXPECT_EQ(plainPath("rel/x.txt"), here + "/rel/x.txt");
  EXPECT_EQ(plainPath("/a/./b/../c//"), "/a/c");
  EXPECT_EQ(plainPath("/"), "/");

  DropRig rig({});
  json atRoot = rig.drop({"/top.txt"});
  EXPECT_EQ(atRoot["folder"], "/");
  EXPECT_EQ(rig.paths(atRoot), std::vector<std::string>{"/top.txt"});
}

TEST(Drops, TwoDropsArriveInDropOrder) {
  DropRig rig({"/p/dir"});
  // The first drop is slow to classify; the second must still come after it.
  EXPECT_CALL(rig.catalogue, isDirectory(_)).Times(::testing::AnyNumber());
  EXPECT_CALL(rig.catalogue, isDirectory("/p/slow")).WillOnce([](const std::string&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return std::optional<bool>(false);
  });
  rig.bridge->handleDrop({"/p/slow"});
  rig.bridge->handleDrop({"/p/dir"});
  rig.bridge->handleDrop({});  // nothing dropped: nothing expected, nothing sent
  EXPECT_EQ(rig.bridge->outstanding(), 2u);
  ASSERT_TRUE(rig.main.runUntilPosted(2));
  ASSERT_EQ(rig.sink.scripts.size(), 2u);
  EXPECT_NE(rig.sink.scripts[0].find("\"dropKind\":\"files\""), std::string::npos);
  EXPECT_NE(rig.sink.scripts[1].find("\"dropKind\":\"folder\""), std::string::npos);
  EXPECT_EQ(rig.bridge->outstanding(), 0u);
}

}  // namespace
}  // namespace quarrytide::testing
