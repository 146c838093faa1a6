#pragma once
// The main-thread dispatcher. Every reply to the page goes through one
// MainQueue, so replies are evaluated exactly in the order they were posted:
// one FIFO, drained on the main thread, is the whole ordering guarantee.

#include <deque>
#include <functional>
#include <mutex>

#include "seams.hpp"

typedef struct _GMainContext GMainContext;

namespace quarrytide {

class MainQueue : public MainDispatcher {
 public:
  // `wake` asks the main loop to call drain() soon; it is called at most once
  // per batch of posts, from the posting thread.
  explicit MainQueue(std::function<void()> wake);

  void post(Task task) override;  // any thread
  void drain();                   // main thread only: runs what is queued, in order

 private:
  std::mutex mutex_;
  std::deque<Task> tasks_;
  bool scheduled_ = false;  // a drain has been requested and not yet finished
  std::function<void()> wake_;
};

// A MainQueue drained by the GLib main context that is the thread-default (or
// global default) context when it is created.
class GlibMainDispatcher final : public MainDispatcher {
 public:
  GlibMainDispatcher();
  ~GlibMainDispatcher() override;
  void post(Task task) override { queue_.post(std::move(task)); }

 private:
  GMainContext* context_;
  MainQueue queue_;
};

}  // namespace quarrytide
