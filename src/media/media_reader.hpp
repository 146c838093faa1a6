#pragma once
// The app's side of quarrytide-probe: hands it paths and takes its answers.
// Helpers are started on demand and kept for the next request; a helper that
// crashes or takes longer than the limit on a file is killed and costs only
// that file, which is answered with "error". Never parses file contents.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "media/probe_frames.hpp"

namespace quarrytide {

class MediaReader {
 public:
  // `probe` is the helper's program; up to `helpers` run at once.
  MediaReader(std::string probe, unsigned helpers,
              std::chrono::milliseconds limit = std::chrono::seconds(5));
  // Ends the helpers. No read() may be running.
  ~MediaReader();
  MediaReader(const MediaReader&) = delete;
  MediaReader& operator=(const MediaReader&) = delete;

  // Any thread; blocks until every path is answered. One object per path,
  // in order: "path" as given, "kind", the fields the file has or "error",
  // and "hash" when `hash` names one ("md5", "sha1", "sha256", "sha512").
  nlohmann::json read(const std::vector<std::string>& paths, const std::string& hash);

  // $QUARRYTIDE_PROBE, else quarrytide-probe beside this program.
  static std::string defaultProgram();

 private:
  struct Helper {
    pid_t pid = -1;
    int channel = -1;  // a socket: requests out, replies in
    FrameReader replies;
  };
  // Files a helper is sent before its first answer comes back.
  static constexpr std::size_t kAhead = 16;

  bool start(Helper& h) const;
  static void stop(Helper& h);
  // One thread's share of a read: takes paths from `next` until none is left.
  void work(const std::vector<std::string>& paths, const std::string& hash,
            std::atomic<std::size_t>& next, std::vector<nlohmann::json>& items);

  std::string probe_;
  unsigned helpers_;
  std::chrono::milliseconds limit_;
  std::mutex mutex_;
  std::vector<Helper> idle_;  // started, waiting for the next request
};

}  // namespace quarrytide
