// apply and reveal from request to reply through quarrytide-headless.
#include <gtest/gtest.h>
#include <sys/xattr.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "files.hpp"
#include "headless.hpp"
#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

std::string attr(const std::string& path, const char* name) {
  char buf[1024];
  ssize_t n = lgetxattr(path.c_str(), name, buf, sizeof buf);
  return n < 0 ? "<none>" : std::string(buf, n);
}
std::string request(int id, const json& ops) {
  return json({{"id", id}, {"cmd", "apply"}, {"args", {{"ops", ops}}}}).dump();
}

TEST(HeadlessApply, ABatchChangesExactlyWhatItAsksAndReportsEachRecordInOrder) {
  TempDir dir, home;
  const std::string d = dir.path();
  for (const char* n : {"a", "b", "c", "x", "y", "z"}) std::ofstream(d + "/" + n) << n;
  json ops = {
      {{"path", d + "/a"}, {"newName", "b"}, {"setLabel", true}, {"label", 6}},  // collides
      {{"path", d + "/c"},
       {"newName", "c2"},
       {"setTags", true},
       {"tags", {"one", "two"}},
       {"setLabel", true},
       {"label", 5},
       {"setComment", true},
       {"comment", "caf\u00e9"}},
      {{"path", 3}, {"newName", "nobody"}},
      // A swap in one batch: each name is still held when its record runs.
      {{"path", d + "/x"}, {"newName", "y"}},
      {{"path", d + "/y"}, {"newName", "x"}},
      {{"path", d + "/z"}, {"newName", "a/b"}},
      {{"path", d + "/c2"}, {"setLabel", true}},  // sees the batch's earlier rename
  };
  auto run = runHeadless({request(1, ops), request(2, json::object())}, {},
                         {"XDG_CONFIG_HOME=" + home.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  auto replies = run.replies();
  ASSERT_EQ(replies.size(), 2u);
  if (replies[0]["id"] == 2) std::swap(replies[0], replies[1]);  // paired by id, as the page does
  EXPECT_EQ(replies[1], json({{"id", 2}, {"ok", false}, {"payload", "missing ops"}}));
  EXPECT_EQ(replies[0]["id"], 1);
  EXPECT_EQ(replies[0]["ok"], true);
  EXPECT_EQ(
      replies[0]["payload"]["results"],
      json({{{"ok", false}, {"path", d + "/a"}, {"error", "A file named \"b\" already exists."}},
            {{"ok", true}, {"path", d + "/c"}, {"newPath", d + "/c2"}},
            {{"ok", false}, {"error", "missing path"}},
            {{"ok", false}, {"path", d + "/x"}, {"error", "A file named \"y\" already exists."}},
            {{"ok", false}, {"path", d + "/y"}, {"error", "A file named \"x\" already exists."}},
            {{"ok", false}, {"path", d + "/z"}, {"error", "Invalid file name."}},
            {{"ok", true}, {"path", d + "/c2"}, {"newPath", d + "/c2"}}}));

  EXPECT_EQ(names(d), (std::set<std::string>{"a", "b", "c2", "x", "y", "z"}));
  for (const char* n : {"a", "b", "x", "y", "z"}) {
    EXPECT_EQ(read(d + "/" + n), n);
    EXPECT_EQ(attr(d + "/" + n, "user.xdg.tags"), "<none>") << n;
  }
  EXPECT_EQ(read(d + "/c2"), "c");
  EXPECT_EQ(attr(d + "/c2", "user.xdg.tags"), "one,two");
  EXPECT_EQ(attr(d + "/c2", "user.xdg.comment"), "caf\u00e9");
}

TEST(HeadlessApply, RevealHandsEveryPathToTheFileBrowserThenAnswers) {
  TempDir home;
  auto run = runHeadless({R"({"id":4,"cmd":"reveal","args":{"paths":["/p/one","rel two"]}})",
                          R"({"id":5,"cmd":"reveal"})"},
                         {}, {"XDG_CONFIG_HOME=" + home.path()});
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "reveal: /p/one\nreveal: rel two\n");
  EXPECT_EQ(run.lines, (std::vector<std::string>{
                           R"(window.__bridgeResolveRaw({"id":4,"ok":true,"payload":null}))",
                           R"(window.__bridgeResolveRaw({"id":5,"ok":true,"payload":null}))"}));
}

}  // namespace
}  // namespace quarrytide::testing
