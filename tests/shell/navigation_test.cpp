// Where the page may go: its own pages load, followed web links go to the
// browser, the rest is refused.
#include <gtest/gtest.h>

#include "navigation_policy.hpp"

namespace quarrytide::testing {
namespace {

TEST(Navigation, OnlyAppPagesLoad) {
  EXPECT_EQ(appUri("/index.html"), "quarrytide://app/index.html");
  for (const char* uri : {"quarrytide://app/index.html", "quarrytide://app/x.html#a?b",
                          "QUARRYTIDE://app/index.html"})
    EXPECT_EQ(decideNavigation(uri, false, false), Navigation::load) << uri;
  for (const char* uri :
       {"quarrytide://evil/index.html", "quarrytide://user@app/index.html",
        "quarrytide://app:81/index.html", "file:///etc/passwd", "about:blank", "data:text/html,x",
        "javascript:alert(1)", "blob:quarrytide://app/1", "ftp://example.org/", "not a uri", ""})
    EXPECT_EQ(decideNavigation(uri, true, false), Navigation::refuse) << uri;
}

TEST(Navigation, WebLinksAreHandedOverOnlyWhenTheUserFollowsThem) {
  EXPECT_EQ(decideNavigation("https://example.org/a", true, false), Navigation::handOver);
  EXPECT_EQ(decideNavigation("HTTP://example.org/", true, false), Navigation::handOver);
  // A redirect or a script taking the page away is not the user's choice.
  EXPECT_EQ(decideNavigation("https://example.org/a", false, false), Navigation::refuse);
  // New windows never open; a followed web link still reaches the browser.
  EXPECT_EQ(decideNavigation("https://example.org/a", true, true), Navigation::handOver);
  EXPECT_EQ(decideNavigation("https://example.org/a", false, true), Navigation::refuse);
  EXPECT_EQ(decideNavigation("quarrytide://app/index.html", true, true), Navigation::refuse);
}

}  // namespace
}  // namespace quarrytide::testing
