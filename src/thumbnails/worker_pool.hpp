#pragma once
// A few threads of the thumbnailer's own, so decoding never runs on the main
// thread or on the bridge's serial queue.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quarrytide {

class WorkerPool {
 public:
  // `threads` is clamped to 1 .. the number of cores; the threads are named
  // `name` (as seen by debuggers and top).
  WorkerPool(unsigned threads, const std::string& name);
  // Runs every task already posted, then joins the threads.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Any thread. Tasks start in posting order; up to size() run at once. A
  // task that throws is dropped without stopping its thread.
  void post(std::function<void()> task);
  unsigned size() const { return unsigned(threads_.size()); }

  static unsigned cores();

 private:
  void run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace quarrytide
