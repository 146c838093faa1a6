#pragma once
// The frames the app and quarrytide-probe exchange over a pipe: a 4-byte
// length (host order: both ends are this machine) and that many bytes. A
// request is a path's bytes; a reply is JSON.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace quarrytide {

// A request for a photo's own preview: "PATH\0preview:PIXELS". Its reply is
// the JSON, then a NUL and the JPEG's bytes when there is one.
inline constexpr std::string_view kPreviewRequest = "preview:";

// The largest frame either end accepts: a longer length is a broken peer.
inline constexpr std::size_t kMaxProbeFrame = 64u << 20;

// Writes the whole frame; false when the peer is gone.
bool writeFrame(int fd, const std::string& body);
// Appends `body` as a frame to `out`, for several frames in one write; false
// when it is too long for one.
bool frameInto(std::string& out, const std::string& body);
// Writes frames made by frameInto; false when the peer is gone.
bool writeFrames(int fd, const std::string& frames);
// Reads the frames arriving on one descriptor. Frames sent ahead arrive
// together: one read takes in as many as there are.
class FrameReader {
 public:
  explicit FrameReader(int fd = -1) : fd_(fd) {}
  // The next frame. `deadline` (for the app) limits the wait; nullopt on end
  // of input, a broken frame or the deadline passing.
  std::optional<std::string> next(
      std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);
  // Whether the next frame has arrived whole already: next() will not wait.
  bool ready() const;

 private:
  // The length of the next frame, once its 4 bytes have arrived.
  std::optional<std::size_t> nextSize() const;

  int fd_;
  std::string buffer_;
  std::size_t start_ = 0;  // where the unread part of `buffer_` begins
};

}  // namespace quarrytide
