#include "media/media_reader.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "catalogue/page_path.hpp"
#include "media/file_digest.hpp"
#include "media/media_kind.hpp"
#include "media/probe_frames.hpp"

extern char** environ;

namespace quarrytide {

namespace {

// A file still unread after this share of the limit no longer counts as one
// of the helpers reading at the usual pace; at most this many times as many
// helpers run at once, slow ones included.
constexpr int kSlowMark = 5;
constexpr unsigned kMostHelpers = 4;
// Files that a helper reads quickly go to it this many to a write: one
// exchange of messages and one wake-up per file cost more than reading a
// small photo's fields. Files slower than kQuickFile each go one at a time,
// so that a slow file holds back no other in its batch.
constexpr std::size_t kBatch = 16;
constexpr auto kQuickFile = std::chrono::milliseconds(2);

std::string text(const nlohmann::json& j) {
  return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string failed(const std::string& path, const std::string& why) {
  return text({{"path", path}, {"kind", mediaKindName(mediaKindOf(path))}, {"error", why}});
}

}  // namespace

struct MediaReader::Request {
  std::vector<std::string> paths;
  std::string hash;
  std::string what;  // after the path's NUL: "all", a preview request, or nothing
  Done done;
  std::vector<std::string> items;  // JSON object texts
  std::vector<std::size_t> todo;   // the items a helper reads
  std::size_t next = 0;            // into `todo`: the next one to hand out
  std::vector<std::size_t> again;  // items handed back unread, handed out first
  std::size_t left = 0;            // items not answered yet
  bool queued = false;             // in `waiting_`

  std::size_t unhanded() const { return again.size() + todo.size() - next; }
  bool more() const { return unhanded() > 0; }
  // Up to `count` items to read, the ones handed back first.
  std::vector<std::size_t> take(std::size_t count) {
    std::vector<std::size_t> out;
    while (out.size() < count && !again.empty()) {
      out.push_back(again.back());
      again.pop_back();
    }
    while (out.size() < count && next < todo.size()) out.push_back(todo[next++]);
    return out;
  }
};

MediaReader::MediaReader(std::string probe, unsigned helpers, std::chrono::milliseconds limit)
    : probe_(std::move(probe)), helpers_(std::max(1u, helpers)), limit_(limit) {}

MediaReader::~MediaReader() {
  std::unique_lock lock(mutex_);
  stopping_ = true;
  wake_.notify_all();
  while (!threads_.empty()) {  // a thread may still start another
    std::thread last = std::move(threads_.back());
    threads_.pop_back();
    lock.unlock();
    last.join();
    lock.lock();
  }
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

void MediaReader::read(std::vector<std::string> paths, std::string hash, bool all, Done done) {
  submit(std::move(paths), std::move(hash), all ? "all" : "", std::move(done));
}

void MediaReader::readPreview(std::string path, int pixels,
                              std::function<void(nlohmann::json)> done) {
  submit({std::move(path)}, "", std::string(kPreviewRequest) + std::to_string(pixels),
         [done = std::move(done)](std::vector<std::string> items) {
           // a preview's bytes follow its JSON after a NUL
           const std::string& item = items[0];
           const std::size_t nul = item.find('\0');
           auto fields = nlohmann::json::parse(item.substr(0, nul), nullptr, false);
           if (fields.is_object() && nul != std::string::npos)
             fields["bytes"] = nlohmann::json::binary_t(
                 std::vector<std::uint8_t>(item.begin() + std::ptrdiff_t(nul) + 1, item.end()));
           done(fields.is_object() ? std::move(fields) : nlohmann::json::object());
         });
}

void MediaReader::submit(std::vector<std::string> paths, std::string hash, std::string what,
                         Done done) {
  auto request = std::make_shared<Request>();
  request->items.resize(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (namesNoItem(paths[i]))
      request->items[i] = failed(paths[i], "No such file or directory");
    else
      request->todo.push_back(i);
  }
  if (request->todo.empty()) {
    done(std::move(request->items));
    return;
  }
  request->paths = std::move(paths);
  request->hash = std::move(hash);
  request->what = std::move(what);
  request->done = std::move(done);
  request->left = request->todo.size();
  std::lock_guard lock(mutex_);
  request->queued = true;
  waiting_.push_back(std::move(request));
  grow();
}

void MediaReader::grow() {
  if (waiting_.empty() || reading_ >= helpers_) return;
  if (free_ > 0)
    wake_.notify_one();
  else if (threads_.size() < kMostHelpers * helpers_)
    threads_.emplace_back([this] { work(); });
}

void MediaReader::work() {
  Helper h;
  std::size_t batch = 1;  // files to a write: more once this helper's files prove quick
  std::unique_lock lock(mutex_);
  auto ready = [&] { return !waiting_.empty() && reading_ < helpers_; };
  for (;;) {
    if (!ready() && h.pid >= 0) {  // nothing to read: the helper waits among the idle
      if (idle_.size() < helpers_)
        idle_.push_back(std::exchange(h, Helper()));
      else
        stop(h);
    }
    ++free_;
    wake_.wait(lock, [&] { return ready() || (stopping_ && waiting_.empty()); });
    --free_;
    if (!ready()) break;
    // Files of the first request waiting, which then waits behind the others.
    std::shared_ptr<Request> request = std::move(waiting_.front());
    waiting_.pop_front();
    // no more than a fair share of what is left, so that the helpers end together
    const std::vector<std::size_t> mine =
        request->take(std::min(batch, std::max<std::size_t>(1, request->unhanded() / helpers_)));
    request->queued = request->more();
    if (request->queued) waiting_.push_back(request);
    ++reading_;
    grow();
    if (h.pid < 0 && !idle_.empty()) {
      h = std::move(idle_.back());
      idle_.pop_back();
    }
    lock.unlock();

    const auto begin = std::chrono::steady_clock::now();
    bool slow = false;
    // The files after one that passes the slow mark go back to the request,
    // for other helpers: a slow file costs only its own time.
    const std::size_t read = readFiles(h, *request, mine, [&](std::size_t at) {
      std::lock_guard relock(mutex_);
      slow = true;
      --reading_;
      giveBack(request, mine, at + 1);
      grow();
    });
    const auto each = (std::chrono::steady_clock::now() - begin) / std::max<std::size_t>(1, read);
    batch = !slow && read == mine.size() && each < kQuickFile ? kBatch : 1;

    lock.lock();
    if (!slow) --reading_;
    // A batch cut short by a failure hands its unread files back as well.
    if (!slow && read < mine.size()) {
      giveBack(request, mine, read);
      grow();
    }
    request->left -= read;
    if (request->left == 0) {
      lock.unlock();
      request->done(std::move(request->items));
      lock.lock();
    }
  }
  if (h.pid >= 0) stop(h);
}

void MediaReader::giveBack(const std::shared_ptr<Request>& request,
                           const std::vector<std::size_t>& files, std::size_t from) {
  for (std::size_t k = files.size(); k-- > from;) request->again.push_back(files[k]);
  if (!request->queued && request->more()) {
    request->queued = true;
    waiting_.push_back(request);
  }
}

std::size_t MediaReader::readFiles(Helper& h, Request& request,
                                   const std::vector<std::size_t>& files,
                                   const std::function<void(std::size_t)>& slowed) {
  // A frame is a path, and after a NUL (which no path holds) what else to
  // read; the frames of a batch go out in one write.
  std::string frames;
  for (std::size_t i : files) {
    const std::string body =
        plainPath(request.paths[i]) + (request.what.empty() ? "" : '\0' + request.what);
    frameInto(frames, body);
  }
  // A kept helper may have ended since its last file: one fresh start.
  if (h.pid < 0 || !writeFrames(h.channel, frames)) {
    stop(h);
    if (!start(h) || !writeFrames(h.channel, frames)) {
      stop(h);
      for (std::size_t i : files)
        request.items[i] = failed(request.paths[i], "the media reader could not be started");
      return files.size();
    }
  }
  for (std::size_t k = 0; k < files.size(); ++k) {
    const std::size_t i = files[k];
    bool slow = false;
    std::string item = readReply(h, request.paths[i], [&] {
      slow = true;
      slowed(k);
    });
    if (!request.hash.empty()) {
      FileDigest digest = digestFile(plainPath(request.paths[i]), request.hash);
      if (!digest.hex.empty()) {
        item = withMember(std::move(item), "hash", text(digest.hex));
      } else if (!digest.error.empty()) {
        // rare: the item is looked into, for an error of its own first
        auto fields = nlohmann::json::parse(item, nullptr, false);
        if (fields.is_object() && !fields.contains("error")) fields["error"] = digest.error;
        if (fields.is_object()) item = text(fields);
      }
    }
    request.items[i] = std::move(item);
    // After a failure the helper is gone, and with it the files sent after
    // this one; after a slow file they are another helper's now.
    if (h.pid < 0 || slow) {
      if (slow && k + 1 < files.size()) stop(h);
      return k + 1;
    }
  }
  return files.size();
}

std::string MediaReader::readReply(Helper& h, const std::string& path,
                                   const std::function<void()>& slowed) {
  const auto begin = std::chrono::steady_clock::now();
  const auto mark = begin + limit_ / kSlowMark, deadline = begin + limit_;
  auto reply = h.replies.next(mark);
  if (!reply && std::chrono::steady_clock::now() >= mark) {
    slowed();
    reply = h.replies.next(deadline);
  }
  // The helper's JSON is passed on as it came, once checked whole (it goes
  // into the page's script); a preview's bytes follow it after a NUL.
  const std::size_t nul = reply ? reply->find('\0') : std::string::npos;
  const bool valid =
      reply && reply->starts_with('{') &&
      nlohmann::json::accept(reply->begin(), nul == std::string::npos
                                                 ? reply->end()
                                                 : reply->begin() + std::ptrdiff_t(nul));
  if (!valid) {
    const bool late = std::chrono::steady_clock::now() >= deadline;
    stop(h);  // the next file gets a fresh one
    return failed(path, late ? "took too long to read" : "the reader failed on this file");
  }
  if (nul == std::string::npos) return withMember(std::move(*reply), "path", text(path));
  return withMember(reply->substr(0, nul), "path", text(path)) + reply->substr(nul);
}

std::string withMember(std::string object, std::string_view key, const std::string& value) {
  // Put last: of a key given twice, the last one counts, and the app's own
  // "path" must not be a helper's.
  const std::size_t end = object.find_last_of('}');
  if (end == std::string::npos) return object;
  const bool empty = object.find_last_not_of(" \t\r\n", end - 1) == 0;  // "{" alone before it
  return object.insert(end, (empty ? "\"" : ",\"") + std::string(key) + "\":" + value);
}

}  // namespace quarrytide
