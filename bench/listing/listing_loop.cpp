// The listing benchmark's helper: "make DIR" builds the tree that is listed,
// "walk DIR" is the least a tree listing can do (readdir, one statx, two
// attribute reads per entry), the yardstick for the real listing.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 1000;

int make(const std::string& root) {
  for (int d = 0; d < kFolders; ++d) {
    const std::string folder = root + "/folder " + std::to_string(d);
    if (::mkdir(folder.c_str(), 0755) != 0) return std::perror(folder.c_str()), 1;
    for (int f = 0; f < kFilesPerFolder; ++f) {
      const std::string path = folder + "/file " + std::to_string(f) + ".txt";
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0) return std::perror(path.c_str()), 1;
      const std::string content(static_cast<std::size_t>(f % 200), 'x');
      if (::write(fd, content.data(), content.size()) < 0) return std::perror(path.c_str()), 1;
      ::close(fd);
      // Every tenth file tagged, every twentieth with a comment as well.
      if (f % 10 == 0) {
        const char tags[] = "Red,project,draft";
        ::lsetxattr(path.c_str(), "user.xdg.tags", tags, sizeof tags - 1, 0);
      }
      if (f % 20 == 0) {
        const char comment[] = "A comment for the benchmark, with ümlauts.";
        ::lsetxattr(path.c_str(), "user.xdg.comment", comment, sizeof comment - 1, 0);
      }
    }
  }
  return 0;
}

long walk(const std::string& dir, char* value, std::size_t valueSize) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return 0;
  long count = 0;
  while (const dirent* e = ::readdir(d)) {
    if (e->d_name[0] == '.') continue;
    const std::string path = dir + "/" + e->d_name;
    if (e->d_type == DT_DIR) {
      count += walk(path, value, valueSize);
      continue;
    }
    struct statx stx;
    ::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW,
            STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_BTIME, &stx);
    ::lgetxattr(path.c_str(), "user.xdg.tags", value, valueSize);
    ::lgetxattr(path.c_str(), "user.xdg.comment", value, valueSize);
    ++count;
  }
  ::closedir(d);
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "make") == 0) return make(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "walk") == 0) {
    char value[1024];
    std::printf("%ld\n", walk(argv[2], value, sizeof value));
    return 0;
  }
  std::fprintf(stderr, "usage: bench-listing-loop make|walk DIR\n");
  return 2;
}
