// Envelope decoding, dispatch and the three immediate commands.
#include <gtest/gtest.h>

#include "fakes.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;

TEST(Protocol, UndecodableEnvelopesGetNoReplyAndTheNextIsServed) {
  BridgeRig rig;
  for (const char* bad :
       {"not json", "[1,2]", "42", R"({"cmd":"setMode"})", R"({"id":"1","cmd":"setMode"})",
        R"({"id":7.5,"cmd":"setMode"})", R"({"id":1e300,"cmd":"setMode"})",
        R"({"id":9223372036854775808,"cmd":"setMode"})", R"({"id":1})", R"({"id":1,"cmd":5})",
        R"({"id":true,"cmd":"setMode"})", R"({"id":null,"cmd":"setMode"})"})
    rig.send(bad);
  EXPECT_TRUE(rig.sink.scripts.empty());
  EXPECT_EQ(rig.bridge->outstanding(), 0u);

  rig.send(R"({"id":3,"cmd":"setMode"})");
  ASSERT_EQ(rig.sink.scripts.size(), 1u);
  EXPECT_EQ(rig.sink.scripts[0], R"(window.__bridgeResolveRaw({"id":3,"ok":true,"payload":null}))");
}

TEST(Protocol, IdsAreEchoedExactly) {
  BridgeRig rig;
  for (const char* id : {"0", "-5", "9223372036854775807", "-9223372036854775808", "12.0", "1e3"}) {
    rig.send(std::string(R"({"cmd":"setMode","id":)") + id + "}");
  }
  std::vector<std::int64_t> ids;
  for (const auto& r : rig.sink.replies()) ids.push_back(r["id"].get<std::int64_t>());
  EXPECT_EQ(ids, (std::vector<std::int64_t>{0, -5, INT64_MAX, INT64_MIN, 12, 1000}));
}

TEST(Protocol, UnknownCommandsAreNamedUnchanged) {
  BridgeRig rig;
  rig.send(R"({"id":1,"cmd":"SetMode","args":{"kind":"folders"}})");
  rig.send(R"({"id":2,"cmd":""})");
  rig.send(R"({"id":3,"cmd":"r\u00e9v\"eal \ud83d\ude00"})");
  auto replies = rig.sink.replies();
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(replies[0], json({{"id", 1}, {"ok", false}, {"payload", "unknown cmd: SetMode"}}));
  EXPECT_EQ(replies[1]["payload"], "unknown cmd: ");
  EXPECT_EQ(replies[2]["payload"], "unknown cmd: r\u00e9v\"eal \U0001F600");
  EXPECT_FALSE(rig.bridge->foldersMode());
}

TEST(Protocol, SetModeSelectsFoldersOnlyForTheExactWord) {
  BridgeRig rig;
  auto modeAfter = [&](const std::string& args) {
    rig.send(R"({"id":7,"cmd":"setMode")" + args + "}");
    EXPECT_EQ(rig.lastReply(), json({{"id", 7}, {"ok", true}, {"payload", nullptr}}));
    return rig.bridge->foldersMode();
  };
  EXPECT_TRUE(modeAfter(R"(,"args":{"kind":"folders"})"));
  EXPECT_FALSE(modeAfter(""));
  EXPECT_TRUE(modeAfter(R"(,"args":{"kind":"folders"})"));
  EXPECT_FALSE(modeAfter(R"(,"args":{"kind":"Folders"})"));
  EXPECT_TRUE(modeAfter(R"(,"args":{"kind":"folders","extra":1})"));
  EXPECT_FALSE(modeAfter(R"(,"args":["kind","folders"])"));  // args not an object: empty
  EXPECT_TRUE(modeAfter(R"(,"args":{"kind":"folders"})"));
  EXPECT_FALSE(modeAfter(R"(,"args":{"kind":["folders"]})"));
}

TEST(Protocol, SavePrefsStoresOnlyStringsAndLoadPrefsReturnsThem) {
  BridgeRig rig;
  rig.send(R"({"id":1,"cmd":"loadPrefs"})");
  EXPECT_EQ(rig.lastReply()["payload"], json({{"data", nullptr}}));

  rig.send(R"({"id":2,"cmd":"savePrefs","args":{"data":"v1 \u00e9\u0000x"}})");
  EXPECT_EQ(rig.lastReply(), json({{"id", 2}, {"ok", true}, {"payload", nullptr}}));
  for (const char* notString : {R"({"data":{"a":1}})", R"({"data":5})", "{}", R"({"data":null})"})
    rig.send(std::string(R"({"id":3,"cmd":"savePrefs","args":)") + notString + "}");
  rig.send(R"({"id":4,"cmd":"loadPrefs","args":{"data":"ignored"}})");
  EXPECT_EQ(rig.lastReply()["payload"]["data"], std::string("v1 \u00e9\0x", 7));

  rig.send(R"({"id":5,"cmd":"savePrefs","args":{"data":""}})");
  rig.send(R"({"id":6,"cmd":"loadPrefs"})");
  EXPECT_EQ(rig.lastReply()["payload"], json({{"data", ""}}));
}

TEST(Protocol, AFailedSaveIsReportedAsAFailure) {
  BridgeRig rig;
  rig.settings.failWith = "could not save settings: /x/settings.json: Read-only file system";
  rig.send(R"({"id":8,"cmd":"savePrefs","args":{"data":"new"}})");
  EXPECT_EQ(rig.lastReply(), json({{"id", 8}, {"ok", false}, {"payload", *rig.settings.failWith}}));
}

TEST(Protocol, PageStringsWithLoneSurrogatesAreStillAnswered) {
  BridgeRig rig;
  // A rule that cut an emoji in half leaves a lone surrogate in the page's string.
  rig.send(R"({"id":1,"cmd":"x\ud83d"})");
  rig.send(R"({"id":2,"cmd":"\ude00y\ud83d\ude00"})");
  rig.send(R"({"id":3,"cmd":"\\ud800"})");  // an escaped backslash, not an escape
  auto replies = rig.sink.replies();
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(replies[0]["payload"], "unknown cmd: x\uFFFD");
  EXPECT_EQ(replies[1]["payload"], "unknown cmd: \uFFFDy\U0001F600");
  EXPECT_EQ(replies[2]["payload"], "unknown cmd: \\ud800");
}

TEST(Protocol, RepliesWithInvalidUtf8AreRepairedNotLost) {
  BridgeRig rig;
  rig.bridge->resolve(1, true, {{"name", std::string("bad\xff\xfe name.jpg")}});
  rig.main.run();
  ASSERT_EQ(rig.sink.replies().size(), 1u);
  EXPECT_EQ(rig.lastReply()["payload"]["name"], "bad\uFFFD\uFFFD name.jpg");

  FileRecord r;
  r.path = "/t/\xc3(";
  r.name = r.basename = "\xc3(";
  r.tags = {"ok", "\x80"};
  // A NUL is text, not an end: kept, whether or not the rest needs repair.
  r.comment = std::string("one\0two", 7);
  r.ext = std::string("\xff\0\xff", 3);
  r.created = 1500.0;
  auto replies = std::make_shared<ReplyChannel>(rig.main);
  replies->setWebView(&rig.sink);
  replies->resolveRecords(2, std::string("/t"), {r});
  rig.main.run();
  auto files = rig.lastReply()["payload"]["files"];
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0]["path"], "/t/\uFFFD(");
  EXPECT_EQ(files[0]["tags"], json({"ok", "\uFFFD"}));
  EXPECT_EQ(files[0]["comment"], std::string("one\0two", 7));
  EXPECT_EQ(files[0]["ext"], std::string("\uFFFD\0\uFFFD", 7));
  EXPECT_EQ(files[0]["created"].get<double>(), 1500.0);
  EXPECT_EQ(rig.lastReply()["payload"]["folder"], "/t");
}

}  // namespace
}  // namespace quarrytide::testing
