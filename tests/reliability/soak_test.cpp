// Thousands of mixed requests through quarrytide-headless: every accepted
// request is answered exactly once, io's replies keep submission order, and
// nothing but reply calls reaches standard output.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>

#include "files.hpp"
#include "headless.hpp"
#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;

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

  auto run = runHeadless(lines, {}, {"XDG_CACHE_HOME=" + dir.at("cache")}, std::chrono::minutes(5));
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
