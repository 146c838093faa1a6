// quarrytide: the desktop application.
#include <cstdio>
#include <cstring>

#include "app_delegate.hpp"

int main(int argc, char** argv) {
  quarrytide::AppOptions options;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--automation") == 0) {
      options.automation = true;
    } else {
      std::fprintf(stderr, "quarrytide: unknown option %s\nusage: quarrytide [--automation]\n",
                   argv[i]);
      return 2;
    }
  }
  quarrytide::AppDelegate delegate(options);
  return delegate.run(argv[0]);
}
