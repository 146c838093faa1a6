// Requests a page should never send, through quarrytide-headless: names that
// would leave their folder, huge and deeply nested values, link loops and a
// folder swapped for a link while it is listed. Each is answered (or, when
// undecodable, dropped), nothing crashes, and nothing outside what was asked
// is touched.
#include <gtest/gtest.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "headless.hpp"
#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

std::set<std::string> tree(const std::string& folder) {
  std::set<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    out.insert(fs::relative(e.path(), folder).string());
  return out;
}
std::string request(int id, const std::string& cmd, const json& args) {
  return json({{"id", id}, {"cmd", cmd}, {"args", args}}).dump();
}
std::vector<json> run(const std::vector<std::string>& lines) {
  TempDir home;
  auto result = runHeadless(lines, {}, {"XDG_CONFIG_HOME=" + home.path()}, 300);
  EXPECT_EQ(result.status, 0) << result.err;
  auto replies = result.replies();
  std::sort(replies.begin(), replies.end(),
            [](const json& a, const json& b) { return a["id"] < b["id"]; });
  return replies;
}

TEST(HostileInput, NamesThatWouldLeaveTheFolderAreRefusedAndNothingMoves) {
  TempDir dir;
  const std::string root = dir.path();
  fs::create_directories(root + "/inside");
  fs::create_directories(root + "/outside");
  std::ofstream(root + "/inside/a.txt") << "a";
  const auto before = tree(root);

  json ops = json::array();
  for (const std::string& bad :
       std::vector<std::string>{"../outside/x", "../x", "a/b", "/tmp/x", root + "/outside/x",
                                std::string("x\0y", 3), "..", ".", "", "x/", "/"})
    ops.push_back({{"path", root + "/inside/a.txt"}, {"newName", bad}});
  auto replies = run({request(1, "apply", {{"ops", ops}})});
  ASSERT_EQ(replies.size(), 1u);
  const json& results = replies[0]["payload"]["results"];
  ASSERT_EQ(results.size(), ops.size());
  for (const auto& r : results) {
    EXPECT_EQ(r["ok"], false);
    EXPECT_EQ(r["error"], "Invalid file name.") << r;
  }
  EXPECT_EQ(tree(root), before);

  // An empty path names nothing, not the working directory (a scratch one
  // here, so that a failure cannot move the build tree).
  TempDir home, cwd;
  const auto buildTree = fs::current_path();
  fs::current_path(cwd.path());
  auto empty = runHeadless(
      {request(
           1, "apply",
           {{"ops", {{{"path", ""}, {"newName", "moved"}}, {{"path", ""}, {"setTags", true}}}}}),
       request(2, "listFolder", {{"folder", ""}})},
      {}, {"XDG_CONFIG_HOME=" + home.path()});
  fs::current_path(buildTree);
  auto answers = empty.replies();
  ASSERT_EQ(answers.size(), 2u) << empty.err;
  if (answers[0]["id"] == 2) std::swap(answers[0], answers[1]);
  const json refused = {{"ok", false}, {"path", ""}, {"error", "No such file or directory"}};
  EXPECT_EQ(answers[0]["payload"]["results"], json({refused, refused}));
  EXPECT_EQ(answers[1]["payload"], json({{"folder", ""}, {"files", json::array()}}));
  EXPECT_TRUE(fs::is_directory(cwd.path()));
  EXPECT_EQ(tree(cwd.path()), std::set<std::string>{});
}

// Below the page a path becomes a C string, which ends at the first NUL: the
// text before it would name another item.
TEST(HostileInput, APathHoldingNulNamesNoItem) {
  TempDir dir;
  const std::string root = dir.path();
  std::ofstream(root + "/a") << "a";
  std::ofstream(root + "/keep") << "k";
  fs::create_directory(root + "/sub");
  std::ofstream(root + "/sub/f") << "f";
  const auto before = tree(root);
  auto nul = [](const std::string& head, const std::string& tail) { return head + '\0' + tail; };

  const std::vector<json> ops = {
      {{"path", nul(root + "/a", "b")}, {"newName", "moved"}},
      {{"path", nul(root + "/keep", "x")}, {"setComment", true}, {"comment", "written"}},
      {{"path", nul(root + "/keep", "x")}, {"setTags", true}, {"tags", {"Tag"}}},
      {{"path", nul(root + "/sub", "")}, {"setLabel", true}, {"label", 2}},
  };
  auto result = runHeadless(
      {request(1, "apply", {{"ops", ops}}),
       request(2, "statPaths", {{"paths", {nul(root + "/keep", "/etc/passwd"), root + "/keep"}}}),
       request(3, "listFolder", {{"folder", nul(root + "/", "")}}),
       request(4, "listFolder", {{"folder", nul(root + "/sub", "/x")}, {"recursive", true}}),
       request(5, "reveal", {{"paths", {nul(root + "/keep", "x")}}})},
      {}, {"XDG_CONFIG_HOME=" + dir.path() + "/sub"});
  auto replies = result.replies();
  ASSERT_EQ(replies.size(), 5u) << result.err;
  std::sort(replies.begin(), replies.end(),
            [](const json& x, const json& y) { return x["id"] < y["id"]; });

  const json& results = replies[0]["payload"]["results"];
  ASSERT_EQ(results.size(), ops.size());
  for (std::size_t i = 0; i < ops.size(); ++i)
    EXPECT_EQ(
        results[i],
        json({{"ok", false}, {"path", ops[i]["path"]}, {"error", "No such file or directory"}}));
  const json& described = replies[1]["payload"]["files"];
  ASSERT_EQ(described.size(), 1u);
  EXPECT_EQ(described[0]["name"], "keep");
  EXPECT_EQ(replies[2]["payload"]["files"], json::array());
  EXPECT_EQ(replies[3]["payload"]["files"], json::array());
  EXPECT_EQ(replies[4]["ok"], true);
  EXPECT_EQ(result.err.find("reveal:"), std::string::npos) << result.err;

  EXPECT_EQ(tree(root), before);
  for (const char* item : {"/a", "/keep", "/sub"})
    for (const char* attribute : {"user.xdg.tags", "user.xdg.comment"})
      EXPECT_LT(::lgetxattr((root + item).c_str(), attribute, nullptr, 0), 0) << item << attribute;
}

TEST(HostileInput, HugeLongAndDeepValuesAreAnsweredWithClearErrors) {
  TempDir dir;
  const std::string item = dir.path() + "/a.txt";
  std::ofstream(item) << "a";
  const std::string huge(100 << 20, 'x');  // 100 MB

  json manyMissing = json::array(), manyPaths = json::array();
  for (int i = 0; i < 100000; ++i) {
    manyMissing.push_back(
        {{"path", dir.path() + "/missing-" + std::to_string(i)}, {"newName", "n"}});
    manyPaths.push_back(i % 2 ? item : dir.path() + "/missing");
  }
  // 100,000 levels of nesting where a list of records is expected.
  std::string deep = std::string(100000, '[') + std::string(100000, ']');
  std::string deepRequest = R"({"id":7,"cmd":"apply","args":{"ops":)" + deep + "}}";

  auto replies = run({
      request(1, "apply", {{"ops", {{{"path", item}, {"newName", huge}}}}}),
      request(2, "apply", {{"ops", {{{"path", item}, {"setTags", true}, {"tags", {huge}}}}}}),
      request(3, "listFolder", {{"folder", huge}}),
      request(4, "statPaths", {{"paths", {huge}}}),
      request(5, "apply", {{"ops", manyMissing}}),
      request(6, "statPaths", {{"paths", manyPaths}}),
      deepRequest,
      request(8, "savePrefs", {{"json", deep}}),
  });
  ASSERT_EQ(replies.size(), 8u);
  EXPECT_EQ(replies[0]["payload"]["results"],
            json({{{"ok", false}, {"path", item}, {"error", "File name too long"}}}));
  EXPECT_EQ(replies[1]["payload"]["results"], json({{{"ok", false},
                                                     {"path", item},
                                                     {"newPath", item},
                                                     {"error", "tags: Argument list too long"}}}));
  EXPECT_EQ(replies[2]["payload"]["files"], json::array());
  EXPECT_EQ(replies[3]["payload"]["files"], json::array());

  const json& missing = replies[4]["payload"]["results"];
  ASSERT_EQ(missing.size(), 100000u);
  for (const auto& r : missing) ASSERT_EQ(r["error"], "No such file or directory");
  const json& described = replies[5]["payload"]["files"];
  ASSERT_EQ(described.size(), 50000u);
  EXPECT_EQ(described[0]["path"], item);

  EXPECT_EQ(replies[6], json({{"id", 7}, {"ok", false}, {"payload", "missing ops"}}));
  EXPECT_EQ(replies[7]["ok"], true);
  EXPECT_EQ(tree(dir.path()), std::set<std::string>{"a.txt"});
}

TEST(HostileInput, TreeListingsNeverFollowLinksEvenWhenAFolderIsSwappedForOne) {
  TempDir dir, outside;
  const std::string root = dir.path();
  std::ofstream(outside.path() + "/secret.txt") << "not to be listed";
  fs::create_directories(root + "/sub/deeper");
  for (int i = 0; i < 300; ++i) std::ofstream(root + "/sub/f" + std::to_string(i)) << i;
  fs::create_directory_symlink(".", root + "/loop");
  fs::create_directory_symlink("..", root + "/sub/deeper/up");
  fs::create_directory_symlink(outside.path(), root + "/away");

  // Loops and links are items of their own, listed once, never entered.
  auto once = run({request(1, "listFolder", {{"folder", root}, {"recursive", true}})});
  ASSERT_EQ(once.size(), 1u);
  std::multiset<std::string> paths;
  for (const auto& r : once[0]["payload"]["files"]) paths.insert(r["path"].get<std::string>());
  EXPECT_EQ(paths.count(root + "/loop"), 1u);
  EXPECT_EQ(paths.count(root + "/away"), 1u);
  EXPECT_EQ(paths.count(root + "/sub/deeper/up"), 1u);
  EXPECT_EQ(paths.size(), 303u);

  // Swap "sub" for a link to the outside folder and back, over and over,
  // while it is listed: the outside is never listed through the link.
  std::atomic<bool> stop = false;
  std::thread swapper([&] {
    std::error_code ec;
    while (!stop) {
      fs::rename(root + "/sub", root + "/sub.real", ec);
      fs::create_directory_symlink(outside.path(), root + "/sub", ec);
      fs::remove(root + "/sub", ec);
      fs::rename(root + "/sub.real", root + "/sub", ec);
    }
  });
  std::vector<std::string> lines;
  for (int i = 0; i < 40; ++i)
    lines.push_back(request(i, "listFolder", {{"folder", root}, {"recursive", true}}));
  auto replies = run(lines);
  stop = true;
  swapper.join();
  ASSERT_EQ(replies.size(), 40u);
  for (const auto& reply : replies)
    for (const auto& r : reply["payload"]["files"])
      ASSERT_EQ(r["path"].get<std::string>().find("secret"), std::string::npos) << r["path"];
  EXPECT_EQ(tree(outside.path()), std::set<std::string>{"secret.txt"});
}

}  // namespace
}  // namespace quarrytide::testing
