// SIGKILL at random moments during a 10,000-item batch: after the next start
// (which repairs from the journal) every item exists exactly once, under its
// old name or its new name, with its content intact.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include <nlohmann/json.hpp>

#include "files.hpp"
#include "headless.hpp"
#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

namespace fs = std::filesystem;
constexpr int kItems = 10000;

std::string canonical(int i) { return "item-" + std::to_string(i) + ".txt"; }

TEST(CrashSafety, KilledBatchesLoseAndDuplicateNothing) {
  TempDir dir;
  const fs::path folder = dir.folder("items");
  for (int i = 0; i < kItems; ++i) std::ofstream(folder / canonical(i)) << "content of item " << i;

  const std::vector<std::string> env = {"XDG_STATE_HOME=" + dir.folder("state")};
  std::mt19937 rng(12345);
  const char* roundsVar = std::getenv("QUARRYTIDE_CRASH_ROUNDS");
  const int rounds = roundsVar ? std::atoi(roundsVar) : 6;
  std::chrono::milliseconds batchTime{0};
  for (int round = 0; round < rounds; ++round) {
    // Renames, case-only changes and tag writes, mixed.
    nlohmann::json ops = nlohmann::json::array();
    std::map<int, std::string> target;
    for (int i = 0; i < kItems; ++i) {
      const std::string r = std::to_string(round), n = std::to_string(i);
      target[i] = i % 3 == 0   ? "renamed-" + r + "-" + n + ".txt"
                  : i % 3 == 1 ? "ITEM-" + n + ".txt"
                               : canonical(i);
      ops.push_back({{"path", (folder / canonical(i)).string()}, {"newName", target[i]}});
      if (i % 3 == 2)
        ops.back().update(
            {{"setTags", true}, {"tags", {"round" + r}}, {"setLabel", true}, {"label", round % 8}});
    }
    // The first round runs to the end and tells how long a batch takes here;
    // the others are killed (SIGKILL) somewhere inside that time.
    const auto delay = round ? batchTime * int(5 + rng() % 90) / 100 : std::chrono::milliseconds(0);
    const auto start = std::chrono::steady_clock::now();
    runHeadless({request(1, "apply", {{"ops", ops}})}, {}, env,
                round ? delay : std::chrono::minutes(5));
    auto next = runHeadless({request(2, "journalStatus")}, {}, env).byId();
    ASSERT_EQ(next.at(2)["payload"]["available"], true) << next.at(2);
    if (round == 0)
      batchTime = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - start);

    // Every item once, under its old name or its new name.
    std::map<std::string, int> byContent;
    std::map<int, fs::path> where;
    for (const auto& e : fs::directory_iterator(folder)) {
      std::string content = read(e.path());
      ASSERT_EQ(content.rfind("content of item ", 0), 0u) << e.path() << " holds " << content;
      int i = std::stoi(content.substr(16));
      ASSERT_EQ(++byContent[content], 1) << "item " << i << " exists twice";
      std::string name = e.path().filename().string();
      bool expected = name == canonical(i) || name == target[i];
      ASSERT_TRUE(expected) << "item " << i << " is named " << name << " (round " << round << ")";
      where[i] = e.path();
    }
    ASSERT_EQ(where.size(), static_cast<std::size_t>(kItems)) << "items lost in round " << round;
    std::size_t moved = 0;
    for (const auto& [i, p] : where) moved += p.filename() != canonical(i);
    std::printf("round %d: killed after %ld ms, %zu of %d items had moved\n", round,
                static_cast<long>(round ? delay.count() : -1), moved, kItems);
    // Back to the canonical names for the next round.
    for (const auto& [i, p] : where)
      if (p.filename() != canonical(i)) fs::rename(p, folder / canonical(i));
  }
}

}  // namespace
}  // namespace quarrytide::testing
