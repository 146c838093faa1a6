#pragma once
// Runs quarrytide-headless as a process: feeds it lines, collects its output.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace quarrytide::testing {

struct HeadlessRun {
  std::vector<std::string> lines;  // standard output, one script per line
  std::string err;                 // standard error
  int status = -1;                 // exit code, or -1 when it did not exit normally
  // The reply objects of the reply-call lines (aborts the test on other lines).
  std::vector<nlohmann::json> replies() const;
};

// `env` entries ("NAME=value") are added to the test's own environment.
// The run is killed when it takes longer than `timeoutSeconds`.
HeadlessRun runHeadless(const std::vector<std::string>& input,
                        const std::vector<std::string>& args = {},
                        const std::vector<std::string>& env = {}, int timeoutSeconds = 60);

// runHeadless with a configuration folder of its own, fresh and empty.
HeadlessRun runHeadlessFresh(const std::vector<std::string>& input,
                             const std::vector<std::string>& args = {});

// `text` with every "@" replaced by `folder`: requests and replies about a
// temporary folder, written as plain JSON.
inline std::string atFolder(std::string text, const std::string& folder) {
  for (auto at = text.find('@'); at != std::string::npos; at = text.find('@', at + folder.size()))
    text.replace(at, 1, folder);
  return text;
}

}  // namespace quarrytide::testing
