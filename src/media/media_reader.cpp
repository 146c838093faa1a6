#include "media/media_reader.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <thread>

#include "catalogue/page_path.hpp"
#include "media/media_kind.hpp"
#include "media/probe_frames.hpp"

extern char** environ;

namespace quarrytide {

namespace {

nlohmann::json failed(const std::string& path, const std::string& why) {
  return {{"path", path}, {"kind", mediaKindName(mediaKindOf(path))}, {"error", why}};
}

}  // namespace

MediaReader::MediaReader(std::string probe, unsigned helpers, std::chrono::milliseconds limit)
    : probe_(std::move(probe)), helpers_(std::max(1u, helpers)), limit_(limit) {}

MediaReader::~MediaReader() {
  for (auto& h : idle_) stop(h);
}

std::string MediaReader::defaultProgram() {
  if (const char* chosen = std::getenv("QUARRYTIDE_PROBE"); chosen && *chosen) return chosen;
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return "quarrytide-probe";
  std::string self(exe, std::size_t(n));
  return self.substr(0, self.rfind('/') + 1) + "quarrytide-probe";
}

bool MediaReader::start(Helper& h) const {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  char* argv[] = {const_cast<char*>(probe_.c_str()), nullptr};
  pid_t pid = -1;
  int rc = posix_spawn(&pid, probe_.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  if (rc != 0) {
    close(ends[0]);
    return false;
  }
  h = {pid, ends[0], FrameReader(ends[0])};
  return true;
}

void MediaReader::stop(Helper& h) {
  if (h.pid < 0) return;
  close(h.channel);  // a helper waiting for work ends at end of input
  kill(h.pid, SIGKILL);
  waitpid(h.pid, nullptr, 0);
  h = Helper();
}

void MediaReader::work(const std::vector<std::string>& paths, const std::string& hash,
                       std::atomic<std::size_t>& next, std::vector<nlohmann::json>& items) {
  Helper h;
  {
    std::lock_guard lock(mutex_);
    if (!idle_.empty()) {
      h = idle_.back();
      idle_.pop_back();
    }
  }
  // Requests go out ahead of the answers, so neither side waits for the
  // other between files; `sent` is what the helper holds, in order.
  std::deque<std::size_t> sent;
  auto send = [&](std::size_t i) {
    return h.pid >= 0 && writeFrame(h.channel, hash + '\0' + plainPath(paths[i]));
  };
  // A fresh helper gets what the last one held; false when none starts. One
  // that dies again while taking them has failed on the first of them: the
  // answer that never comes says so.
  auto restart = [&] {
    stop(h);
    if (!start(h)) return false;
    for (std::size_t i : sent)
      if (!send(i)) break;
    return true;
  };
  auto failAll = [&](const char* why) {
    for (std::size_t i : sent) items[i] = failed(paths[i], why);
    sent.clear();
    stop(h);
  };
  for (;;) {
    while (sent.size() < kAhead) {
      std::size_t i = next++;
      if (i >= paths.size()) break;
      if (namesNoItem(paths[i])) {
        items[i] = failed(paths[i], "No such file or directory");
        continue;
      }
      sent.push_back(i);
      if (!send(i) && !restart()) failAll("the media reader could not be started");
    }
    if (sent.empty()) break;
    const std::size_t i = sent.front();
    auto deadline = std::chrono::steady_clock::now() + limit_;
    auto reply = h.replies.next(deadline);
    auto fields = reply ? nlohmann::json::parse(*reply, nullptr, /*allow_exceptions=*/false)
                        : nlohmann::json();
    sent.pop_front();
    if (!fields.is_object()) {
      bool late = std::chrono::steady_clock::now() >= deadline;
      items[i] =
          failed(paths[i], late ? "took too long to read" : "the reader failed on this file");
      if (!restart()) failAll("the media reader could not be started");
      continue;
    }
    fields["path"] = paths[i];
    items[i] = std::move(fields);
  }
  std::lock_guard lock(mutex_);
  if (h.pid >= 0) idle_.push_back(h);
}

nlohmann::json MediaReader::read(const std::vector<std::string>& paths, const std::string& hash) {
  std::vector<nlohmann::json> items(paths.size());
  std::atomic<std::size_t> next{0};
  const unsigned workers = unsigned(std::min<std::size_t>(helpers_, paths.size()));
  std::vector<std::thread> threads;
  for (unsigned k = 1; k < workers; ++k)
    threads.emplace_back([&] { work(paths, hash, next, items); });
  if (workers > 0) work(paths, hash, next, items);
  for (auto& t : threads) t.join();
  return nlohmann::json(std::move(items));
}

}  // namespace quarrytide
