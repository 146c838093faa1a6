#include "main_queue.hpp"

#include <glib.h>

namespace quarrytide {

MainQueue::MainQueue(std::function<void()> wake) : wake_(std::move(wake)) {}

void MainQueue::post(Task task) {
  bool needWake = false;
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    needWake = !scheduled_;
    scheduled_ = true;
  }
  if (needWake) wake_();
}

void MainQueue::drain() {
  for (;;) {
    Task task;
    {
      std::lock_guard lock(mutex_);
      if (tasks_.empty()) {
        scheduled_ = false;
        return;
      }
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();  // outside the lock: a task may post more tasks
  }
}

GlibMainDispatcher::GlibMainDispatcher()
    : context_(g_main_context_ref_thread_default()), queue_([this] {
        // An idle source, not g_main_context_invoke: invoke would run the
        // drain synchronously when posting from the main thread itself.
        g_autoptr(GSource) source = g_idle_source_new();
        g_source_set_priority(source, G_PRIORITY_DEFAULT);
        g_source_set_callback(
            source,
            [](gpointer self) -> gboolean {
              static_cast<GlibMainDispatcher*>(self)->queue_.drain();
              return G_SOURCE_REMOVE;
            },
            this, nullptr);
        g_source_attach(source, context_);  // the context holds it
      }) {}

GlibMainDispatcher::~GlibMainDispatcher() { g_main_context_unref(context_); }

}  // namespace quarrytide
