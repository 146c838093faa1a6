// Envelope decoding, dispatch and the three immediate commands.
#include <gtest/gtest.h>

#include "fakes.hpp"
#include "transcript.hpp"

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
  EXPECT_EQ(
      rig.sink.scripts,
      std::vector<std::string>{R"(window.__bridgeResolveRaw({"id":3,"ok":true,"payload":null}))"});
}

TEST(Protocol, IdsAreEchoedExactly) {
  BridgeRig rig;
  for (const char* id : {"0", "-5", "9223372036854775807", "-9223372036854775808", "12.0", "1e3"})
    rig.send(std::string(R"({"cmd":"setMode","id":)") + id + "}");
  EXPECT_EQ(rig.sink.ids(), (std::vector<std::int64_t>{0, -5, INT64_MAX, INT64_MIN, 12, 1000}));
}

TEST(Protocol, UnknownCommandsAreNamedAsSentWithLoneSurrogatesRepaired) {
  BridgeRig rig;
  // A rule that cut an emoji in half leaves a lone surrogate in the page's
  // string. "\\ud800" is an escaped backslash, not an escape.
  expectTranscript(rig, R"(
    {"id":1,"cmd":"SetMode","args":{"kind":"folders"}} => {"id":1,"ok":false,
      "payload":"unknown cmd: SetMode"}
    {"id":2,"cmd":""} => {"id":2,"ok":false,"payload":"unknown cmd: "}
    {"id":3,"cmd":"r\u00e9v\"eal \ud83d\ude00"} => {"id":3,"ok":false,
      "payload":"unknown cmd: r\u00e9v\"eal \ud83d\ude00"}
    {"id":4,"cmd":"x\ud83d"} => {"id":4,"ok":false,"payload":"unknown cmd: x\uFFFD"}
    {"id":5,"cmd":"\ude00y\ud83d\ude00"} => {"id":5,"ok":false,
      "payload":"unknown cmd: \uFFFDy\ud83d\ude00"}
    {"id":6,"cmd":"\\ud800"} => {"id":6,"ok":false,"payload":"unknown cmd: \\ud800"})");
  EXPECT_FALSE(rig.bridge->foldersMode());
}

TEST(Protocol, SetModeSelectsFoldersOnlyForTheExactWord) {
  BridgeRig rig;
  auto modeAfter = [&](const std::string& args) {
    SCOPED_TRACE(args);
    expectTranscript(
        rig, R"({"id":7,"cmd":"setMode")" + args + R"(} => {"id":7,"ok":true,"payload":null})");
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
  expectTranscript(rig, R"(
    {"id":1,"cmd":"loadPrefs"} => {"id":1,"ok":true,"payload":{"data":null}}
    {"id":2,"cmd":"savePrefs","args":{"data":"v1 \u00e9\u0000x"}} => {"id":2,"ok":true,
      "payload":null})");
  for (const char* notString : {R"({"data":{"a":1}})", R"({"data":5})", "{}", R"({"data":null})"})
    rig.send(std::string(R"({"id":3,"cmd":"savePrefs","args":)") + notString + "}");
  expectTranscript(rig, R"(
    {"id":4,"cmd":"loadPrefs","args":{"data":"ignored"}} => {"id":4,"ok":true,
      "payload":{"data":"v1 \u00e9\u0000x"}}
    {"id":5,"cmd":"savePrefs","args":{"data":""}} => {"id":5,"ok":true,"payload":null}
    {"id":6,"cmd":"loadPrefs"} => {"id":6,"ok":true,"payload":{"data":""}})");
}

TEST(Protocol, AFailedSaveIsReportedAsAFailure) {
  BridgeRig rig;
  rig.settings.failWith = "could not save settings: /x/settings.json: Read-only file system";
  rig.send(R"({"id":8,"cmd":"savePrefs","args":{"data":"new"}})");
  EXPECT_EQ(rig.lastReply(), json({{"id", 8}, {"ok", false}, {"payload", *rig.settings.failWith}}));
}

TEST(Protocol, RepliesWithInvalidUtf8AreRepairedNotLost) {
  BridgeRig rig;
  rig.bridge->resolve(1, true, {{"name", std::string("bad\xff\xfe name.jpg")}});
  FileRecord r = recordAt("/t/\xc3(");
  r.tags = {"ok", "\x80"};
  // A NUL is text, not an end: kept, whether or not the rest needs repair.
  r.comment = std::string("one\0two", 7);
  r.ext = std::string("\xff\0\xff", 3);
  r.created = 1500.0;
  auto channel = std::make_shared<ReplyChannel>(rig.main);
  channel->setWebView(&rig.sink);
  channel->resolveRecords(2, std::string("/t"), {r});
  rig.main.run();
  auto replies = rig.sink.replies();
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0]["payload"]["name"], "bad\uFFFD\uFFFD name.jpg");
  EXPECT_EQ(replies[1]["payload"]["folder"], "/t");
  auto files = replies[1]["payload"]["files"];
  ASSERT_EQ(files.size(), 1u);
  json want = json::parse(R"({"path":"/t/\uFFFD(","tags":["ok","\uFFFD"],
      "comment":"one\u0000two","ext":"\uFFFD\u0000\uFFFD","created":1500.0})");
  for (const auto& [key, value] : want.items()) EXPECT_EQ(files[0][key], value) << key;
}

}  // namespace
}  // namespace quarrytide::testing
