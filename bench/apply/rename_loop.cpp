// The least a batch of renames can cost: per item the existence test and the
// no-replace move, nothing else. Usage: bench-apply-rename-loop DIR COUNT
// (renames DIR/fNNNNN to DIR/gNNNNN).
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const int count = std::atoi(argv[2]);
  char from[4096], to[4096];
  for (int i = 0; i < count; ++i) {
    std::snprintf(from, sizeof from, "%s/f%05d", argv[1], i);
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
