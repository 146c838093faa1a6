#include "media/probe_frames.hpp"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace quarrytide {

namespace {

bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    // A peer that is gone must give EPIPE, not a signal that ends this process.
    ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == ENOTSOCK) n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= std::size_t(n);
  }
  return true;
}

}  // namespace

bool frameInto(std::string& out, const std::string& body) {
  if (body.size() > kMaxProbeFrame) return false;
  std::uint32_t size = std::uint32_t(body.size());
  out.append(reinterpret_cast<const char*>(&size), 4).append(body);
  return true;
}

bool writeFrames(int fd, const std::string& frames) {
  return writeAll(fd, frames.data(), frames.size());
}

bool writeFrame(int fd, const std::string& body) {
  // One write per frame: a frame is one system call on each side.
  std::string frame;
  frame.reserve(4 + body.size());
  return frameInto(frame, body) && writeFrames(fd, frame);
}

std::optional<std::size_t> FrameReader::nextSize() const {
  if (buffer_.size() - start_ < 4) return std::nullopt;
  std::uint32_t size = 0;
  std::memcpy(&size, buffer_.data() + start_, 4);
  return size;
}

bool FrameReader::ready() const {
  const auto size = nextSize();
  return size && buffer_.size() - start_ >= 4 + *size;
}

std::optional<std::string> FrameReader::next(
    std::optional<std::chrono::steady_clock::time_point> deadline) {
  for (;;) {
    if (const auto size = nextSize()) {
      if (*size > kMaxProbeFrame) return std::nullopt;
      if (ready()) {
        std::string frame = buffer_.substr(start_ + 4, *size);
        start_ += 4 + *size;
        return frame;
      }
    }
    if (start_ > 0) {  // keep only the unread part
      buffer_.erase(0, start_);
      start_ = 0;
    }
    if (deadline) {
      // Rounded up, and a timeout checked again: poll may wake a little
      // early, and a caller tells "too late" from "ended" by the clock.
      auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline -
                                                               std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      pollfd p{fd_, POLLIN, 0};
      int ready = poll(&p, 1, int(left.count()));
      if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
      if (ready < 0) return std::nullopt;
    }
    char chunk[1 << 16];
    ssize_t n = read(fd_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    buffer_.append(chunk, std::size_t(n));
  }
}

}  // namespace quarrytide
