#pragma once
// Requests and the replies they must get, written as a transcript: a line
// "request => reply" (JSON texts) each, a long reply going on over the lines
// that follow, which hold no "=>".

#include <chrono>
#include <source_location>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace quarrytide::testing {

// The transcript's requests, as sent, and the replies, in order.
inline std::pair<std::vector<std::string>, nlohmann::json> exchanges(const std::string& text) {
  std::vector<std::string> requests, replies;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const auto start = line.find_first_not_of(' '), arrow = line.find(" => ");
    if (arrow != std::string::npos) {
      requests.push_back(line.substr(start, arrow - start));
      replies.push_back(line.substr(arrow + 4));
    } else if (!replies.empty()) {
      replies.back() += line;
    }
  }
  nlohmann::json expected = nlohmann::json::array();
  for (const auto& r : replies) expected.push_back(nlohmann::json::parse(r));
  return {requests, expected};
}

// Sends every request of the transcript to a BridgeRig, then checks that
// exactly the replies listed come back, in order: at once (the main queue run
// once), or else waiting (bounded) for replies made on the io thread.
enum class Replies { atOnce, afterIo };
template <class Rig>
void expectTranscript(Rig& rig, const std::string& text, Replies when = Replies::afterIo,
                      std::source_location where = std::source_location::current()) {
  const ::testing::ScopedTrace trace(where.file_name(), static_cast<int>(where.line()), "here");
  const auto [requests, expected] = exchanges(text);
  const std::size_t before = rig.sink.replies().size();
  for (const auto& r : requests) rig.bridge->receiveText(r);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  rig.main.run();
  while (when == Replies::afterIo && rig.sink.replies().size() < before + requests.size() &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    rig.main.run();
  }
  const auto replies = rig.sink.replies();
  EXPECT_EQ(replies.size() - before, requests.size()) << "replies, one per request";
  for (std::size_t i = 0; i < requests.size() && before + i < replies.size(); ++i)
    EXPECT_EQ(replies[before + i], expected[i]) << requests[i];
}

}  // namespace quarrytide::testing
