#include "worker_threads.hpp"

#include <pthread.h>

#include <algorithm>

namespace quarrytide {

unsigned WorkerThreads::cores() { return std::max(1u, std::thread::hardware_concurrency()); }

WorkerThreads::WorkerThreads(unsigned threads, const std::string& name) {
  threads = std::clamp(threads, 1u, cores());
  const std::string shortName = name.substr(0, 15);
  for (unsigned i = 0; i < threads; ++i) {
    threads_.emplace_back([this] { run(); });
    pthread_setname_np(threads_.back().native_handle(), shortName.c_str());
  }
}

WorkerThreads::~WorkerThreads() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (auto& t : threads_) t.join();
}

void WorkerThreads::submit(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void WorkerThreads::run() {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
      if (tasks_.empty()) return;  // stopping, and nothing left to do
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    try {
      task();
    } catch (...) {
      // The task's owner has its own guard; a worker thread must not die.
    }
  }
}

}  // namespace quarrytide
