// quarrytide-probe: reads the media fields of the files the app names, one
// frame each way per file (see probe_frames.hpp), on standard input and
// output. The app starts it and kills it when a file takes too long; a
// crash here costs the app only the file being read.

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "media/probe_frames.hpp"
#include "media/read_media.hpp"
#include "media/readers.hpp"
#include "media/sandbox.hpp"

using namespace quarrytide;

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("quarrytide-probe");
    return 0;
  }
  // Frames go out on their own descriptor: a library that prints to standard
  // output must not corrupt them.
  int replies = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (replies < 0 || devNull < 0 || dup2(devNull, STDOUT_FILENO) < 0) return 1;
  close(devNull);

  initReaders();
  if (std::string why = enterReadOnlySandbox(); !why.empty())
    std::fprintf(stderr, "quarrytide-probe: running without its sandbox: %s\n", why.c_str());

  FrameReader requests(STDIN_FILENO);
  // Replies to requests that came together go out together, in one write, as
  // long as that keeps the first of them waiting only briefly: a wake-up of
  // the app per file cost more than reading a small photo.
  constexpr auto kHoldReplies = std::chrono::milliseconds(5);
  std::string held;
  std::chrono::steady_clock::time_point first;
  while (auto frame = requests.next()) {
    // "PATH", "PATH\0all" for every tag too, or "PATH\0preview:PIXELS"
    const std::size_t nul = frame->find('\0');
    const std::string path = frame->substr(0, nul);
    const std::string what = nul == std::string::npos ? "" : frame->substr(nul + 1);
    std::string bytes;
    nlohmann::json reply =
        what.rfind(kPreviewRequest, 0) == 0
            ? readPreviewFile(path, std::atoi(what.c_str() + kPreviewRequest.size()), bytes)
            : readMediaFile(path, what == "all");
    // Tags are anyone's bytes: text that is not UTF-8 is repaired, not refused.
    std::string body = reply.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    if (!bytes.empty()) body.append(1, '\0').append(bytes);  // JSON text holds no NUL
    if (held.empty()) first = std::chrono::steady_clock::now();
    if (!frameInto(held, body)) return 1;
    if (requests.ready() && held.size() < (1u << 16) &&
        std::chrono::steady_clock::now() - first < kHoldReplies)
      continue;
    if (!writeFrames(replies, held)) return 1;
    held.clear();
  }
  return 0;
}
