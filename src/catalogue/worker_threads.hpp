#pragma once
// Named threads that run tasks in the order they were submitted; with one
// thread, a serial queue. The bridge's queue, the thumbnailer's pool and the
// settings writer are all this.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quarrytide {

class WorkerThreads {
 public:
  // `threads` is clamped to 1 .. the number of cores; the threads are named
  // `name` as debuggers and top show it (the kernel keeps 15 bytes).
  WorkerThreads(unsigned threads, const std::string& name);
  // Runs every task already submitted, then joins the threads.
  ~WorkerThreads();
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;

  // Any thread. Tasks start in submission order; up to size() run at once.
  // A task that throws is dropped without stopping its thread. Tasks
  // submitted once destruction began are dropped.
  void submit(std::function<void()> task);
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
