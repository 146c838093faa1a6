// SIGKILL at random moments during a 20,000-item batch: after the next start
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
constexpr int kItems = 20000;
// In every hundred items, 95–97 take each other's names in a ring, and so do 98–99.
int cycleLength(int i) { return i % 100 >= 98 ? 2 : i % 100 >= 95 ? 3 : 0; }
// The item after the last of i's ring (0 when i is in none).
int cycle(int i) { return cycleLength(i) ? i - i % 100 + (i % 100 >= 98 ? 100 : 98) : 0; }

std::string canonical(int i) { return "item-" + std::to_string(i) + ".txt"; }

TEST(CrashSafety, KilledBatchesLoseAndDuplicateNothing) {
  TempDir dir;
  const fs::path folder = dir.folder("items");
  for (int i = 0; i < kItems; ++i) std::ofstream(folder / canonical(i)) << "content of item " << i;

  const std::vector<std::string> env = {"XDG_STATE_HOME=" + dir.folder("state")};
  std::mt19937 rng(12345);
  const char* roundsVar = std::getenv("QUARRYTIDE_CRASH_ROUNDS");
  const int rounds = roundsVar ? std::atoi(roundsVar) : 6;
  std::chrono::milliseconds moving{0};
  std::map<int, std::string> tags;  // what each item's tags were after the last round
  for (int round = 0; round < rounds; ++round) {
    // Renames, case-only changes and tag writes, mixed; and here and there
    // two or three items that take each other's names, sent as plain changes.
    nlohmann::json changes = nlohmann::json::array();
    std::map<int, std::string> target;
    const std::string r = std::to_string(round);
    for (int i = 0; i < kItems; ++i) {
      const std::string n = std::to_string(i), path = (folder / canonical(i)).string();
      if (int k = cycle(i))
        target[i] = canonical(i + 1 < k ? i + 1 : i + 1 - cycleLength(i));
      else if (i % 3 == 0)
        target[i] = "renamed-" + r + "-" + n + ".txt";
      else if (i % 3 == 1)
        target[i] = "ITEM-" + n + ".txt";
      else
        target[i] = canonical(i);
      changes.push_back({{"path", path}, {"newPath", (folder / target[i]).string()}});
      if (i % 3 == 2 && !cycle(i))
        changes.back().update(
            {{"setTags", true}, {"tags", {"round" + r}}, {"setLabel", true}, {"label", round % 8}});
    }
    // The first round runs to the end and tells how long the items take to
    // move here (from the first progress part to the reply, which describes
    // them afterwards); the others are killed (SIGKILL) that far into it.
    const auto delay = round ? moving * int(rng() % 70) / 100 : std::chrono::minutes(5);
    const HeadlessRun run =
        runHeadless({request(1, "runBatch", {{"changes", changes}})}, {}, env, delay, round > 0);
    if (round == 0) moving = run.ended - run.firstOutput;
    auto next = answered({request(2, "journalStatus")}, env);
    ASSERT_EQ(next.at(2)["payload"]["available"], true) << next.at(2);

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
      if (i % 3 != 2 || cycle(i)) continue;
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
    // Back to the canonical names for the next round, by the engine itself:
    // the items of a ring hold each other's names.
    nlohmann::json back = nlohmann::json::array();
    for (const auto& [i, p] : where)
      if (p.filename() != canonical(i))
        back.push_back({{"path", p.string()}, {"newPath", (folder / canonical(i)).string()}});
    ASSERT_EQ(answered({request(3, "runBatch", {{"changes", back}})}, env).at(3)["ok"], true);
  }
}

// SIGKILL at random moments while files move to another drive (each copied,
// checked, named, then removed): after the next start every file is in one
// place, whole, and no part of a copy is left anywhere.
TEST(CrashSafety, KilledMovesToAnotherDriveLeaveEachFileInOnePlace) {
  TempDir dir;
  const auto drive = TempDir::otherDrive(dir);
  if (!drive) GTEST_SKIP() << "no second file system";
  const fs::path card = dir.folder("card"), photos = fs::path(drive->path()) / "photos";
  const std::vector<std::string> env = {"XDG_STATE_HOME=" + dir.folder("state")};
  auto name = [](int i) { return "p" + std::to_string(i) + ".jpg"; };
  auto data = [](int i) { return std::string(2 << 20, char('a' + i % 26)) + std::to_string(i); };
  std::mt19937 rng(7);
  std::chrono::milliseconds whole{0};
  for (int round = 0; round < 5; ++round) {
    fs::remove_all(photos);  // each round moves all 24 from the card again
    nlohmann::json changes = nlohmann::json::array();
    for (int i = 0; i < 24; ++i) {
      if (!fs::exists(card / name(i))) std::ofstream(card / name(i)) << data(i);
      changes.push_back({{"path", card / name(i)}, {"newPath", photos / name(i)}});
    }
    const auto delay = round ? whole * int(rng() % 90) / 100 : std::chrono::minutes(1);
    const HeadlessRun run = runHeadless(
        {request(1, "runBatch", {{"changes", changes}, {"folders", true}})}, {}, env, delay);
    if (round == 0) whole = run.ended;
    answered({request(2, "journalStatus")}, env);
    for (int i = 0; i < 24; ++i) {
      const bool arrived = fs::exists(photos / name(i));
      ASSERT_NE(fs::exists(card / name(i)), arrived) << name(i) << " in round " << round;
      ASSERT_EQ(read(arrived ? photos / name(i) : card / name(i)), data(i)) << name(i);
    }
    for (const fs::path& folder : {card, photos})
      for (const auto& e : fs::directory_iterator(fs::exists(folder) ? folder : card))
        ASSERT_FALSE(e.path().filename().string().starts_with(".quarrytide-tmp-")) << e.path();
  }
}

}  // namespace
}  // namespace quarrytide::testing
