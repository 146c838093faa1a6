#pragma once
// The quarrytide:// scheme: the page and its files, read from the web
// folder and nothing outside it. Main thread only.

#include <webkit2/webkit2.h>

#include <optional>
#include <string>

#include "web_root.hpp"

namespace quarrytide {

class AppScheme {
 public:
  // `webFolder` is where the page lives; when it is missing, every page
  // request is answered with the error page naming it.
  explicit AppScheme(std::string webFolder);
  AppScheme(const AppScheme&) = delete;
  AppScheme& operator=(const AppScheme&) = delete;

  // Registers the scheme on `context`; this object must outlive the context.
  void registerOn(WebKitWebContext* context);

 private:
  static void serve(WebKitURISchemeRequest* request, gpointer self);
  void serve(WebKitURISchemeRequest* request);
  void fail(WebKitURISchemeRequest* request, const std::string& what, const std::string& reason);

  std::string webFolder_;
  std::optional<WebRoot> root_;
};

}  // namespace quarrytide
