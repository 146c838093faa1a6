#pragma once
// A serial work queue: one worker thread runs tasks one at a time, in the
// order they were submitted; destruction runs what was submitted first.

#include <string>

#include "catalogue/worker_threads.hpp"

namespace quarrytide {

class SerialQueue : public WorkerThreads {
 public:
  explicit SerialQueue(const std::string& name) : WorkerThreads(1, name) {}
};

}  // namespace quarrytide
