#pragma once
// A ThumbMaker whose main thread is the test thread, with a recording icon source.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "pictures.hpp"
#include "temp_dir.hpp"
#include "thumbnails/thumb_maker.hpp"

namespace quarrytide::testing {

// Answers every type with a small magenta square and records what it was asked.
class FakeIcons final : public IconSource {
 public:
  PixbufPtr icon(const std::string& contentType, int) override {
    asked.push_back(contentType);
    onMain = onMain && std::this_thread::get_id() == mainThread;
    return halves(8, 8, kMagenta, kMagenta);
  }
  static constexpr Rgba kMagenta{255, 0, 255, 255};
  std::vector<std::string> asked;
  std::thread::id mainThread = std::this_thread::get_id();
  bool onMain = true;
};

struct Answer {
  bool came = false;
  std::string url;
  bool onMain = false;  // `done` ran on the test (main) thread
};

class ThumbHarness {
 public:
  explicit ThumbHarness(std::string cacheRoot = "/nonexistent/thumbnails")
      : maker_(std::make_unique<ThumbMaker>(
            icons,
            [this](std::function<void()> task) {
              std::lock_guard lock(m_);
              main_.push_back(std::move(task));
              cv_.notify_all();
            },
            std::move(cacheRoot), 2)) {}
  ~ThumbHarness() { maker_.reset(); }

  // Asks for a thumbnail and plays the main thread until it is answered (bounded).
  Answer make(const std::string& path, std::int64_t size, double scale = 2.0) {
    auto answer = std::make_shared<Answer>();
    auto mainId = std::this_thread::get_id();
    maker_->makeThumb(path, size, scale, [this, answer, mainId](std::string url) {
      std::lock_guard lock(m_);
      answer->came = true;
      answer->url = std::move(url);
      answer->onMain = std::this_thread::get_id() == mainId;
      cv_.notify_all();
    });
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::unique_lock lock(m_);
    while (!answer->came) {
      if (!cv_.wait_until(lock, deadline, [&] { return answer->came || !main_.empty(); })) break;
      while (!main_.empty()) {
        auto task = std::move(main_.front());
        main_.pop_front();
        lock.unlock();
        task();
        lock.lock();
      }
    }
    return *answer;
  }

  FakeIcons icons;

 private:
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> main_;
  std::unique_ptr<ThumbMaker> maker_;
};

}  // namespace quarrytide::testing
