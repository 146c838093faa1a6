#pragma once
// CloseGuard: a window closes only once its page has stored what it still
// holds (the settings are saved a moment after a change), or after kWaitMs
// when the page cannot answer. Main thread only; the guard outlives the window.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

namespace quarrytide {

class CloseGuard {
 public:
  static constexpr unsigned kWaitMs = 2000;

  CloseGuard() = default;
  ~CloseGuard();
  CloseGuard(const CloseGuard&) = delete;
  CloseGuard& operator=(const CloseGuard&) = delete;

  void attach(GtkWindow* window, WebKitWebView* view);

 private:
  enum class State { open, waiting, closing };
  static gboolean onDelete(GtkWidget*, GdkEvent*, CloseGuard* self);
  void close();

  GtkWindow* window_ = nullptr;
  WebKitWebView* view_ = nullptr;
  State state_ = State::open;
  GCancellable* cancellable_ = nullptr;  // of the page's answer
  guint timeout_ = 0;
};

}  // namespace quarrytide
