// The apply and reveal commands against a fake catalogue and file browser.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;
using ::testing::_;
using ::testing::Invoke;

TEST(ApplyCommand, RefusesOpsThatAreNotAListOfObjectsAtOnce) {
  BridgeRig rig;
  EXPECT_CALL(rig.catalogue, applyOp(_)).Times(0);
  int id = 0;
  for (const char* args : {R"({})", R"({"ops":{"path":"/x"}})", R"({"ops":[{"path":"/x"},"y"]})",
                           R"({"ops":null})", R"({"ops":"[]"})"}) {
    rig.send(R"({"id":)" + std::to_string(++id) + R"(,"cmd":"apply","args":)" + args + "}");
    EXPECT_EQ(rig.lastReply(), json({{"id", id}, {"ok", false}, {"payload", "missing ops"}}))
        << args;
  }
}

TEST(ApplyCommand, DecodesEachRecordByTheArgumentRules) {
  BridgeRig rig;
  std::vector<Operation> seen;
  ON_CALL(rig.catalogue, applyOp(_)).WillByDefault(Invoke([&](const Operation& op) {
    seen.push_back(op);
    return OpResult{true, op.path, op.path, std::nullopt};
  }));
  rig.bridge->receiveText(R"({"id":1,"cmd":"apply","args":{"ops":[
    {"path":"/a","newName":"b","setTags":true,"tags":["x","Red"],"setLabel":true,"label":3.0,
     "setComment":true,"comment":"c"},
    {"path":5,"newName":7,"setTags":"yes","tags":["x"],"setLabel":1,"label":2},
    {"path":"/c","setTags":true,"tags":["x",1],"setLabel":true,"label":2.5,"setComment":true},
    {"path":"/d","tags":["kept?"],"label":4,"comment":"ignored"}]}})");
  ASSERT_TRUE(rig.main.runUntilPosted(1));
  ASSERT_EQ(seen.size(), 4u);

  EXPECT_EQ(seen[0].path, "/a");
  EXPECT_EQ(seen[0].newName, "b");
  EXPECT_TRUE(seen[0].setTags && seen[0].setLabel && seen[0].setComment);
  EXPECT_EQ(seen[0].tags, (std::vector<std::string>{"x", "Red"}));
  EXPECT_EQ(seen[0].label, 3);
  EXPECT_EQ(seen[0].comment, "c");

  EXPECT_EQ(seen[1].path, std::nullopt);
  EXPECT_EQ(seen[1].newName, std::nullopt);
  EXPECT_FALSE(seen[1].setTags || seen[1].setLabel);  // only JSON Booleans count

  EXPECT_TRUE(seen[2].setTags && seen[2].setLabel && seen[2].setComment);
  EXPECT_TRUE(seen[2].tags.empty());  // a list with a non-string is absent
  EXPECT_EQ(seen[2].label, 0);        // not an integral number
  EXPECT_EQ(seen[2].comment, "");

  EXPECT_TRUE(seen[3].tags.empty());
  EXPECT_EQ(seen[3].label, 0);
  EXPECT_EQ(seen[3].comment, "");
}

TEST(ApplyCommand, AnswersOneRecordPerOperationInOrderWithExactlyTheShapesKeys) {
  BridgeRig rig;
  const char* comment =
      "Could not set comment (allow controlling Finder in System Settings \u25B8 Privacy \u25B8 "
      "Automation).";
  std::vector<OpResult> outcomes = {
      {false, std::nullopt, std::nullopt, "missing path"},
      {false, "a", std::nullopt, "Invalid file name."},
      {false, "b", "/w/b2", "tags: Operation not permitted"},
      {false, "c", "/w/c", comment},
      {true, "d", "/w/d", std::nullopt},
  };
  std::size_t next = 0;
  ON_CALL(rig.catalogue, applyOp(_)).WillByDefault(Invoke([&](const Operation&) {
    return outcomes[next++];
  }));
  rig.bridge->receiveText(R"({"id":9,"cmd":"apply","args":{"ops":[{},{},{},{},{}]}})");
  ASSERT_TRUE(rig.main.runUntilPosted(1));
  EXPECT_EQ(rig.lastReply(),
            json({{"id", 9},
                  {"ok", true},
                  {"payload",
                   {{"results",
                     {{{"ok", false}, {"error", "missing path"}},
                      {{"ok", false}, {"path", "a"}, {"error", "Invalid file name."}},
                      {{"ok", false},
                       {"path", "b"},
                       {"newPath", "/w/b2"},
                       {"error", "tags: Operation not permitted"}},
                      {{"ok", false}, {"path", "c"}, {"newPath", "/w/c"}, {"error", comment}},
                      {{"ok", true}, {"path", "d"}, {"newPath", "/w/d"}}}}}}}));

  rig.bridge->receiveText(R"({"id":10,"cmd":"apply","args":{"ops":[]}})");
  ASSERT_TRUE(rig.main.runUntilPosted(2));
  EXPECT_EQ(rig.lastReply()["payload"], json({{"results", json::array()}}));

  // Linux names are bytes; one that is not UTF-8 must not lose the reply.
  outcomes = {{false, "caf\xe9", std::nullopt, "A file named \"\xff\" already exists."}};
  next = 0;
  rig.bridge->receiveText(R"({"id":11,"cmd":"apply","args":{"ops":[{}]}})");
  ASSERT_TRUE(rig.main.runUntilPosted(3));
  EXPECT_EQ(rig.lastReply()["payload"]["results"][0],
            json({{"ok", false},
                  {"path", "caf\uFFFD"},
                  {"error", "A file named \"\uFFFD\" already exists."}}));
}

TEST(RevealCommand, HandsThePathsOverAfterTheHandlerReturnsThenAnswers) {
  BridgeRig rig;
  rig.bridge->receiveText(R"({"id":3,"cmd":"reveal","args":{"paths":["/b","rel/a","/b"]}})");
  EXPECT_TRUE(rig.browser.revealed.empty());
  EXPECT_TRUE(rig.sink.scripts.empty());
  rig.main.run();
  ASSERT_EQ(rig.browser.revealed.size(), 1u);
  EXPECT_EQ(rig.browser.revealed[0], (std::vector<std::string>{"/b", "rel/a", "/b"}));
  EXPECT_EQ(rig.lastReply(), json({{"id", 3}, {"ok", true}, {"payload", nullptr}}));

  for (const char* args : {R"({})", R"({"paths":["/a",2]})", R"({"paths":"/a"})"}) {
    rig.send(std::string(R"({"id":4,"cmd":"reveal","args":)") + args + "}");
    EXPECT_EQ(rig.browser.revealed.back(), std::vector<std::string>{}) << args;
    EXPECT_EQ(rig.lastReply(), json({{"id", 4}, {"ok", true}, {"payload", nullptr}})) << args;
  }
  // Nothing could show them: said, not answered as a success.
  rig.browser.failWith = "Failed to find default application for content type ‘inode/directory’";
  rig.send(R"({"id":5,"cmd":"reveal","args":{"paths":["/a"]}})");
  EXPECT_EQ(rig.lastReply(),
            json({{"id", 5},
                  {"ok", false},
                  {"payload",
                   "No file manager could show the items: Failed to find default application for "
                   "content type ‘inode/directory’"}}));
}

}  // namespace
}  // namespace quarrytide::testing
