#pragma once
// The Bridge's road into the page: script evaluated in the web view.

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

 private:
  WebKitWebView* view_;  // owned by the window, which outlives every evaluation
};

}  // namespace quarrytide
