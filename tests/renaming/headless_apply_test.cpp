// apply and reveal from request to reply through quarrytide-headless.
#include <gtest/gtest.h>

#include "files.hpp"
#include "headless.hpp"
#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;

TEST(HeadlessApply, ABatchChangesExactlyWhatItAsksAndReportsEachRecordInOrder) {
  TempDir dir;
  for (const char* n : {"a", "b", "c", "x", "y", "z"}) dir.file(n, n);
  auto at = [&](const char* text) { return json::parse(atFolder(text, dir.path())); };  // "@": dir
  // In a swap within one batch each name is still held when its record runs;
  // the last record sees the batch's earlier rename.
  const json ops = at(R"([
    {"path":"@/a","newName":"b","setLabel":true,"label":6},
    {"path":"@/c","newName":"c2","setTags":true,"tags":["one","two"],"setLabel":true,"label":5,
     "setComment":true,"comment":"caf\u00e9"},
    {"path":3,"newName":"nobody"},
    {"path":"@/x","newName":"y"}, {"path":"@/y","newName":"x"},
    {"path":"@/z","newName":"a/b"},
    {"path":"@/c2","setLabel":true}])");
  auto run = runHeadlessFresh({json({{"id", 1}, {"cmd", "apply"}, {"args", {{"ops", ops}}}}).dump(),
                               R"({"args":{"ops":{}},"cmd":"apply","id":2})"});
  ASSERT_EQ(run.status, 0) << run.err;
  auto replies = run.replies();
  ASSERT_EQ(replies.size(), 2u);
  if (replies[0]["id"] == 2) std::swap(replies[0], replies[1]);  // paired by id, as the page does
  EXPECT_EQ(json(replies), at(R"([{"id":1,"ok":true,"payload":{"results":[
    {"ok":false,"path":"@/a","error":"A file named \"b\" already exists."},
    {"ok":true,"path":"@/c","newPath":"@/c2"},
    {"ok":false,"error":"missing path"},
    {"ok":false,"path":"@/x","error":"A file named \"y\" already exists."},
    {"ok":false,"path":"@/y","error":"A file named \"x\" already exists."},
    {"ok":false,"path":"@/z","error":"Invalid file name."},
    {"ok":true,"path":"@/c2","newPath":"@/c2"}]}},
    {"id":2,"ok":false,"payload":"missing ops"}])"));

  EXPECT_EQ(contents(dir.path()),
            (std::map<std::string, std::string>{
                {"a", "a"}, {"b", "b"}, {"c2", "c"}, {"x", "x"}, {"y", "y"}, {"z", "z"}}));
  for (const char* n : {"a", "b", "x", "y", "z"})
    EXPECT_EQ(xattr(dir.at(n), "user.xdg.tags"), std::nullopt) << n;
  EXPECT_EQ(xattr(dir.at("c2"), "user.xdg.tags"), "one,two");
  EXPECT_EQ(xattr(dir.at("c2"), "user.xdg.comment"), "caf\u00e9");
}

TEST(HeadlessApply, RevealHandsEveryPathToTheFileBrowserThenAnswers) {
  auto run = runHeadlessFresh({R"({"id":4,"cmd":"reveal","args":{"paths":["/p/one","rel two"]}})",
                               R"({"id":5,"cmd":"reveal"})"});
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "reveal: /p/one\nreveal: rel two\n");
  EXPECT_EQ(run.lines, (std::vector<std::string>{
                           R"(window.__bridgeResolveRaw({"id":4,"ok":true,"payload":null}))",
                           R"(window.__bridgeResolveRaw({"id":5,"ok":true,"payload":null}))"}));
}

}  // namespace
}  // namespace quarrytide::testing
