#pragma once
// Runs quarrytide-headless as a process: feeds it lines, collects its output.

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace quarrytide::testing {

struct HeadlessRun {
  std::vector<std::string> lines;  // standard output, one script per line
  std::string err;                 // standard error
  int status = -1;                 // exit code, or -1 when it did not exit normally
  // From the start: when its first output came (-1: none) and when it ended.
  std::chrono::milliseconds firstOutput{-1}, ended{0};
  // The reply objects of the reply-call lines, parts left out (throws on other lines).
  std::vector<nlohmann::json> replies() const;
  // The same by id; an id answered twice throws too.
  std::map<std::int64_t, nlohmann::json> byId() const;
};

// One request line as the page posts it; without "args" when they are null.
std::string request(std::int64_t id, const std::string& cmd, const nlohmann::json& args = nullptr);

// `env` entries ("NAME=value") replace or add to the test's own environment;
// unless they name XDG_CONFIG_HOME, the run gets an empty config folder of its own.
// The run is killed (SIGKILL) when it takes longer than `limit`, counted from
// its first output when `fromFirstOutput`.
HeadlessRun runHeadless(const std::vector<std::string>& input,
                        const std::vector<std::string>& args = {},
                        const std::vector<std::string>& env = {},
                        std::chrono::milliseconds limit = std::chrono::minutes(1),
                        bool fromFirstOutput = false);

// The replies by id of a run that must exit with 0; else the test fails, showing standard error.
std::map<std::int64_t, nlohmann::json> answered(
    const std::vector<std::string>& input, const std::vector<std::string>& env = {},
    std::chrono::milliseconds limit = std::chrono::minutes(1));

}  // namespace quarrytide::testing
