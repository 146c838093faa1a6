// Drop classification: which drops open a folder, which list items, and what
// the page receives, with the catalogue faked.
#include "fakes.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;
using ::testing::_;

// A catalogue holding the folders /p/dir, /p/d1 and /q/d2; everything else
// is a file, but /p/gone, whose status cannot be read.
struct DropRig : BridgeRig {
  DropRig() {
    ON_CALL(catalogue, isDirectory(_))
        .WillByDefault([](const std::string& p) -> std::optional<bool> {
          if (p == "/p/gone") return std::nullopt;
          return p == "/p/dir" || p == "/p/d1" || p == "/q/d2";
        });
    ON_CALL(catalogue, fileInfo(_)).WillByDefault(recordAt);
    ON_CALL(catalogue, listFolder(_, _)).WillByDefault([](const std::string& f, ListingMode mode) {
      return std::vector<FileRecord>{recordAt(f + (mode.foldersOnly ? "/sub" : "/a.txt"))};
    });
  }
  // Drops `paths`; the drop object the page got, each record cut down to its path.
  json drop(std::vector<std::string> paths) {
    bridge->handleDrop(std::move(paths));
    EXPECT_TRUE(main.runUntilPosted(++posted));
    EXPECT_EQ(sink.scripts.size(), posted) << "one script a drop";
    json d = callArgument(sink.scripts.back(), "window.__onDrop(");
    EXPECT_TRUE(d.is_object()) << sink.scripts.back();
    for (auto& f : d["files"]) f = f["path"];
    return d;
  }
  std::size_t posted = 0;
};

TEST(Drops, OneFolderIsOpenedInEitherModeAndItemsAreFilteredByModeInDropOrder) {
  DropRig rig;
  EXPECT_CALL(rig.catalogue, listFolder(_, _)).Times(0);  // but for the folder dropped alone:
  EXPECT_CALL(rig.catalogue, listFolder("/p/dir", ListingMode{})).Times(1);
  EXPECT_CALL(rig.catalogue, listFolder("/p/dir", ListingMode{.foldersOnly = true})).Times(1);
  // {folders mode, the drop, what the page gets}. Items keep the drop order;
  // the folder is the first item's parent, whether that item is kept or not.
  const std::tuple<bool, std::vector<std::string>, const char*> cases[] = {
      {false, {"/p/dir"}, R"({"folder":"/p/dir","files":["/p/dir/a.txt"],"dropKind":"folder"})"},
      {true, {"/p/./dir/"}, R"({"folder":"/p/dir","files":["/p/dir/sub"],"dropKind":"folder"})"},
      {false, {"/p/f1"}, R"({"folder":"/p","files":["/p/f1"],"dropKind":"files"})"},
      {false, {"/p/d1", "/q/d2"}, R"({"folder":"/p","files":[],"dropKind":"files"})"},
      {false,
       {"/p/d1", "/q/f2", "/p/f1", "/q/d2"},
       R"({"folder":"/p","files":["/q/f2","/p/f1"],"dropKind":"files"})"},
      {true, {"/p/f1"}, R"({"folder":"/p","files":[],"dropKind":"files"})"},
      {true,
       {"/q/d2", "/p/f1", "/p/d1"},
       R"({"folder":"/q","files":["/q/d2","/p/d1"],"dropKind":"files"})"},
      // An item whose status cannot be read counts as a file.
      {false, {"/p/gone"}, R"({"folder":"/p","files":["/p/gone"],"dropKind":"files"})"},
      {true, {"/p/gone"}, R"({"folder":"/p","files":[],"dropKind":"files"})"},
      {false, {"/top.txt"}, R"({"folder":"/","files":["/top.txt"],"dropKind":"files"})"},
  };
  for (const auto& [foldersMode, paths, expected] : cases) {
    rig.bridge->setFoldersMode(foldersMode);
    EXPECT_EQ(rig.drop(paths), json::parse(expected)) << foldersMode << " " << paths[0];
  }
}

TEST(Drops, TwoDropsArriveInDropOrder) {
  DropRig rig;
  // The first drop is slow to classify; the second must still come after it.
  ON_CALL(rig.catalogue, isDirectory("/p/slow")).WillByDefault([](const std::string&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return std::optional<bool>(false);
  });
  rig.bridge->handleDrop({"/p/slow"});
  rig.bridge->handleDrop({"/p/dir"});
  rig.bridge->handleDrop({});  // nothing dropped: nothing expected, nothing sent
  EXPECT_EQ(rig.bridge->outstanding(), 2u);
  ASSERT_TRUE(rig.main.runUntilPosted(2));
  ASSERT_EQ(rig.sink.scripts.size(), 2u);
  EXPECT_EQ(callArgument(rig.sink.scripts[0], "window.__onDrop(")["dropKind"], "files");
  EXPECT_EQ(callArgument(rig.sink.scripts[1], "window.__onDrop(")["dropKind"], "folder");
  EXPECT_EQ(rig.bridge->outstanding(), 0u);
}

// Items handed over from outside wait for the page to say it is ready; only
// the newest set waits, and it comes as a drop marked "opened".
TEST(Drops, ItemsHandedOverWaitForThePageAndComeAsOpenedDrops) {
  DropRig rig;
  rig.bridge->openPaths({"/p/f1"});
  rig.bridge->openPaths({"/p/dir"});
  rig.bridge->openPaths({});
  EXPECT_EQ(rig.bridge->outstanding(), 0u);
  rig.bridge->receiveText(R"({"id":1,"cmd":"opened"})");
  ASSERT_TRUE(rig.main.runUntilPosted(2));
  ASSERT_EQ(rig.sink.scripts.size(), 2u);
  EXPECT_EQ(callArgument(rig.sink.scripts[0], "window.__bridgeResolveRaw("),
            json::parse(R"({"id":1,"ok":true,"payload":{"pending":1}})"));
  json d = callArgument(rig.sink.scripts[1], "window.__onDrop(");
  EXPECT_EQ(std::tuple(d["folder"], d["dropKind"], d["opened"]),
            std::tuple("/p/dir", "folder", true));
  // from now on at once; a drop on the window is not marked
  rig.bridge->openPaths({"/p/f1"});
  rig.bridge->handleDrop({"/p/f1"});
  ASSERT_TRUE(rig.main.runUntilPosted(4));
  EXPECT_EQ(callArgument(rig.sink.scripts[2], "window.__onDrop(").value("opened", false), true);
  EXPECT_FALSE(callArgument(rig.sink.scripts[3], "window.__onDrop(").contains("opened"));
}

}  // namespace
}  // namespace quarrytide::testing
