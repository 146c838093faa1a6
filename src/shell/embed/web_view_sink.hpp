#pragma once
// The Bridge's road into the page: script evaluated in the web view.

#include <functional>
#include <memory>

#include <webkit2/webkit2.h>

#include "seams.hpp"

namespace quarrytide {

class WebViewSink final : public ScriptSink {
 public:
  explicit WebViewSink(WebKitWebView* view) : view_(view) {}
  // Main thread. The result and any script error are ignored.
  void evaluate(const std::string& script) override {
    webkit_web_view_evaluate_javascript(view_, script.data(), static_cast<gssize>(script.size()),
                                        nullptr, nullptr, nullptr, nullptr, nullptr);
  }
  // `done` runs when the web process has run the script, or failed to.
  void evaluateThen(const std::string& script, std::function<void()> done) override {
    webkit_web_view_evaluate_javascript(
        view_, script.data(), static_cast<gssize>(script.size()), nullptr, nullptr, nullptr,
        +[](GObject* view, GAsyncResult* result, gpointer data) {
          std::unique_ptr<std::function<void()>> done(static_cast<std::function<void()>*>(data));
          g_autoptr(GError) error = nullptr;
          g_autoptr(JSCValue) value =
              webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error);
          (*done)();
        },
        new std::function<void()>(std::move(done)));
  }

 private:
  WebKitWebView* view_;  // owned by the window, which outlives every evaluation
};

}  // namespace quarrytide
