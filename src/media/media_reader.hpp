#pragma once
// The app's side of quarrytide-probe: hands it paths and takes its answers.
// Helpers are started on demand and kept for the next request. A helper gets
// files one at a time, or several to a write while they prove quick; a slow
// file holds back no other: files are handed out in turn between the
// requests waiting, and one past the slow mark no longer counts against the
// helpers (the files sent after it go back to its request), so another starts
// for the files after it. A
// helper that crashes or takes longer than the limit on a file is killed and
// costs only that file, which is answered with "error". Never parses file
// contents.

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "media/probe_frames.hpp"

namespace quarrytide {

class MediaReader {
 public:
  // `probe` is the helper's program; `helpers` read at the usual pace at once.
  MediaReader(std::string probe, unsigned helpers,
              std::chrono::milliseconds limit = std::chrono::seconds(5));
  // Answers every request already made, then ends the helpers.
  ~MediaReader();
  MediaReader(const MediaReader&) = delete;
  MediaReader& operator=(const MediaReader&) = delete;

  using Done = std::function<void(std::vector<std::string> items)>;
  // Any thread; returns at once. `done` runs once, on one of the reader's
  // threads (or at once when no file needs a helper), with one JSON object
  // (as text: the helpers' answers are passed on without a second parse) per
  // path, in order: "path" as given, "kind", the fields the file has or
  // "error", and "hash" when `hash` names one ("md5", "sha1", "sha256",
  // "sha512"); with `all`, "tags": every field the libraries read, as text.
  void read(std::vector<std::string> paths, std::string hash, bool all, Done done);

  // Any thread; returns at once. `done` runs once, as `read`'s does, with
  // the photo's own preview whose shorter side has at least `pixels`: "bytes"
  // (binary: the JPEG), "previewWidth", "previewHeight", and from the photo
  // "orientation", "width" and "height" as stored; an object without "bytes"
  // when it has none or cannot be read.
  void readPreview(std::string path, int pixels, std::function<void(nlohmann::json)> done);
  // $QUARRYTIDE_PROBE, else quarrytide-probe beside this program.
  static std::string defaultProgram();

 private:
  struct Helper {
    pid_t pid = -1;
    int channel = -1;  // a socket: requests out, replies in
    FrameReader replies;
  };
  struct Request;
  struct Job {
    std::shared_ptr<Request> request;
    std::size_t index;
  };

  bool start(Helper& h) const;
  static void stop(Helper& h);
  // One thread: reads files while there are any, until the reader ends.
  void work();
  // The request's `files` through `h`, sent in one write and answered one by
  // one into the request's items; `slowed(k)` runs when files[k] passes the
  // slow mark, and the batch ends after it. Returns how many were answered:
  // fewer than all when one failed (the helper is then stopped).
  std::size_t readFiles(Helper& h, Request& request, const std::vector<std::size_t>& files,
                        const std::function<void(std::size_t)>& slowed);
  // The reply to the file sent first and not yet answered, as JSON text with
  // "path" added; `slowed` runs when it passes the slow mark. A helper that
  // fails is stopped.
  std::string readReply(Helper& h, const std::string& path, const std::function<void()>& slowed);
  void submit(std::vector<std::string> paths, std::string hash, std::string what, Done done);
  // With the lock held: a thread more when files wait and none is free.
  void grow();
  // With the lock held: files[from..] go back to `request`, unread, handed
  // out again before the files it has not handed out yet.
  void giveBack(const std::shared_ptr<Request>& request, const std::vector<std::size_t>& files,
                std::size_t from);

  std::string probe_;
  unsigned helpers_;
  std::chrono::milliseconds limit_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::shared_ptr<Request>> waiting_;  // with files not yet handed out, in turn
  std::vector<Helper> idle_;                      // started, waiting for the next file
  std::vector<std::thread> threads_;
  unsigned free_ = 0;     // threads waiting for a file
  unsigned reading_ = 0;  // files being read and not yet past the slow mark
  bool stopping_ = false;
};

// A JSON object's text with the member `key`: `value` (JSON text) put last,
// where it counts over one of the same key before it.
std::string withMember(std::string object, std::string_view key, const std::string& value);

}  // namespace quarrytide
