// Where the page may go, and which page URLs reach which files: only regular
// files inside the web folder, however the path is spelled.
#include <gtest/gtest.h>

#include <filesystem>

#include "navigation_policy.hpp"
#include "temp_dir.hpp"
#include "web_root.hpp"

namespace quarrytide::testing {
namespace {

namespace fs = std::filesystem;

TEST(Navigation, OnlyAppPagesLoadAndWebLinksAreHandedOverOnlyWhenTheUserFollowsThem) {
  EXPECT_EQ(appUri("/index.html"), "quarrytide://app/index.html");
  for (const char* uri : {"quarrytide://app/index.html", "quarrytide://app/x.html#a?b",
                          "QUARRYTIDE://app/index.html"})
    EXPECT_EQ(decideNavigation(uri, false, false), Navigation::load) << uri;
  for (const char* uri :
       {"quarrytide://evil/index.html", "quarrytide://user@app/index.html",
        "quarrytide://app:81/index.html", "file:///etc/passwd", "about:blank", "data:text/html,x",
        "javascript:alert(1)", "blob:quarrytide://app/1", "ftp://example.org/", "not a uri", ""})
    EXPECT_EQ(decideNavigation(uri, true, false), Navigation::refuse) << uri;
  // {uri, a link the user followed, a new window}: a redirect or a script
  // taking the page away is not the user's choice; new windows never open.
  const std::tuple<const char*, bool, bool, Navigation> cases[] = {
      {"https://example.org/a", true, false, Navigation::handOver},
      {"HTTP://example.org/", true, false, Navigation::handOver},
      {"https://example.org/a", false, false, Navigation::refuse},
      {"https://example.org/a", true, true, Navigation::handOver},
      {"https://example.org/a", false, true, Navigation::refuse},
      {"quarrytide://app/index.html", true, true, Navigation::refuse}};
  for (auto [uri, user, newWindow, want] : cases)
    EXPECT_EQ(decideNavigation(uri, user, newWindow), want) << uri << user << newWindow;
}

TEST(WebRoot, ServesFilesInsideThroughTheLinkedRootAndRefusesTheRest) {
  TempDir tmp;
  const fs::path web = tmp.folder("src/web"), link = tmp.at("build/share/web");
  tmp.file("src/web/index.html", "<p>page</p>");
  tmp.file("src/web/js/main.js", "1");
  tmp.file("src/web/name with space%.css", "b{}");
  tmp.file("secret.txt", "secret");
  tmp.file("src/webby/x.js", "outside, with a shared prefix");
  tmp.folder("build/share");
  tmp.link("build/share/web", web);  // the build tree's link
  tmp.link("src/web/out.txt", tmp.at("secret.txt"));
  tmp.link("src/web/in.js", "js/main.js");
  tmp.folder("src/web/dir");
  auto root = WebRoot::open(link);
  ASSERT_TRUE(root);
  auto served = [&](const std::string& path) {
    auto r = root->resolve(path);
    if (auto* f = std::get_if<ServedFile>(&r))
      return fs::path(f->path).lexically_relative(web).string();
    return "refused: " + std::get<Refusal>(r).reason;
  };
  for (auto [path, file] : {std::pair{"/", "index.html"},
                            {"/index.html", "index.html"},
                            {"/js/main.js", "js/main.js"},
                            {"/name%20with%20space%25.css", "name with space%.css"},
                            {"/in.js", "js/main.js"}})  // a link that stays inside
    EXPECT_EQ(served(path), file) << path;
  for (const char* path :
       {"/../secret.txt", "/js/../../secret.txt", "/%2e%2e/secret.txt", "/%2E%2E/secret.txt",
        "/js/%2e%2e%2f%2e%2e%2fsecret.txt", "/js%2fmain.js", "//etc/passwd", "/./index.html",
        "/out.txt", "/../webby/x.js", "/index.html%00.png", "/dir", "/missing.html", "", "x",
        "/%zz"})
    EXPECT_EQ(served(path).rfind("refused: ", 0), 0u) << path << ": " << served(path);
  EXPECT_EQ(served("/missing.html"), "refused: No such file or directory");
  EXPECT_FALSE(WebRoot::open(tmp.at("nothing")));
  EXPECT_FALSE(WebRoot::open(tmp.at("secret.txt")));
}

TEST(WebRoot, ModuleScriptsAreServedAsJavaScriptAndTheErrorPageEscapesWhatItNames) {
  EXPECT_EQ(mimeTypeFor("/w/js/main.js"), "text/javascript; charset=utf-8");
  std::string page = errorPage("/web/<script>alert(1)</script>&.html", "No \"such\" file\xff");
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_NE(page.find("/web/&lt;script&gt;alert(1)&lt;/script&gt;&amp;.html"), std::string::npos);
  EXPECT_NE(page.find("No &quot;such&quot; file\xef\xbf\xbd"), std::string::npos);
}

}  // namespace
}  // namespace quarrytide::testing
