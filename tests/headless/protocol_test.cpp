// What quarrytide-headless adds to the bridge: lines on standard input and
// output, the disk behind statPaths, a logging file browser, settings in
// $XDG_CONFIG_HOME, and its options.
#include <gtest/gtest.h>

#include "headless.hpp"
#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;

TEST(Headless, EveryRequestLineGetsOneReplyLineAndOtherLinesAreIgnored) {
  TempDir t, home;
  t.file("f", "1234567");
  t.folder("sub");
  t.link("dangling", t.at("nowhere"));
  const json paths = {t.at("f"),  t.at("gone"), t.at("dangling"), t.at("f") + '\0' + "x",
                      t.at("f/"), t.at("sub"),  t.at("f")};
  auto run =
      runHeadless({"garbage", "", "[]", R"({"drop":[]})", R"({"drop":[1]})",
                   R"({"id":"1","cmd":"setMode"})", request(1, "statPaths", {{"paths", paths}}),
                   R"({"id":2,"cmd":"reveal","args":{"paths":["/p/one","rel two"]}})",
                   R"({"id":3,"cmd":"savePrefs","args":{"data":"kept \u00e9"}})",
                   R"({"id":4,"cmd":"chooseFolder"})"},
                  {}, {"XDG_CONFIG_HOME=" + home.path()});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "reveal: /p/one\nreveal: rel two\n");
  auto byId = run.byId();  // a save is answered when its write is done
  ASSERT_EQ(byId.size(), 4u);
  // A missing path, a dangling link, a path holding a NUL and a file taken
  // for a folder are left out.
  json described = json::array();
  for (const auto& f : byId[1]["payload"]["files"]) described.push_back(f["path"]);
  EXPECT_EQ(described, json({t.at("f"), t.at("sub"), t.at("f")}));
  // The reveal is logged, the save written, and without --choose the chooser is cancelled.
  for (int id : {2, 3, 4})
    EXPECT_EQ(byId[id], json({{"id", id}, {"ok", true}, {"payload", nullptr}}));
  // The next run finds the saved settings.
  EXPECT_EQ(
      runHeadless({R"({"id":5,"cmd":"loadPrefs"})"}, {}, {"XDG_CONFIG_HOME=" + home.path()}).lines,
      std::vector<std::string>{
          R"(window.__bridgeResolveRaw({"id":5,"ok":true,"payload":{"data":"kept é"}}))"});
}

TEST(Headless, EmptyInputExitsAtOnceAndUnknownOptionsAreRefused) {
  auto run = runHeadless({}), bad = runHeadless({}, {"--frobnicate"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.lines.empty());
  EXPECT_EQ(bad.status, 2);
  EXPECT_TRUE(bad.lines.empty());
}

}  // namespace
}  // namespace quarrytide::testing
