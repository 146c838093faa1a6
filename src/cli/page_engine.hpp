#pragma once
// The page's own modules run by JavaScriptCore, without a web view or a
// display: the command line asks them what the window would (one engine of
// rules, never a second). Thread rule: one thread, the one that made it.

#include <jsc/jsc.h>

#include <functional>
#include <optional>
#include <string>

namespace quarrytide {

class PageEngine {
 public:
  // `webFolder`: the page's folder, whose js/ the modules are read from;
  // `language`: the BCP 47 tag the page's messages are chosen by.
  PageEngine(std::string webFolder, const std::string& language);
  ~PageEngine();
  PageEngine(const PageEngine&) = delete;
  PageEngine& operator=(const PageEngine&) = delete;

  // Runs `script`; its value as text (a string as it is, anything else as
  // JavaScript converts it), or nothing with `error()` saying why.
  std::optional<std::string> run(const std::string& script);
  const std::string& error() const { return error_; }
  // A global function `name(text)` of the scripts that answers with `fn(text)`.
  void define(const char* name, std::function<std::string(std::string)> fn);

 private:
  std::string webFolder_;
  JSCContext* context_;
  std::string error_;
};

}  // namespace quarrytide
