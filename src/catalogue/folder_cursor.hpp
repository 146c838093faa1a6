#pragma once
// Items looked up folder by folder: a batch is mostly one folder, and walking
// each whole path again costs as much as the lookup itself. One open folder
// at a time; not shared between threads.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

namespace quarrytide {

// The order in which to visit `count` paths (`pathAt(i)`) so that a cursor
// opens each folder once: as given when they come folder by folder, else
// grouped by folder (a sort into 120 folders opened a folder per item).
template <class PathAt>
std::vector<std::size_t> folderOrder(std::size_t count, PathAt pathAt) {
  auto folder = [&](std::size_t i) {
    const std::string_view p = pathAt(i);
    return p.substr(0, p.rfind('/') + 1);
  };
  std::vector<std::size_t> order(count);
  std::iota(order.begin(), order.end(), std::size_t(0));
  std::size_t switches = 0;
  for (std::size_t i = 1; i < count; ++i) switches += folder(i) != folder(i - 1);
  if (switches > 64)
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return folder(a) < folder(b); });
  return order;
}

class FolderCursor {
 public:
  FolderCursor() = default;
  FolderCursor(const FolderCursor&) = delete;
  FolderCursor& operator=(const FolderCursor&) = delete;
  ~FolderCursor() {
    if (fd_ >= 0) ::close(fd_);
  }

  // The folder of `path` open (O_PATH; kept from the call before when it is
  // the same folder), with `name` set to the part after its last "/"; -1 when
  // `path` has no folder and name to split (no "/", or a trailing one) or the
  // folder cannot be opened.
  int open(const std::string& path, const char*& name) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos || slash + 1 == path.size()) return -1;
    if (fd_ < 0 || folder_.size() != slash || path.compare(0, slash, folder_) != 0) {
      if (fd_ >= 0) ::close(fd_);
      folder_ = path.substr(0, slash);
      fd_ = ::open(slash ? folder_.c_str() : "/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    name = path.c_str() + slash + 1;
    return fd_;
  }

 private:
  std::string folder_;
  int fd_ = -1;
};

}  // namespace quarrytide
