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

bool readAll(int fd, char* data, std::size_t size,
             std::optional<std::chrono::steady_clock::time_point> deadline) {
  while (size > 0) {
    if (deadline) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          *deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p{fd, POLLIN, 0};
      int ready = poll(&p, 1, int(left.count()));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return false;
    }
    ssize_t n = read(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= std::size_t(n);
  }
  return true;
}

}  // namespace

bool writeFrame(int fd, const std::string& body) {
  if (body.size() > kMaxProbeFrame) return false;
  // One write per frame: a frame is one system call on each side.
  std::uint32_t size = std::uint32_t(body.size());
  std::string frame(4 + body.size(), '\0');
  std::memcpy(frame.data(), &size, 4);
  std::memcpy(frame.data() + 4, body.data(), body.size());
  return writeAll(fd, frame.data(), frame.size());
}

std::optional<std::string> readFrame(
    int fd, std::optional<std::chrono::steady_clock::time_point> deadline) {
  char head[4];
  if (!readAll(fd, head, 4, deadline)) return std::nullopt;
  std::uint32_t size = 0;
  std::memcpy(&size, head, 4);
  if (size > kMaxProbeFrame) return std::nullopt;
  std::string body(size, '\0');
  if (!readAll(fd, body.data(), size, deadline)) return std::nullopt;
  return body;
}

}  // namespace quarrytide
