#pragma once
// Where the page may go. The page holds the "bridge" handler, so whatever it
// loads could rename the user's files: only the app's own pages are loaded,
// web links go to the user's browser, everything else is refused.
// Pure functions: callable from any thread.

#include <string>

namespace quarrytide {

inline constexpr const char* kAppScheme = "quarrytide";
inline constexpr const char* kAppHost = "app";

enum class Navigation {
  load,      // an app page: let the web view load it
  handOver,  // a web link the user followed: open it in the browser instead
  refuse,    // anything else: stay where we are
};

// `userLink`: the navigation is a link the user clicked (not a redirect, a
// form or a script). `newWindow`: the page asked for a new window.
Navigation decideNavigation(const std::string& uri, bool userLink, bool newWindow);

// "quarrytide://app" followed by `path` ("/index.html").
std::string appUri(const std::string& path);

}  // namespace quarrytide
