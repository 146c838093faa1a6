// Requests a page should never send, through quarrytide-headless: huge and
// deeply nested values, and a folder swapped for a link while it is listed.
// Each is answered, nothing crashes, and nothing outside what was asked is
// touched. (Names that leave their folder and paths that name no item:
// tests/renaming/rename_test.cpp and tests/listing/listing_test.cpp.)
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

#include "files.hpp"
#include "headless.hpp"
#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

constexpr auto kLong = std::chrono::minutes(5);  // a bound for runs that may take long

TEST(HostileInput, HugeLongAndDeepValuesAreAnsweredWithClearErrors) {
  TempDir dir;
  const std::string item = dir.file("a.txt", "a");
  dir.attr("a.txt", "user.xdg.tags", "old,Red");
  dir.attr("a.txt", "user.xdg.comment", "kept");
  const std::string huge(100 << 20, 'x');  // 100 MB
  json manyMissing = json::array(), manyPaths = json::array();
  for (int i = 0; i < 100000; ++i) {
    manyMissing.push_back(
        {{"path", dir.path() + "/missing-" + std::to_string(i)}, {"newName", "n"}});
    manyPaths.push_back(i % 2 ? item : dir.path() + "/missing");
  }
  // 100,000 levels of nesting where a list of records is expected.
  std::string deep = std::string(100000, '[') + std::string(100000, ']');

  const std::vector<std::string> lines = {
      request(1, "apply", {{"ops", {{{"path", item}, {"newName", huge}, {"setTags", true}}}}}),
      request(2, "apply", {{"ops", {{{"path", item}, {"setTags", true}, {"tags", {huge}}}}}}),
      request(3, "listFolder", {{"folder", huge}}),
      request(4, "statPaths", {{"paths", {huge}}}),
      request(5, "apply", {{"ops", manyMissing}}),
      request(6, "statPaths", {{"paths", manyPaths}}),
      R"({"id":7,"cmd":"apply","args":{"ops":)" + deep + "}}",
      request(8, "savePrefs", {{"json", deep}}),
  };
  auto replies = answered(lines, {}, kLong);
  ASSERT_EQ(replies.size(), 8u);
  EXPECT_EQ(replies[1]["payload"]["results"],
            json({{{"ok", false}, {"path", item}, {"error", "File name too long"}}}));
  EXPECT_EQ(replies[2]["payload"]["results"], json({{{"ok", false},
                                                     {"path", item},
                                                     {"newPath", item},
                                                     {"error", "tags: Argument list too long"}}}));
  EXPECT_EQ(replies[3]["payload"]["files"], json::array());
  EXPECT_EQ(replies[4]["payload"]["files"], json::array());
  const json& missing = replies[5]["payload"]["results"];
  ASSERT_EQ(missing.size(), 100000u);
  for (const auto& r : missing) ASSERT_EQ(r["error"], "No such file or directory");
  const json& described = replies[6]["payload"]["files"];
  ASSERT_EQ(described.size(), 50000u);
  EXPECT_EQ(described[0]["path"], item);
  EXPECT_EQ(replies[7], json({{"id", 7}, {"ok", false}, {"payload", "missing ops"}}));
  EXPECT_EQ(replies[8]["ok"], true);
  EXPECT_EQ(names(dir.path()), std::set<std::string>{"a.txt"});
  EXPECT_EQ(xattr(item, "user.xdg.tags"), "old,Red");
  EXPECT_EQ(xattr(item, "user.xdg.comment"), "kept");
  EXPECT_EQ(read(item), "a");
}

// Links are never entered (tests/listing/listing_test.cpp); not even when a
// folder becomes one between two looks at it.
TEST(HostileInput, TreeListingsNeverFollowAFolderSwappedForALink) {
  TempDir dir, outside;
  const std::string root = dir.path();
  outside.file("secret.txt", "not to be listed");
  for (int i = 0; i < 300; ++i) dir.file("sub/f" + std::to_string(i), std::to_string(i));
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
  auto replies = answered(lines, {}, kLong);
  stop = true;
  swapper.join();
  ASSERT_EQ(replies.size(), 40u);
  for (const auto& [id, reply] : replies)
    for (const auto& r : reply["payload"]["files"])
      ASSERT_EQ(r["path"].get<std::string>().find("secret"), std::string::npos) << r["path"];
  EXPECT_EQ(names(outside.path()), std::set<std::string>{"secret.txt"});
}

}  // namespace
}  // namespace quarrytide::testing
