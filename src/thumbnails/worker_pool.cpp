#include "thumbnails/worker_pool.hpp"

#include <pthread.h>

#include <algorithm>

namespace quarrytide {

unsigned WorkerPool::cores() { return std::max(1u, std::thread::hardware_concurrency()); }

WorkerPool::WorkerPool(unsigned threads, const std::string& name) {
  threads = std::clamp(threads, 1u, cores());
  std::string shortName = name.substr(0, 15);  // the kernel keeps 15 bytes
  for (unsigned i = 0; i < threads; ++i) {
    threads_.emplace_back([this] { run(); });
    pthread_setname_np(threads_.back().native_handle(), shortName.c_str());
  }
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (auto& t : threads_) t.join();
}

void WorkerPool::post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void WorkerPool::run() {
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
      // The task's owner has its own guard; a pool thread must not die.
    }
  }
}

}  // namespace quarrytide
