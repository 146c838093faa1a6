#include "link_opener.hpp"

namespace quarrytide {

void DesktopLinkOpener::open(const std::string& uri) {
  // Nothing is shown when no browser is set up: the app shows no native errors.
  gtk_show_uri_on_window(parent_, uri.c_str(), GDK_CURRENT_TIME, nullptr);
}

}  // namespace quarrytide
