#pragma once
// Plain fakes for the bridge's seams, for the unit tests (through fakes.hpp)
// and the fuzz targets alike: no gmock here, the fuzz build has none. Nothing
// here touches the file system.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "call_argument.hpp"

#include "bridge.hpp"
#include "main_queue.hpp"

namespace quarrytide::testing {

using Answer = std::function<void(std::optional<std::string>)>;

// The test thread plays the main thread: nothing posted runs until run().
class FakeMain final : public MainDispatcher {
 public:
  void post(Task task) override {
    queue_.post(std::move(task));
    std::lock_guard lock(m_);
    ++posted_;
    cv_.notify_all();
  }
  void run() { queue_.drain(); }
  // Waits (bounded) until `n` tasks in all have been posted, then runs them.
  bool runUntilPosted(std::size_t n, std::chrono::seconds limit = std::chrono::seconds(20)) {
    std::unique_lock lock(m_);
    bool ok = cv_.wait_for(lock, limit, [&] { return posted_ >= n; });
    lock.unlock();
    run();
    return ok;
  }

 private:
  MainQueue queue_{[] {}};
  std::mutex m_;
  std::condition_variable cv_;
  std::size_t posted_ = 0;
};

class RecordingSink final : public ScriptSink {
 public:
  void evaluate(const std::string& script) override { scripts.push_back(script); }
  // The reply objects of the reply calls evaluated so far.
  std::vector<nlohmann::json> replies() const {
    std::vector<nlohmann::json> out;
    for (const auto& s : scripts)
      if (auto reply = callArgument(s, "window.__bridgeResolveRaw("); !reply.is_discarded())
        out.push_back(std::move(reply));
    return out;
  }
  // Their ids, in the order evaluated.
  std::vector<std::int64_t> ids() const {
    std::vector<std::int64_t> out;
    for (const auto& r : replies()) out.push_back(r["id"].get<std::int64_t>());
    return out;
  }
  std::vector<std::string> scripts;
};

// Keeps the value in memory. A save fails, keeping the earlier value, with
// what `failIf` says of the new value.
class MemorySettings final : public SettingsStore {
 public:
  void load(Answer done) override { done(value); }
  void save(std::string v, Answer done) override {
    auto failure = failIf ? failIf(v) : std::nullopt;
    if (!failure) value = std::move(v);
    done(failure);
  }
  std::optional<std::string> value;
  std::function<std::optional<std::string>(const std::string&)> failIf;
};

// Records each request and leaves it pending for the test to answer; with
// `answerNow` set, answers at once with what it gives and records nothing.
class FakeChooser final : public FolderChooser {
 public:
  void show(const std::optional<std::string>& start, Answer done) override {
    if (answerNow) return done(answerNow());
    starts.push_back(start);
    pending.push_back(std::move(done));
  }
  std::vector<std::optional<std::string>> starts;
  std::vector<Answer> pending;
  std::function<std::optional<std::string>()> answerNow;
};

// Records what it was asked to show and answers at once with `failWith`.
class FakeBrowser final : public FileBrowser {
 public:
  void reveal(const std::vector<std::string>& paths, Answer done) override {
    revealed.push_back(paths);
    done(failWith);
  }
  std::vector<std::vector<std::string>> revealed;
  std::optional<std::string> failWith;
};

// A record with only the path and its name filled in, as fakes hand out.
inline FileRecord recordAt(const std::string& path) {
  FileRecord r;
  r.path = path;
  r.name = r.basename = path.substr(path.rfind('/') + 1);
  return r;
}

// Makes every record up from the path asked for, odd bytes included.
class MadeUpCatalogue final : public Catalogue {
 public:
  std::vector<FileRecord> listFolder(const std::string& folder, ListingMode mode) override {
    const int count = mode.foldersOnly ? 1 : mode.recursive ? 3 : 2;
    std::vector<FileRecord> out;
    for (int i = 0; i < count; ++i) out.push_back(fileInfo(folder + "/f" + std::to_string(i)));
    return out;
  }
  std::optional<FileRecord> describe(const std::string& path) override {
    return path.size() % 3 ? std::optional(fileInfo(path)) : std::nullopt;
  }
  std::optional<bool> isDirectory(const std::string& path) override {
    return path.empty() ? std::nullopt : std::optional(path.back() == 'd');
  }
  FileRecord fileInfo(const std::string& path) override {
    FileRecord r = recordAt(path);
    r.name = r.basename += "\xff";  // not UTF-8 on purpose
    r.tags = {path, "Red"};
    r.label = static_cast<std::int64_t>(path.size() % 8);
    r.comment = path;
    r.created = r.modified = 1.5e12;
    return r;
  }
  OpResult applyOp(const Operation& op) override {
    if (!op.path)
      return {false,          std::nullopt,           std::nullopt,
              "missing path", ErrorCode::kBadRequest, OpResult::Stage::kNone};
    return {true,         op.path,      *op.path + "/" + op.newName.value_or(""),
            std::nullopt, std::nullopt, OpResult::Stage::kNone};
  }
};

}  // namespace quarrytide::testing
