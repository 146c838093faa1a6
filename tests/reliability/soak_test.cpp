// Thousands of mixed requests through quarrytide-headless: every accepted
// request is answered exactly once, io's replies keep submission order, and
// nothing but reply calls reaches standard output.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "headless.hpp"
#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;

TEST(Soak, MixedRequestsAreEachAnsweredOnceAndIoKeepsOrder) {
  TempDir dir;
  const std::string folder = dir.path() + "/photos";
  std::filesystem::create_directory(folder);
  for (int i = 0; i < 40; ++i) std::ofstream(folder + "/f" + std::to_string(i) + ".txt") << i;
  std::filesystem::create_directory(folder + "/sub");

  std::mt19937 rng(7);
  std::vector<std::string> lines;
  std::set<std::int64_t> accepted;
  std::vector<std::int64_t> ioOrder;  // requests answered from io, in submission order
  bool renamed = false;               // f0.txt is renamed to g0.txt and back, alternately
  for (std::int64_t id = 1; id <= 3000; ++id) {
    json env = {{"id", id}};
    bool io = false;
    switch (rng() % 10) {
      case 0:
        env["cmd"] = "listFolder";
        env["args"] = {{"folder", folder}, {"recursive", rng() % 2 == 0}};
        io = true;
        break;
      case 1:
        env["cmd"] = "statPaths";
        env["args"] = {{"paths", {folder + "/f1.txt", folder + "/missing", folder + "/sub"}}};
        io = true;
        break;
      case 2: {
        env["cmd"] = "apply";
        std::string from = renamed ? "/g0.txt" : "/f0.txt", to = renamed ? "f0.txt" : "g0.txt";
        renamed = !renamed;
        env["args"] = {{"ops",
                        {{{"path", folder + from}, {"newName", to}},
                         {{"path", folder + "/f2.txt"}, {"setLabel", true}, {"label", id % 8}}}}};
        io = true;
        break;
      }
      case 3:
        env["cmd"] = "thumbnail";
        env["args"] = {{"path", folder + "/f3.txt"}, {"size", 16}};
        break;
      case 4:
        env["cmd"] = "setMode";
        env["args"] = {{"kind", rng() % 2 ? "folders" : "files"}};
        break;
      case 5:
        env["cmd"] = "savePrefs";
        env["args"] = {{"data", "cfg " + std::to_string(id)}};
        break;
      case 6:
        env["cmd"] = "loadPrefs";
        break;
      case 7:
        env["cmd"] = "frobnicate";
        break;
      case 8:  // malformed: no reply expected
        lines.push_back(rng() % 2 ? "{\"id\":" + std::to_string(id) + "}" : "{not json");
        continue;
      default:
        env["cmd"] = "listFolder";  // argument error, answered at once
        break;
    }
    lines.push_back(env.dump());
    accepted.insert(id);
    if (io) ioOrder.push_back(id);
  }

  auto run = runHeadless(
      lines, {},
      {"XDG_CONFIG_HOME=" + dir.path() + "/cfg", "XDG_CACHE_HOME=" + dir.path() + "/cache"}, 300);
  ASSERT_EQ(run.status, 0) << run.err;
  std::map<std::int64_t, int> answers;
  std::vector<std::int64_t> ioSeen;
  std::set<std::int64_t> ioIds(ioOrder.begin(), ioOrder.end());
  for (const auto& reply : run.replies()) {  // throws on any line that is not a reply call
    auto id = reply.at("id").get<std::int64_t>();
    ++answers[id];
    if (ioIds.count(id)) ioSeen.push_back(id);
  }
  EXPECT_EQ(answers.size(), accepted.size());
  for (auto id : accepted) EXPECT_EQ(answers[id], 1) << "request " << id;
  EXPECT_EQ(ioSeen, ioOrder);
  // The renames alternated, so exactly one of the two names exists: nothing was lost.
  EXPECT_NE(std::filesystem::exists(folder + "/f0.txt"),
            std::filesystem::exists(folder + "/g0.txt"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 41);
}

}  // namespace
}  // namespace quarrytide::testing
