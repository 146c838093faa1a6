// quarrytide-headless speaks the page protocol on standard input and output.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "headless.hpp"
#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;

TEST(Headless, SetModeIsAnsweredWithExactlyOneLine) {
  TempDir home;
  auto run = runHeadless({R"({"id":7,"cmd":"setMode","args":{"kind":"folders"}})"}, {},
                         {"XDG_CONFIG_HOME=" + home.path()});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.lines, std::vector<std::string>{
                           R"(window.__bridgeResolveRaw({"id":7,"ok":true,"payload":null}))"});
}

TEST(Headless, BadLinesAreIgnoredAndEveryAcceptedRequestIsAnsweredInOrder) {
  TempDir home;
  auto run = runHeadless(
      {"garbage", "", R"({"id":"1","cmd":"setMode"})", R"({"id":1,"cmd":"Nope"})",
       R"({"drop":[]})", R"({"id":2,"cmd":"loadPrefs"})", "[]",
       R"({"id":3,"cmd":"savePrefs","args":{"data":"cfg \u00e9"}})", R"({"id":4,"cmd":"loadPrefs"})",
       R"({"id":5,"cmd":"x\ud800"})"},
      {}, {"XDG_CONFIG_HOME=" + home.path()});
  EXPECT_EQ(run.status, 0);
  // A save is answered when its write is done, so replies are paired by id.
  std::map<std::int64_t, json> byId;
  for (const auto& r : run.replies()) EXPECT_TRUE(byId.emplace(r["id"], r).second);
  ASSERT_EQ(byId.size(), 5u) << run.err;
  EXPECT_EQ(byId[1], json({{"id", 1}, {"ok", false}, {"payload", "unknown cmd: Nope"}}));
  EXPECT_EQ(byId[2]["payload"], json({{"data", nullptr}}));
  EXPECT_EQ(byId[3], json({{"id", 3}, {"ok", true}, {"payload", nullptr}}));
  EXPECT_EQ(byId[4]["payload"], json({{"data", "cfg \u00e9"}}));
  EXPECT_EQ(byId[5]["payload"], "unknown cmd: x\uFFFD");
}

TEST(Headless, SettingsPersistAcrossRunsAndAFailedSaveSaysSo) {
  TempDir home;
  std::vector<std::string> env{"XDG_CONFIG_HOME=" + home.path()};
  runHeadless({R"({"id":1,"cmd":"savePrefs","args":{"data":"kept"}})"}, {}, env);
  auto run = runHeadless({R"({"id":2,"cmd":"loadPrefs"})"}, {}, env);
  ASSERT_EQ(run.lines.size(), 1u);
  EXPECT_EQ(run.replies()[0]["payload"]["data"], "kept");

  std::ofstream(home.path() + "/file") << "x";  // config home is a file: writes fail
  auto failed = runHeadless({R"({"id":3,"cmd":"savePrefs","args":{"data":"v"}})"}, {},
                            {"XDG_CONFIG_HOME=" + home.path() + "/file"});
  ASSERT_EQ(failed.lines.size(), 1u);
  auto reply = failed.replies()[0];
  EXPECT_EQ(reply["ok"], false);
  EXPECT_EQ(reply["payload"].get<std::string>().rfind("could not save settings: ", 0), 0u);
}

TEST(Headless, EmptyInputExitsAtOnceAndUnknownOptionsAreRefused) {
  auto run = runHeadless({});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.lines.empty());
  auto bad = runHeadless({}, {"--frobnicate"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_TRUE(bad.lines.empty());
}

}  // namespace
}  // namespace quarrytide::testing
