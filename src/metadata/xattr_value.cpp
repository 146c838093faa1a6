#include "xattr_value.hpp"

#include <sys/xattr.h>

#include <cerrno>

namespace quarrytide {

int readAttribute(const char* path, const char* name, std::string& value) {
  // Most values are short: one call into a stack buffer; only a longer value
  // costs a size query and a second read.
  char small[1024];
  ssize_t n = ::lgetxattr(path, name, small, sizeof small);
  if (n >= 0) {
    value.assign(small, static_cast<std::size_t>(n));
    return 0;
  }
  // The value may grow between the size query and the read: ask again.
  for (int attempt = 0; attempt < 4 && errno == ERANGE; ++attempt) {
    const ssize_t size = ::lgetxattr(path, name, nullptr, 0);
    if (size < 0) break;
    value.resize(static_cast<std::size_t>(size));
    n = ::lgetxattr(path, name, value.data(), value.size());
    if (n >= 0) {
      value.resize(static_cast<std::size_t>(n));
      return 0;
    }
  }
  const int err = errno;
  value.clear();
  return err;
}

bool isNoAttribute(int err) { return err == ENODATA || err == ENOTSUP; }

}  // namespace quarrytide
