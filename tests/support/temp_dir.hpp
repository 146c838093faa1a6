#pragma once
// A fresh folder under $TMPDIR (or /tmp), removed with its contents at the end,
// and the items the tests put in it. A step that fails throws, failing the test.

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>

namespace quarrytide::testing {

class TempDir {
 public:
  TempDir() {
    const char* base = std::getenv("TMPDIR");
    make(base && *base ? base : "/tmp");
  }
  explicit TempDir(const std::string& base) { make(base); }
  // A fresh folder on another file system than `near` (the tmpfs), where it
  // keeps user attributes; null where there is none.
  static std::unique_ptr<TempDir> otherDrive(const TempDir& near) {
    struct stat a, b;
    if (::stat(near.path().c_str(), &a) != 0 || ::stat("/dev/shm", &b) != 0 ||
        a.st_dev == b.st_dev || ::access("/dev/shm", W_OK) != 0)
      return nullptr;
    auto drive = std::make_unique<TempDir>("/dev/shm");
    if (::setxattr(drive->path().c_str(), "user.probe", "1", 1, 0) != 0) return nullptr;
    return drive;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string at(const std::string& rel) const { return path_ + "/" + rel; }

  // A file holding `content`; missing folders on the way are made.
  std::string file(const std::string& rel, const std::string& content = "x") const {
    std::filesystem::create_directories(std::filesystem::path(at(rel)).parent_path());
    if (!(std::ofstream(at(rel), std::ios::binary) << content)) fail("write " + rel);
    return at(rel);
  }
  std::string folder(const std::string& rel) const {
    std::filesystem::create_directories(at(rel));
    return at(rel);
  }
  std::string link(const std::string& rel, const std::string& target) const {
    if (::symlink(target.c_str(), at(rel).c_str()) != 0) fail("symlink " + rel);
    return at(rel);
  }
  // Sets an extended attribute of the item itself, a link included.
  void attr(const std::string& rel, const char* name, const std::string& value) const {
    if (::lsetxattr(at(rel).c_str(), name, value.data(), value.size(), 0) != 0) fail(rel);
  }

 private:
  void make(const std::string& base) {
    std::string tmpl = base + "/quarrytide-test-XXXXXX";
    if (!mkdtemp(tmpl.data())) std::abort();
    path_ = tmpl;
  }
  static void fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
  }
  std::string path_;
};

}  // namespace quarrytide::testing
