#include "close_guard.hpp"

#include <utility>

namespace quarrytide {
namespace {
// Resolves once the page's last changes are on disk; a page still loading
// has none.
constexpr const char* kBeforeClose =
    "if (typeof window.__beforeClose === 'function') await window.__beforeClose();";
}  // namespace

CloseGuard::~CloseGuard() {
  if (timeout_) g_source_remove(timeout_);
  if (cancellable_) {
    g_cancellable_cancel(cancellable_);
    g_object_unref(cancellable_);
  }
}

void CloseGuard::attach(GtkWindow* window, WebKitWebView* view) {
  window_ = window;
  view_ = view;
  state_ = State::open;
  g_signal_connect(window, "delete-event", G_CALLBACK(&CloseGuard::onDelete), this);
  g_signal_connect_swapped(window, "destroy", G_CALLBACK(+[](CloseGuard* self) {
                             self->window_ = nullptr;
                             self->view_ = nullptr;
                           }),
                           this);
}

gboolean CloseGuard::onDelete(GtkWidget*, GdkEvent*, CloseGuard* self) {
  if (self->state_ == State::closing) return FALSE;
  if (self->state_ == State::waiting) return TRUE;  // a second click waits with the first
  self->state_ = State::waiting;
  if (!self->cancellable_) self->cancellable_ = g_cancellable_new();
  webkit_web_view_call_async_javascript_function(
      self->view_, kBeforeClose, -1, nullptr, nullptr, nullptr, self->cancellable_,
      +[](GObject* view, GAsyncResult* result, gpointer data) {
        GError* error = nullptr;
        if (JSCValue* value = webkit_web_view_call_async_javascript_function_finish(
                WEBKIT_WEB_VIEW(view), result, &error))
          g_object_unref(value);
        // Cancelled only when the guard is gone: touch nothing then.
        bool cancelled = error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
        if (error) g_error_free(error);
        if (!cancelled) static_cast<CloseGuard*>(data)->close();
      },
      self);
  self->timeout_ = g_timeout_add(
      kWaitMs,
      +[](gpointer data) -> gboolean {
        auto* self = static_cast<CloseGuard*>(data);
        self->timeout_ = 0;
        self->close();
        return G_SOURCE_REMOVE;
      },
      self);
  return TRUE;
}

void CloseGuard::close() {
  if (state_ != State::waiting || !window_) return;
  state_ = State::closing;
  if (timeout_) g_source_remove(std::exchange(timeout_, 0));
  gtk_window_close(window_);
}

}  // namespace quarrytide
