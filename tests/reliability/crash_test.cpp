// SIGKILL at random moments during a 10,000-item batch: afterwards every item
// exists exactly once, under its old name, its new name or a temporary name,
// with its content intact.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

namespace fs = std::filesystem;
constexpr int kItems = 10000;

std::string canonical(int i) { return "item-" + std::to_string(i) + ".txt"; }

std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Starts quarrytide-headless on `input` and kills it after `delay`; without a
// delay, lets it finish. Returns how long it ran.
std::chrono::microseconds runAndKill(const std::string& input,
                                     std::optional<std::chrono::microseconds> delay,
                                     const std::string& cfg) {
  auto start = std::chrono::steady_clock::now();
  const char* bin = std::getenv("QUARRYTIDE_BIN");
  std::string exe = std::string(bin ? bin : "build/bin") + "/quarrytide-headless";
  int in[2];
  if (pipe(in) != 0) std::abort();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    close(in[1]);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    setenv("XDG_CONFIG_HOME", cfg.c_str(), 1);
    execl(exe.c_str(), exe.c_str(), nullptr);
    _exit(127);
  }
  close(in[0]);
  std::thread writer([&] {
    signal(SIGPIPE, SIG_IGN);
    const char* p = input.data();
    std::size_t left = input.size();
    while (left > 0) {
      ssize_t n = write(in[1], p, left);
      if (n <= 0) break;
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    close(in[1]);
  });
  if (delay) {
    std::this_thread::sleep_for(*delay);
    kill(pid, SIGKILL);
  }
  writer.join();
  int status = 0;
  waitpid(pid, &status, 0);
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               start);
}

TEST(CrashSafety, KilledBatchesLoseAndDuplicateNothing) {
  TempDir dir;
  const fs::path folder = dir.path() + "/items";
  fs::create_directory(folder);
  for (int i = 0; i < kItems; ++i) std::ofstream(folder / canonical(i)) << "content of item " << i;

  std::mt19937 rng(12345);
  const int rounds = std::getenv("QUARRYTIDE_CRASH_ROUNDS")
                         ? std::atoi(std::getenv("QUARRYTIDE_CRASH_ROUNDS"))
                         : 6;
  std::chrono::microseconds batchTime{0};
  for (int round = 0; round < rounds; ++round) {
    // Renames, case-only changes and tag writes, mixed.
    nlohmann::json ops = nlohmann::json::array();
    std::map<int, std::string> target;
    for (int i = 0; i < kItems; ++i) {
      nlohmann::json op = {{"path", (folder / canonical(i)).string()}};
      switch (i % 3) {
        case 0:
          target[i] = "renamed-" + std::to_string(round) + "-" + std::to_string(i) + ".txt";
          break;
        case 1:
          target[i] = "ITEM-" + std::to_string(i) + ".txt";
          break;
        default:
          target[i] = canonical(i);
          op["setTags"] = true;
          op["tags"] = {"round" + std::to_string(round)};
          op["setLabel"] = true;
          op["label"] = round % 8;
      }
      op["newName"] = target[i];
      ops.push_back(op);
    }
    std::string input =
        nlohmann::json{{"id", 1}, {"cmd", "apply"}, {"args", {{"ops", ops}}}}.dump() + "\n";
    // The first round runs to the end and tells how long a batch takes here;
    // the others are killed somewhere inside that time.
    std::optional<std::chrono::microseconds> delay;
    if (round > 0) delay = std::chrono::microseconds(batchTime.count() * (5 + rng() % 90) / 100);
    auto ran = runAndKill(input, delay, dir.path() + "/cfg");
    if (round == 0) batchTime = ran;

    // Every item once, under its old name, its new name or a temporary name.
    std::map<std::string, int> byContent;
    std::map<int, fs::path> where;
    for (const auto& e : fs::directory_iterator(folder)) {
      std::string content = readAll(e.path());
      ASSERT_EQ(content.rfind("content of item ", 0), 0u) << e.path() << " holds " << content;
      int i = std::stoi(content.substr(16));
      ASSERT_EQ(++byContent[content], 1) << "item " << i << " exists twice";
      std::string name = e.path().filename().string();
      bool expected =
          name == canonical(i) || name == target[i] || name.rfind(".quarrytide-tmp-", 0) == 0;
      ASSERT_TRUE(expected) << "item " << i << " is named " << name << " (round " << round << ")";
      where[i] = e.path();
    }
    ASSERT_EQ(where.size(), static_cast<std::size_t>(kItems)) << "items lost in round " << round;
    std::size_t moved = 0;
    for (const auto& [i, p] : where) moved += p.filename() != canonical(i);
    std::printf("round %d: killed after %ld ms, %zu of %d items had moved\n", round,
                static_cast<long>(delay ? delay->count() / 1000 : -1), moved, kItems);
    // Back to the canonical names for the next round.
    for (const auto& [i, p] : where)
      if (p.filename() != canonical(i)) fs::rename(p, folder / canonical(i));
  }
}

}  // namespace
}  // namespace quarrytide::testing
