// The listing commands' arguments, replies and order, against a fake catalogue.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;
using ::testing::_;
using ::testing::Return;

json recordJson(const std::string& path) {
  const std::string name = path.substr(path.rfind('/') + 1);
  return {{"path", path},          {"name", name}, {"basename", name}, {"ext", ""},
          {"isDir", false},        {"size", 0},    {"created", 0},     {"modified", 0},
          {"tags", json::array()}, {"label", 0},   {"comment", ""}};
}

TEST(ListFolderCommand, ArgumentErrorsAreAnsweredAtOnce) {
  BridgeRig rig;
  EXPECT_CALL(rig.catalogue, listFolder).Times(0);
  rig.send(R"({"id":1,"cmd":"listFolder"})");
  rig.send(R"({"id":2,"cmd":"listFolder","args":{"folder":5}})");
  rig.send(R"({"id":3,"cmd":"listFolder","args":{"folder":null,"recursive":true}})");
  EXPECT_EQ(rig.sink.replies(), (std::vector<json>{
                                    {{"id", 1}, {"ok", false}, {"payload", "missing folder"}},
                                    {{"id", 2}, {"ok", false}, {"payload", "missing folder"}},
                                    {{"id", 3}, {"ok", false}, {"payload", "missing folder"}},
                                }));
}

TEST(ListFolderCommand, FlagsFollowTheArgumentRulesAndTheFolderIsEchoed) {
  BridgeRig rig;
  ::testing::InSequence order;
  EXPECT_CALL(rig.catalogue, listFolder("/tmp/x/", ListingMode{}))
      .WillOnce(Return(std::vector{recordAt("/tmp/x/a")}));
  EXPECT_CALL(rig.catalogue, listFolder("/tmp/x", ListingMode{}))
      .WillOnce(Return(std::vector<FileRecord>{}));
  EXPECT_CALL(rig.catalogue, listFolder("/tmp/x", ListingMode{.recursive = true}))
      .WillOnce(Return(std::vector<FileRecord>{}));
  EXPECT_CALL(rig.catalogue,
              listFolder("/tmp/x", ListingMode{.recursive = true, .foldersOnly = true}))
      .WillOnce(Return(std::vector<FileRecord>{}));
  EXPECT_CALL(rig.catalogue, listFolder("/tmp/x", ListingMode{.hidden = true}))
      .WillOnce(Return(std::vector<FileRecord>{}));
  EXPECT_CALL(rig.catalogue, listFolder("/tmp/x", ListingMode{}))
      .WillOnce(Return(std::vector<FileRecord>{}));
  rig.bridge->receiveText(R"({"id":1,"cmd":"listFolder","args":{"folder":"/tmp/x/"}})");
  rig.bridge->receiveText(
      R"({"id":2,"cmd":"listFolder","args":{"folder":"/tmp/x","recursive":"yes","kind":"Folders"}})");
  rig.bridge->receiveText(
      R"({"id":3,"cmd":"listFolder","args":{"folder":"/tmp/x","recursive":true,"kind":5}})");
  rig.bridge->receiveText(
      R"({"id":4,"cmd":"listFolder","args":{"folder":"/tmp/x","recursive":true,"kind":"folders"}})");
  rig.bridge->receiveText(
      R"({"id":5,"cmd":"listFolder","args":{"folder":"/tmp/x","hidden":true}})");
  rig.bridge->receiveText(R"({"id":6,"cmd":"listFolder","args":{"folder":"/tmp/x","hidden":1}})");
  ASSERT_TRUE(rig.main.runUntilPosted(6));
  const auto replies = rig.sink.replies();
  ASSERT_EQ(replies.size(), 6u);
  EXPECT_EQ(replies[0],
            json({{"id", 1},
                  {"ok", true},
                  {"payload", {{"folder", "/tmp/x/"}, {"files", {recordJson("/tmp/x/a")}}}}}));
  for (int i = 1; i < 6; ++i) {
    EXPECT_EQ(replies[i]["id"], i + 1) << "answered in the order sent";
    EXPECT_EQ(replies[i]["payload"], json({{"folder", "/tmp/x"}, {"files", json::array()}}));
  }
}

TEST(StatPathsCommand, DescribesExistingPathsInOrderAndMalformedListsAsEmpty) {
  BridgeRig rig;
  ON_CALL(rig.catalogue, describe(_))
      .WillByDefault([](const std::string& p) -> std::optional<FileRecord> {
        if (p == "/b") return std::nullopt;
        return recordAt(p);
      });
  EXPECT_CALL(rig.catalogue, describe(_)).Times(4);
  rig.bridge->receiveText(R"({"id":1,"cmd":"statPaths","args":{"paths":["/a","/b","/c","/a"]}})");
  rig.bridge->receiveText(R"({"id":2,"cmd":"statPaths","args":{"paths":["/a",3]}})");
  rig.bridge->receiveText(R"({"id":3,"cmd":"statPaths"})");
  ASSERT_TRUE(rig.main.runUntilPosted(3));
  const auto replies = rig.sink.replies();
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(replies[0]["payload"],
            json({{"files", {recordJson("/a"), recordJson("/c"), recordJson("/a")}}}));
  EXPECT_EQ(replies[1], json({{"id", 2}, {"ok", true}, {"payload", {{"files", json::array()}}}}));
  EXPECT_EQ(replies[2], json({{"id", 3}, {"ok", true}, {"payload", {{"files", json::array()}}}}));
}

TEST(ChooseFolderCommand, CancelAnswersNullAndAChoiceIsListedWithTheKeptFlags) {
  BridgeRig rig;
  rig.send(R"({"id":1,"cmd":"chooseFolder","args":{"recursive":true}})");
  rig.send(R"({"id":2,"cmd":"chooseFolder","args":{"recursive":true,"kind":"folders"}})");
  rig.send(R"({"id":3,"cmd":"chooseFolder"})");
  ASSERT_EQ(rig.chooser.pending.size(), 3u);
  EXPECT_TRUE(rig.sink.replies().empty()) << "nothing is answered while the chooser is open";

  EXPECT_CALL(rig.catalogue, listFolder("/picked", ListingMode{.recursive = true}))
      .WillOnce(Return(std::vector{recordAt("/picked/f")}));
  EXPECT_CALL(rig.catalogue,
              listFolder("/other", ListingMode{.recursive = true, .foldersOnly = true}))
      .WillOnce(Return(std::vector<FileRecord>{}));
  rig.chooser.pending[2](std::nullopt);
  rig.main.run();
  ASSERT_EQ(rig.sink.replies().size(), 1u);
  EXPECT_EQ(rig.lastReply(), json({{"id", 3}, {"ok", true}, {"payload", nullptr}}));

  rig.chooser.pending[0]("/picked");
  rig.chooser.pending[1]("/other");
  ASSERT_TRUE(rig.main.runUntilPosted(3));
  const auto replies = rig.sink.replies();
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(replies[1],
            json({{"id", 1},
                  {"ok", true},
                  {"payload", {{"folder", "/picked"}, {"files", {recordJson("/picked/f")}}}}}));
  EXPECT_EQ(replies[2]["payload"], json({{"folder", "/other"}, {"files", json::array()}}));
  EXPECT_EQ(rig.bridge->outstanding(), 0u);
}

TEST(ChooseFolderCommand, TheChooserStartsWhereThePageSaysAndHiddenItemsAreListedWhenAsked) {
  BridgeRig rig;
  rig.send(R"({"id":1,"cmd":"chooseFolder","args":{"start":"/home/ana/Photos","hidden":true}})");
  rig.send(R"({"id":2,"cmd":"chooseFolder","args":{"start":5}})");
  rig.send(R"({"id":3,"cmd":"chooseFolder","args":{"start":"/home\u0000/etc"}})");
  rig.send(R"({"id":4,"cmd":"chooseFolder","args":{"start":""}})");
  using Start = std::optional<std::string>;
  EXPECT_EQ(rig.chooser.starts,
            (std::vector<Start>{"/home/ana/Photos", std::nullopt, std::nullopt, std::nullopt}));
  EXPECT_CALL(rig.catalogue, listFolder("/picked", ListingMode{.hidden = true}))
      .WillOnce(Return(std::vector<FileRecord>{}));
  EXPECT_CALL(rig.catalogue, listFolder("/plain", ListingMode{}))
      .WillOnce(Return(std::vector<FileRecord>{}));
  rig.chooser.pending[0]("/picked");
  rig.chooser.pending[1]("/plain");
  for (int i = 2; i < 4; ++i) rig.chooser.pending[i](std::nullopt);
  ASSERT_TRUE(rig.main.runUntilPosted(4));
}

}  // namespace
}  // namespace quarrytide::testing
