// quarrytide-headless speaks the page protocol on standard input and output.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "headless.hpp"
#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;

TEST(Headless, BadLinesAreIgnoredAndEveryAcceptedRequestGetsOneReplyLine) {
  TempDir home;
  auto run =
      runHeadless({"garbage", "", R"({"id":"1","cmd":"setMode"})", R"({"id":1,"cmd":"Nope"})",
                   R"({"drop":[]})", R"({"id":2,"cmd":"loadPrefs"})", "[]",
                   R"({"id":3,"cmd":"savePrefs","args":{"data":"cfg \u00e9"}})",
                   R"({"id":4,"cmd":"loadPrefs"})", R"({"id":5,"cmd":"x\ud800"})",
                   R"({"id":7,"cmd":"setMode","args":{"kind":"folders"}})"},
                  {}, {"XDG_CONFIG_HOME=" + home.path()});
  EXPECT_EQ(run.status, 0);
  // A save is answered when its write is done, so replies are paired by id.
  json byId = json::object();
  for (const auto& r : run.replies()) EXPECT_TRUE(byId.emplace(r["id"].dump(), r).second) << r;
  EXPECT_EQ(byId, json::parse(R"({"1":{"id":1,"ok":false,"payload":"unknown cmd: Nope"},
                                  "2":{"id":2,"ok":true,"payload":{"data":null}},
                                  "3":{"id":3,"ok":true,"payload":null},
                                  "4":{"id":4,"ok":true,"payload":{"data":"cfg \u00e9"}},
                                  "5":{"id":5,"ok":false,"payload":"unknown cmd: x\uFFFD"},
                                  "7":{"id":7,"ok":true,"payload":null}})"))
      << run.err;
  EXPECT_THAT(run.lines, ::testing::Contains(
                             R"(window.__bridgeResolveRaw({"id":7,"ok":true,"payload":null}))"));
}

TEST(Headless, SettingsPersistAcrossRunsAndAFailedSaveSaysSo) {
  TempDir home;
  std::ofstream(home.path() + "/file") << "x";  // as config home, a file: writes fail
  auto run = [&](const std::string& config, const std::string& line) {
    return runHeadless({line}, {}, {"XDG_CONFIG_HOME=" + home.path() + config}).replies();
  };
  run("", R"({"id":1,"cmd":"savePrefs","args":{"data":"kept"}})");
  EXPECT_EQ(json(run("", R"({"id":2,"cmd":"loadPrefs"})")),
            json::parse(R"([{"id":2,"ok":true,"payload":{"data":"kept"}}])"));
  auto failed = run("/file", R"({"id":3,"cmd":"savePrefs","args":{"data":"v"}})");
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0]["ok"], false);
  EXPECT_EQ(failed[0]["payload"].get<std::string>().rfind("could not save settings: ", 0), 0u);
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
