// The listing commands' arguments, replies and order, against a fake catalogue.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes.hpp"
#include "transcript.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;
using ::testing::_;
using ::testing::Return;
using Records = std::vector<FileRecord>;

TEST(ListFolderCommand, ArgumentErrorsAreAnsweredAtOnce) {
  BridgeRig rig;
  EXPECT_CALL(rig.catalogue, listFolder).Times(0);
  expectTranscript(rig, R"(
    {"id":1,"cmd":"listFolder"} => {"id":1,"ok":false,"payload":"missing folder"}
    {"id":2,"cmd":"listFolder","args":{"folder":5}} => {"id":2,"ok":false,"payload":"missing folder"}
    {"id":3,"cmd":"listFolder","args":{"folder":null,"recursive":true}} => {"id":3,"ok":false,"payload":"missing folder"})",
                   Replies::atOnce);
}

TEST(ListFolderCommand, FlagsFollowTheArgumentRulesAndTheFolderIsEchoed) {
  BridgeRig rig;
  ::testing::InSequence order;
  EXPECT_CALL(rig.catalogue, listFolder("/tmp/x/", ListingMode{}))
      .WillOnce(Return(Records{recordAt("/tmp/x/a")}));
  // A flag of another type, or a kind other than "folders", is absent.
  for (ListingMode mode : {ListingMode{},
                           {.recursive = true},
                           {.recursive = true, .foldersOnly = true},
                           {.hidden = true},
                           {}})
    EXPECT_CALL(rig.catalogue, listFolder("/tmp/x", mode)).WillOnce(Return(Records{}));
  // Answered in the order sent.
  expectTranscript(rig, R"(
    {"id":1,"cmd":"listFolder","args":{"folder":"/tmp/x/"}} => {"id":1,"ok":true,"payload":{"folder":"/tmp/x/","files":[
      {"path":"/tmp/x/a","name":"a","basename":"a","ext":"","isDir":false,"size":0,"created":0,"modified":0,"tags":[],"label":0,"comment":""}]}}
    {"id":2,"cmd":"listFolder","args":{"folder":"/tmp/x","recursive":"yes","kind":"Folders"}} => {"id":2,"ok":true,"payload":{"folder":"/tmp/x","files":[]}}
    {"id":3,"cmd":"listFolder","args":{"folder":"/tmp/x","recursive":true,"kind":5}} => {"id":3,"ok":true,"payload":{"folder":"/tmp/x","files":[]}}
    {"id":4,"cmd":"listFolder","args":{"folder":"/tmp/x","recursive":true,"kind":"folders"}} => {"id":4,"ok":true,"payload":{"folder":"/tmp/x","files":[]}}
    {"id":5,"cmd":"listFolder","args":{"folder":"/tmp/x","hidden":true}} => {"id":5,"ok":true,"payload":{"folder":"/tmp/x","files":[]}}
    {"id":6,"cmd":"listFolder","args":{"folder":"/tmp/x","hidden":1}} => {"id":6,"ok":true,"payload":{"folder":"/tmp/x","files":[]}})");
}

TEST(StatPathsCommand, DescribesExistingPathsInOrderAndMalformedListsAsEmpty) {
  BridgeRig rig;
  ON_CALL(rig.catalogue, describe(_)).WillByDefault([](const std::string& p) {
    return p == "/b" ? std::nullopt : std::optional(recordAt(p));
  });
  EXPECT_CALL(rig.catalogue, describe(_)).Times(4);
  expectTranscript(rig, R"(
    {"id":1,"cmd":"statPaths","args":{"paths":["/a","/b","/c","/a"]}} => {"id":1,"ok":true,"payload":{"files":[
      {"path":"/a","name":"a","basename":"a","ext":"","isDir":false,"size":0,"created":0,"modified":0,"tags":[],"label":0,"comment":""},
      {"path":"/c","name":"c","basename":"c","ext":"","isDir":false,"size":0,"created":0,"modified":0,"tags":[],"label":0,"comment":""},
      {"path":"/a","name":"a","basename":"a","ext":"","isDir":false,"size":0,"created":0,"modified":0,"tags":[],"label":0,"comment":""}]}}
    {"id":2,"cmd":"statPaths","args":{"paths":["/a",3]}} => {"id":2,"ok":true,"payload":{"files":[]}}
    {"id":3,"cmd":"statPaths"} => {"id":3,"ok":true,"payload":{"files":[]}})");
}

TEST(ChooseFolderCommand, CancelAnswersNullAndAChoiceIsListedWithTheKeptFlags) {
  BridgeRig rig;
  rig.send(R"({"id":1,"cmd":"chooseFolder","args":{"recursive":true}})");
  rig.send(R"({"id":2,"cmd":"chooseFolder","args":{"recursive":true,"kind":"folders"}})");
  rig.send(R"({"id":3,"cmd":"chooseFolder"})");
  ASSERT_EQ(rig.chooser.pending.size(), 3u);
  EXPECT_TRUE(rig.sink.replies().empty()) << "nothing is answered while the chooser is open";

  EXPECT_CALL(rig.catalogue, listFolder("/picked", ListingMode{.recursive = true}))
      .WillOnce(Return(Records{recordAt("/picked/f")}));
  EXPECT_CALL(rig.catalogue,
              listFolder("/other", ListingMode{.recursive = true, .foldersOnly = true}))
      .WillOnce(Return(Records{}));
  rig.chooser.pending[2](std::nullopt);
  rig.main.run();
  EXPECT_EQ(rig.sink.replies(), std::vector{R"({"id":3,"ok":true,"payload":null})"_json});
  rig.chooser.pending[0]("/picked");
  rig.chooser.pending[1]("/other");
  ASSERT_TRUE(rig.main.runUntilPosted(3));
  EXPECT_EQ(json(rig.sink.replies()), json::parse(R"([{"id":3,"ok":true,"payload":null},
    {"id":1,"ok":true,"payload":{"folder":"/picked","files":[
      {"path":"/picked/f","name":"f","basename":"f","ext":"","isDir":false,"size":0,"created":0,"modified":0,"tags":[],"label":0,"comment":""}]}},
    {"id":2,"ok":true,"payload":{"folder":"/other","files":[]}}])"));
  EXPECT_EQ(rig.bridge->outstanding(), 0u);
}

TEST(ChooseFolderCommand, TheChooserStartsWhereThePageSaysAndHiddenItemsAreListedWhenAsked) {
  BridgeRig rig;
  int id = 0;
  for (const char* args : {R"({"start":"/home/ana/Photos","hidden":true})", R"({"start":5})",
                           R"({"start":"/home\u0000/etc"})", R"({"start":""})"})
    rig.send(R"({"id":)" + std::to_string(++id) + R"(,"cmd":"chooseFolder","args":)" + args + "}");
  EXPECT_EQ(rig.chooser.starts, (std::vector<std::optional<std::string>>{
                                    "/home/ana/Photos", std::nullopt, std::nullopt, std::nullopt}));
  EXPECT_CALL(rig.catalogue, listFolder("/picked", ListingMode{.hidden = true}))
      .WillOnce(Return(Records{}));
  EXPECT_CALL(rig.catalogue, listFolder("/plain", ListingMode{})).WillOnce(Return(Records{}));
  rig.chooser.pending[0]("/picked");
  rig.chooser.pending[1]("/plain");
  for (int i = 2; i < 4; ++i) rig.chooser.pending[i](std::nullopt);
  ASSERT_TRUE(rig.main.runUntilPosted(4));
}

}  // namespace
}  // namespace quarrytide::testing
