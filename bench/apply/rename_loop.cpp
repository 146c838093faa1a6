// The least a batch of renames can cost: per item the existence test and the
// no-replace move, nothing else. Usage: bench-apply-rename-loop DIR COUNT
// [FOLDERS] renames DIR/fNNNNN to DIR/gNNNNN; with FOLDERS it first makes
// DIR/d000… and moves item i into folder i % FOLDERS instead (a sort into
// folders).
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) return 2;
  const int count = std::atoi(argv[2]), folders = argc == 4 ? std::atoi(argv[3]) : 0;
  char from[4096], to[4096];
  for (int f = 0; f < folders; ++f) {
    std::snprintf(to, sizeof to, "%s/d%03d", argv[1], f);
    if (mkdir(to, 0777) != 0) {
      std::perror(to);
      return 1;
    }
  }
  for (int i = 0; i < count; ++i) {
    std::snprintf(from, sizeof from, "%s/f%05d", argv[1], i);
    if (folders)
      std::snprintf(to, sizeof to, "%s/d%03d/f%05d", argv[1], i % folders, i);
    else
      std::snprintf(to, sizeof to, "%s/g%05d", argv[1], i);
    struct stat st;
    if (lstat(to, &st) == 0) return 1;
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) != 0) {
      std::perror(from);
      return 1;
    }
  }
  return 0;
}
