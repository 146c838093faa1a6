#pragma once
// A serial work queue: one worker thread runs tasks one at a time, in the
// order they were submitted.

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "seams.hpp"

namespace quarrytide {

class SerialQueue {
 public:
  // `name` becomes the worker thread's name (at most 15 bytes are kept).
  explicit SerialQueue(std::string name);
  // Runs every task already submitted, then stops the worker.
  ~SerialQueue();
  SerialQueue(const SerialQueue&) = delete;
  SerialQueue& operator=(const SerialQueue&) = delete;

  // Any thread. Tasks submitted after shutdown began are dropped.
  void submit(Task task);

 private:
  void run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Task> tasks_;
  bool stopping_ = false;
  std::string name_;
  std::thread worker_;
};

}  // namespace quarrytide
