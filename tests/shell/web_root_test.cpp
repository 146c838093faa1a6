// Which page URLs reach which files: only regular files inside the web
// folder, however the path is spelled.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "temp_dir.hpp"
#include "web_root.hpp"

namespace quarrytide::testing {
namespace {

namespace fs = std::filesystem;

void write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

struct Site {
  TempDir tmp;
  fs::path web = fs::path(tmp.path()) / "src/web";
  fs::path link = fs::path(tmp.path()) / "build/share/web";  // the build tree's link
  Site() {
    write(web / "index.html", "<p>page</p>");
    write(web / "js/main.js", "1");
    write(web / "name with space%.css", "b{}");
    write(fs::path(tmp.path()) / "secret.txt", "secret");
    write(fs::path(tmp.path()) / "src/webby/x.js", "outside, with a shared prefix");
    fs::create_directories(link.parent_path());
    fs::create_directory_symlink(web, link);
    fs::create_symlink(fs::path(tmp.path()) / "secret.txt", web / "out.txt");
    fs::create_symlink("js/main.js", web / "in.js");
    fs::create_directory(web / "dir");
  }
  std::string served(const std::string& path) {
    auto root = WebRoot::open(link.string());
    EXPECT_TRUE(root);
    auto r = root->resolve(path);
    if (auto* f = std::get_if<ServedFile>(&r))
      return fs::path(f->path).lexically_relative(web).string();
    return "refused: " + std::get<Refusal>(r).reason;
  }
};

TEST(WebRoot, ServesFilesInsideThroughTheLinkedRoot) {
  Site site;
  EXPECT_EQ(site.served("/"), "index.html");
  EXPECT_EQ(site.served("/index.html"), "index.html");
  EXPECT_EQ(site.served("/js/main.js"), "js/main.js");
  EXPECT_EQ(site.served("/name%20with%20space%25.css"), "name with space%.css");
  EXPECT_EQ(site.served("/in.js"), "js/main.js");  // a link that stays inside
}

TEST(WebRoot, RefusesEverythingThatLeavesOrIsNotAFile) {
  Site site;
  for (const char* path :
       {"/../secret.txt", "/js/../../secret.txt", "/%2e%2e/secret.txt", "/%2E%2E/secret.txt",
        "/js/%2e%2e%2f%2e%2e%2fsecret.txt", "/js%2fmain.js", "//etc/passwd", "/./index.html",
        "/out.txt", "/../webby/x.js", "/index.html%00.png", "/dir", "/missing.html", "", "x",
        "/%zz"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(site.served(path).rfind("refused: ", 0), 0u) << site.served(path);
  }
  EXPECT_EQ(site.served("/missing.html"), "refused: No such file or directory");
}

TEST(WebRoot, MissingFolderCannotBeOpened) {
  TempDir tmp;
  EXPECT_FALSE(WebRoot::open(tmp.path() + "/nothing"));
  write(fs::path(tmp.path()) / "file", "");
  EXPECT_FALSE(WebRoot::open(tmp.path() + "/file"));
}

TEST(WebRoot, ModuleScriptsAreServedAsJavaScript) {
  EXPECT_EQ(mimeTypeFor("/w/js/main.js"), "text/javascript; charset=utf-8");
  EXPECT_EQ(mimeTypeFor("/w/index.html"), "text/html; charset=utf-8");
  EXPECT_EQ(mimeTypeFor("/w/blob"), "application/octet-stream");
}

TEST(WebRoot, ErrorPageEscapesWhatItNames) {
  std::string page = errorPage("/web/<script>alert(1)</script>&.html", "No \"such\" file\xff");
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_NE(page.find("/web/&lt;script&gt;alert(1)&lt;/script&gt;&amp;.html"), std::string::npos);
  EXPECT_NE(page.find("No &quot;such&quot; file\xef\xbf\xbd"), std::string::npos);
}

}  // namespace
}  // namespace quarrytide::testing
