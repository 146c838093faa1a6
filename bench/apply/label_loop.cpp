// The least a batch of label changes can cost: per item one read of the tag
// attribute and one write. Usage: bench-apply-label-loop DIR COUNT
// (sets the tags of DIR/fNNNNN to "Red").
#include <sys/xattr.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const int count = std::atoi(argv[2]);
  char path[4096], value[4096];
  for (int i = 0; i < count; ++i) {
    std::snprintf(path, sizeof path, "%s/f%05d", argv[1], i);
    lgetxattr(path, "user.xdg.tags", value, sizeof value);  // absent is fine
    if (lsetxattr(path, "user.xdg.tags", "Red", 3, 0) != 0) {
      std::perror(path);
      return 1;
    }
  }
  return 0;
}
