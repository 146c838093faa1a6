#include "navigation_policy.hpp"

#include <glib.h>

namespace quarrytide {

Navigation decideNavigation(const std::string& uri, bool userLink, bool newWindow) {
  g_autoptr(GUri) parsed = g_uri_parse(uri.c_str(), G_URI_FLAGS_ENCODED, nullptr);
  if (!parsed) return Navigation::refuse;
  std::string scheme = g_uri_get_scheme(parsed);
  const char* host = g_uri_get_host(parsed);
  bool appPage = scheme == kAppScheme && host && g_strcmp0(host, kAppHost) == 0 &&
                 !g_uri_get_userinfo(parsed) && g_uri_get_port(parsed) == -1;
  // Schemes come back in lower case, so "HTTPS:" is a web link too.
  bool webLink = scheme == "http" || scheme == "https";
  if (newWindow) return webLink && userLink ? Navigation::handOver : Navigation::refuse;
  if (appPage) return Navigation::load;
  if (webLink && userLink) return Navigation::handOver;
  return Navigation::refuse;
}

std::string appUri(const std::string& path) {
  return std::string(kAppScheme) + "://" + kAppHost + path;
}

}  // namespace quarrytide
