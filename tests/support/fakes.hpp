#pragma once
// Test doubles for the bridge's seams. The test thread plays the main thread:
// nothing posted to FakeMain runs until the test calls run().

#include <gmock/gmock.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "bridge.hpp"
#include "main_queue.hpp"

namespace quarrytide::testing {

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
    const std::string prefix = "window.__bridgeResolveRaw(";
    for (const auto& s : scripts)
      if (s.rfind(prefix, 0) == 0 && s.back() == ')')
        out.push_back(nlohmann::json::parse(s.substr(prefix.size(), s.size() - prefix.size() - 1)));
    return out;
  }
  std::vector<std::string> scripts;
};

class MemorySettings final : public SettingsStore {
 public:
  void load(std::function<void(std::optional<std::string>)> done) override { done(value); }
  void save(std::string v, std::function<void(std::optional<std::string>)> done) override {
    if (failWith) return done(*failWith);
    value = std::move(v);
    done(std::nullopt);
  }
  std::optional<std::string> value;
  std::optional<std::string> failWith;
};

class FakeChooser final : public FolderChooser {
 public:
  void show(const std::optional<std::string>& start,
            std::function<void(std::optional<std::string>)> done) override {
    starts.push_back(start);
    pending.push_back(std::move(done));
  }
  std::vector<std::optional<std::string>> starts;
  std::vector<std::function<void(std::optional<std::string>)>> pending;
};

class FakeBrowser final : public FileBrowser {
 public:
  void reveal(const std::vector<std::string>& paths,
              std::function<void(std::optional<std::string>)> done) override {
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

class FakeCatalogue : public Catalogue {
 public:
  MOCK_METHOD(std::vector<FileRecord>, listFolder, (const std::string&, ListingMode), (override));
  MOCK_METHOD(std::optional<FileRecord>, describe, (const std::string&), (override));
  MOCK_METHOD(std::optional<bool>, isDirectory, (const std::string&), (override));
  MOCK_METHOD(FileRecord, fileInfo, (const std::string&), (override));
  MOCK_METHOD(OpResult, applyOp, (const Operation&), (override));
};

// A Bridge wired to fakes, with the sink attached.
struct BridgeRig {
  FakeMain main;
  RecordingSink sink;
  MemorySettings settings;
  FakeChooser chooser;
  FakeBrowser browser;
  ::testing::NiceMock<FakeCatalogue> catalogue;
  Thumbnailer thumbnails;
  std::unique_ptr<Bridge> bridge;

  BridgeRig() {
    bridge = std::make_unique<Bridge>(BridgeHost{
        main, settings, chooser, browser, catalogue,
        [this](const std::string& p, std::int64_t s, std::function<void(std::string)> d) {
          if (thumbnails) thumbnails(p, s, std::move(d));
        }});
    bridge->setWebView(&sink);
  }
  // Posts `text` as the page would, then runs the main queue.
  void send(const std::string& text) {
    bridge->receiveText(text);
    main.run();
  }
  nlohmann::json lastReply() const { return sink.replies().back(); }
};

}  // namespace quarrytide::testing
