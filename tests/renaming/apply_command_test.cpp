// The apply and reveal commands against a fake catalogue and file browser.
#include "fakes.hpp"
#include "transcript.hpp"

namespace quarrytide::testing {
namespace {

using ::testing::_;

TEST(ApplyCommand, RefusesOpsThatAreNotAListOfObjectsAtOnce) {
  BridgeRig rig;
  EXPECT_CALL(rig.catalogue, applyOp(_)).Times(0);
  expectTranscript(rig, R"(
    {"id":1,"cmd":"apply","args":{}} => {"id":1,"ok":false,"code":"bad-request","payload":"missing ops"}
    {"id":2,"cmd":"apply","args":{"ops":{"path":"/x"}}} => {"id":2,"ok":false,"code":"bad-request","payload":"missing ops"}
    {"id":3,"cmd":"apply","args":{"ops":[{"path":"/x"},"y"]}} => {"id":3,"ok":false,"code":"bad-request","payload":"missing ops"})",
                   Replies::atOnce);
}

TEST(ApplyCommand, DecodesEachRecordByTheArgumentRulesAndAnswersOneResultEachInOrder) {
  BridgeRig rig;
  std::vector<Operation> seen;
  // Linux names are bytes; one that is not UTF-8 must not lose the reply.
  const OpResult outcomes[] = {{false, std::nullopt, std::nullopt, "missing path"},
                               {false, "a", std::nullopt, "Invalid file name."},
                               {false, "caf\xe9", "/w/c\xff", "tags: \"\xff\" not permitted"},
                               {true, "d", "/w/d", std::nullopt}};
  ON_CALL(rig.catalogue, applyOp(_)).WillByDefault([&](const Operation& op) {
    seen.push_back(op);
    return outcomes[seen.size() - 1];
  });
  // A value of another type is absent (only JSON Booleans are flags, a list
  // with a non-string is no list, 2.5 is no label); unflagged values are unread;
  // a path's bytes in base64 name the item in place of its text.
  rig.bridge->receiveText(R"({"id":9,"cmd":"apply","args":{"ops":[
    {"path":"/a","newName":"b","setTags":true,"tags":["x","Red"],"setLabel":true,"label":3.0,
     "setComment":true,"comment":"c"},
    {"path":5,"newName":7,"setTags":"yes","tags":["x"],"setLabel":1,"label":2},
    {"path":"/c","setTags":true,"tags":["x",1],"setLabel":true,"label":2.5,"setComment":true},
    {"path":"/x","rawPath":"L2Q=","tags":["kept?"],"label":4,"comment":"ignored"}]}})");
  ASSERT_TRUE(rig.main.runUntilPosted(1));
  EXPECT_EQ(rig.sink.replies().back(),
            nlohmann::json::parse(R"({"id":9,"ok":true,"payload":{"results":[
    {"ok":false,"error":"missing path"},
    {"ok":false,"path":"a","error":"Invalid file name."},
    {"ok":false,"path":"caf\uFFFD","rawPath":"Y2Fm6Q==","newPath":"/w/c\uFFFD","rawNewPath":"L3cvY/8=",
     "error":"tags: \"\uFFFD\" not permitted"},
    {"ok":true,"path":"d","newPath":"/w/d"}]}})"));
  expectTranscript(rig, R"(
    {"id":10,"cmd":"apply","args":{"ops":[]}} => {"id":10,"ok":true,"payload":{"results":[]}})");
  auto fields = [](const Operation& o) {
    return std::tuple(o.path, o.newName, o.setTags, o.tags, o.setLabel, o.label, o.setComment,
                      o.comment);
  };
  const Operation expected[] = {{"/a", "b", true, {"x", "Red"}, true, 3, true, "c"},
                                {},
                                {"/c", std::nullopt, true, {}, true, 0, true, ""},
                                {"/d"}};
  ASSERT_EQ(seen.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(fields(seen[i]), fields(expected[i])) << "record " << i;
}

TEST(RevealCommand, HandsTheItemsOverAfterTheHandlerReturnsThenAnswers) {
  BridgeRig rig;
  rig.bridge->receiveText(R"({"id":3,"cmd":"reveal","args":{"paths":["/b","rel/a","/b"]}})");
  EXPECT_TRUE(rig.browser.revealed.empty());
  EXPECT_TRUE(rig.sink.scripts.empty());
  rig.main.run();
  EXPECT_EQ(rig.sink.replies(), std::vector{R"({"id":3,"ok":true,"payload":null})"_json});
  // Arguments that are no list (a list with a non-string: the statPaths test),
  // and paths that name no item, reveal nothing, and say so as a success.
  expectTranscript(rig, R"(
    {"id":4,"cmd":"reveal","args":{}} => {"id":4,"ok":true,"payload":null}
    {"id":4,"cmd":"reveal","args":{"paths":"/a"}} => {"id":4,"ok":true,"payload":null}
    {"id":4,"cmd":"reveal","args":{"paths":["","/a\u0000b"]}} => {"id":4,"ok":true,"payload":null})",
                   Replies::atOnce);
  using Paths = std::vector<std::string>;
  EXPECT_EQ(rig.browser.revealed, (std::vector<Paths>{{"/b", "rel/a", "/b"}, {}, {}, {}}));
  // Nothing could show them: said, not answered as a success.
  rig.browser.failWith = "Failed to find default application for content type ‘inode/directory’";
  expectTranscript(rig, R"(
    {"id":5,"cmd":"reveal","args":{"paths":["/a"]}} => {"id":5,"ok":false,"code":"io","payload":
      "No file manager could show the items: Failed to find default application for content type ‘inode/directory’"})",
                   Replies::atOnce);
}

}  // namespace
}  // namespace quarrytide::testing
