#include "settings_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include <nlohmann/json.hpp>

namespace quarrytide {
namespace {

constexpr const char* kKey = "lastRenameConfig";

std::string dirOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// mkdir -p, private to the user.
int makeDirs(const std::string& dir) {
  if (dir.empty() || dir == "/" || dir == ".") return 0;
  struct stat st;
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  if (int err = makeDirs(dirOf(dir))) return err;
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  return 0;
}

}  // namespace

std::string SettingsFile::defaultPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home ? home : "") + "/.config";
  }
  return base + "/quarrytide/settings.json";
}

SettingsFile::SettingsFile(std::string path) : path_(std::move(path)) {
  writer_.submit([this] { readOnce(); });
}

// The writer, the last member, runs what was submitted before anything goes.
SettingsFile::~SettingsFile() = default;

void SettingsFile::load(Done done) {
  std::unique_lock lock(mutex_);
  if (!loaded_) {
    loadWaiters_.push_back(std::move(done));
    return;
  }
  auto value = current_;
  lock.unlock();
  done(std::move(value));
}

void SettingsFile::save(std::string value, Done done) {
  bool queued;
  {
    std::lock_guard lock(mutex_);
    current_ = value;
    pending_ = std::move(value);
    saveWaiters_.push_back(std::move(done));
    queued = std::exchange(writeQueued_, true);
  }
  // One write at a time takes the latest value; piled-up saves share it.
  if (!queued) writer_.submit([this] { writeLatest(); });
}

void SettingsFile::readOnce() {
  auto stored = readFile();
  std::vector<Done> waiters;
  std::optional<std::string> answer;
  {
    std::lock_guard lock(mutex_);
    durable_ = stored;
    if (!pending_) current_ = stored;  // a save made before the read wins
    loaded_ = true;
    waiters.swap(loadWaiters_);
    answer = current_;
  }
  for (auto& w : waiters) w(answer);
}

void SettingsFile::writeLatest() {
  std::string value;
  std::vector<Done> waiters;
  {
    std::lock_guard lock(mutex_);
    writeQueued_ = false;
    value = std::move(*pending_);
    pending_.reset();
    waiters.swap(saveWaiters_);
  }
  auto failed = writeFile(value);
  {
    std::lock_guard lock(mutex_);
    if (!failed)
      durable_ = value;
    else if (!pending_)
      current_ = durable_;  // the earlier value is still the stored one
  }
  for (auto& w : waiters) w(failed);
}

std::optional<std::string> SettingsFile::readFile() const {
  std::ifstream in(path_, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  auto doc = nlohmann::json::parse(text.str(), nullptr, /*allow_exceptions=*/false);
  if (!doc.is_object()) return std::nullopt;  // missing, empty or corrupt: nothing stored
  auto it = doc.find(kKey);
  if (it == doc.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

std::optional<std::string> writeFileAtomically(const std::string& path, const std::string& text) {
  const std::string dir = dirOf(path);
  auto failed = [](const std::string& what, int err) { return what + ": " + std::strerror(err); };
  if (int err = makeDirs(dir)) return failed(dir, err);
  // Write a temporary file beside the real one and rename it over: a crash
  // or a full disk leaves the earlier file whole.
  std::string tmp = path + ".XXXXXX";
  int fd = ::mkstemp(tmp.data());
  if (fd < 0) return failed(dir, errno);
  const char* p = text.data();
  std::size_t left = text.size();
  int err = 0;
  while (left > 0 && !err) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0)
      err = errno;
    else
      p += n, left -= static_cast<std::size_t>(n);
  }
  if (!err && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && !err) err = errno;
  if (!err && ::rename(tmp.c_str(), path.c_str()) != 0) err = errno;
  if (err) {
    ::unlink(tmp.c_str());
    return failed(path, err);
  }
  if (int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
    ::fsync(dfd);  // make the rename itself durable
    ::close(dfd);
  }
  return std::nullopt;
}

std::optional<std::string> SettingsFile::writeFile(const std::string& value) const {
  const std::string text =
      nlohmann::json{{kKey, value}}.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  if (auto error = writeFileAtomically(path_, text)) return "could not save settings: " + *error;
  return std::nullopt;
}

}  // namespace quarrytide
