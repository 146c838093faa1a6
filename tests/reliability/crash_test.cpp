// SIGKILL at random moments during a 10,000-item batch: after the next start
// (which repairs from the journal) every item exists exactly once, under its
// old name or its new name, with its content and its tags whole.
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
// The last two of every hundred items swap names.
bool swapped(int i) { return i % 100 >= 98; }

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
  std::map<int, std::string> tags;  // what each item's tags were after the last round
  for (int round = 0; round < rounds; ++round) {
    // Renames, case-only changes and tag writes, mixed; and here and there a
    // pair that swaps names through a temporary name, as the page sends it.
    nlohmann::json ops = nlohmann::json::array();
    std::map<int, std::string> target;
    const std::string r = std::to_string(round);
    for (int i = 0; i < kItems; ++i) {
      const std::string n = std::to_string(i), path = (folder / canonical(i)).string();
      if (swapped(i)) {
        const std::string swap = ".qt-swap-" + r + "-" + n;
        target[i] = canonical(i + 1), target[i + 1] = canonical(i);
        ops.push_back({{"path", path}, {"newName", swap}});
        ops.push_back({{"path", (folder / canonical(i + 1)).string()}, {"newName", target[i + 1]}});
        ops.push_back({{"path", (folder / swap).string()}, {"newName", target[i]}});
        ++i;
        continue;
      }
      target[i] = i % 3 == 0   ? "renamed-" + r + "-" + n + ".txt"
                  : i % 3 == 1 ? "ITEM-" + n + ".txt"
                               : canonical(i);
      ops.push_back({{"path", path}, {"newName", target[i]}});
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
    auto next = answered({request(2, "journalStatus")}, env);
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
      // Its tags as before this round, or as this round set them.
      if (i % 3 != 2 || swapped(i)) continue;
      const std::string now = xattr(e.path(), "user.xdg.tags").value_or("");
      const bool whole = now == tags[i] || now == "round" + r || now.starts_with("round" + r + ",");
      ASSERT_TRUE(whole) << "item " << i << " has tags " << now << " (round " << round << ")";
      tags[i] = now;
    }
    ASSERT_EQ(where.size(), static_cast<std::size_t>(kItems)) << "items lost in round " << round;
    std::size_t moved = 0;
    for (const auto& [i, p] : where) moved += p.filename() != canonical(i);
    std::printf("round %d: killed after %ld ms, %zu of %d items had moved\n", round,
                static_cast<long>(round ? delay.count() : -1), moved, kItems);
    // Back to the canonical names for the next round (through other names:
    // a swapped pair holds each other's).
    for (auto& [i, p] : where)
      if (p.filename() != canonical(i)) {
        const fs::path aside = folder / ("back-" + std::to_string(i));
        fs::rename(p, aside);
        p = aside;
      }
    for (const auto& [i, p] : where)
      if (p.filename() != canonical(i)) fs::rename(p, folder / canonical(i));
  }
}

}  // namespace
}  // namespace quarrytide::testing
