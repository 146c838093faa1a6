// Requests a page should never send, through quarrytide-headless: huge and
// deeply nested values, and a folder swapped for a link while it is listed.
// Each is answered, nothing crashes, and nothing outside what was asked is
// touched. (Names that leave their folder and paths that name no item:
// tests/renaming/rename_test.cpp and tests/listing/listing_test.cpp.) Then
// thousands of ordinary ones, mixed.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>
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
  // 16 MB: far past every limit of names, paths and attributes; larger only
  // costs time (the JSON reader grows its strings by copies)
  const std::string huge(16 << 20, 'x');
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
  EXPECT_EQ(replies[1]["payload"]["results"], json({{{"ok", false},
                                                     {"path", item},
                                                     {"error", "File name too long"},
                                                     {"code", "name-too-long"}}}));
  EXPECT_EQ(replies[2]["payload"]["results"], json({{{"ok", false},
                                                     {"path", item},
                                                     {"newPath", item},
                                                     {"error", "tags: Argument list too long"},
                                                     {"code", "no-space"}}}));
  EXPECT_EQ(replies[3]["payload"]["files"], json::array());
  EXPECT_EQ(replies[4]["payload"]["files"], json::array());
  const json& missing = replies[5]["payload"]["results"];
  ASSERT_EQ(missing.size(), 100000u);
  for (const auto& r : missing) ASSERT_EQ(r["error"], "No such file or directory");
  const json& described = replies[6]["payload"]["files"];
  ASSERT_EQ(described.size(), 50000u);
  EXPECT_EQ(described[0]["path"], item);
  EXPECT_EQ(replies[7],
            json({{"id", 7}, {"ok", false}, {"payload", "missing ops"}, {"code", "bad-request"}}));
  EXPECT_EQ(replies[8]["ok"], true);
  EXPECT_EQ(contents(dir.path()), (std::map<std::string, std::string>{{"a.txt", "a"}}));
  EXPECT_EQ(xattr(item, "user.xdg.tags"), "old,Red");
  EXPECT_EQ(xattr(item, "user.xdg.comment"), "kept");
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

// Every accepted request of thousands, mixed, is answered exactly once, io's
// replies keep submission order, and nothing but reply calls reaches standard output.
TEST(Soak, MixedRequestsAreEachAnsweredOnceAndIoKeepsOrder) {
  TempDir dir;
  const std::string folder = dir.folder("photos");
  for (int i = 0; i < 40; ++i) dir.file("photos/f" + std::to_string(i) + ".txt", std::to_string(i));
  dir.folder("photos/sub");

  std::mt19937 rng(7);
  std::vector<std::string> lines;
  std::set<std::int64_t> accepted;
  std::vector<std::int64_t> ioOrder;  // requests answered from io, in submission order
  bool renamed = false;               // f0.txt is renamed to g0.txt and back, alternately
  for (std::int64_t id = 1; id <= 3000; ++id) {
    const auto kind = rng() % 10;
    // Without args listFolder is an error, answered at once.
    std::string line = request(id, "listFolder");
    if (kind == 0) {
      line = request(id, "listFolder", {{"folder", folder}, {"recursive", rng() % 2 == 0}});
    } else if (kind == 1) {
      line = request(id, "statPaths",
                     {{"paths", {folder + "/f1.txt", folder + "/missing", folder + "/sub"}}});
    } else if (kind == 2) {
      std::string from = renamed ? "/g0.txt" : "/f0.txt", to = renamed ? "f0.txt" : "g0.txt";
      renamed = !renamed;
      line = request(id, "apply",
                     {{"ops",
                       {{{"path", folder + from}, {"newName", to}},
                        {{"path", folder + "/f2.txt"}, {"setLabel", true}, {"label", id % 8}}}}});
    } else if (kind == 3) {
      line = request(id, "thumbnail", {{"path", folder + "/f3.txt"}, {"size", 16}});
    } else if (kind == 4) {
      line = request(id, "setMode", {{"kind", rng() % 2 ? "folders" : "files"}});
    } else if (kind == 5) {
      line = request(id, "savePrefs", {{"data", "cfg " + std::to_string(id)}});
    } else if (kind == 6 || kind == 7) {
      line = request(id, kind == 6 ? "loadPrefs" : "frobnicate");
    } else if (kind == 8) {  // malformed: no reply expected
      lines.push_back(rng() % 2 ? "{\"id\":" + std::to_string(id) + "}" : "{not json");
      continue;
    }
    lines.push_back(line);
    accepted.insert(id);
    if (kind <= 2) ioOrder.push_back(id);
  }

  auto run = runHeadless(lines, {}, {"XDG_CACHE_HOME=" + dir.at("cache")}, kLong);
  ASSERT_EQ(run.status, 0) << run.err;
  std::set<std::int64_t> answered, ioIds(ioOrder.begin(), ioOrder.end());
  std::vector<std::int64_t> ioSeen;
  for (const auto& reply : run.replies()) {  // throws on any line that is not a reply call
    auto id = reply.at("id").get<std::int64_t>();
    EXPECT_TRUE(answered.insert(id).second) << "request " << id << " answered twice";
    if (ioIds.count(id)) ioSeen.push_back(id);
  }
  EXPECT_EQ(answered, accepted);
  EXPECT_EQ(ioSeen, ioOrder);
  // The renames alternated, so exactly one of the two names exists: nothing was lost.
  EXPECT_NE(std::filesystem::exists(folder + "/f0.txt"),
            std::filesystem::exists(folder + "/g0.txt"));
  EXPECT_EQ(names(folder).size(), 41u);
}

}  // namespace
}  // namespace quarrytide::testing
