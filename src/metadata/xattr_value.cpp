#include "xattr_value.hpp"

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>

namespace quarrytide {

namespace {

// getxattrat (Linux 6.13) has no C library wrapper here yet; the number is
// the same on every architecture.
constexpr long kGetxattrat = 464;
constexpr long kListxattrat = 465;
struct XattrArgs {
  std::uint64_t value;
  std::uint32_t size;
  std::uint32_t flags;
};
std::atomic<bool> haveGetxattrat{true};
std::atomic<bool> haveListxattrat{true};

// Most values are short: one call into a stack buffer; only a longer value
// costs a size query and a second read. `get(buffer, size)` is one call of
// the system's getxattr family.
template <class Get>
int readWith(Get get, std::string& value) {
  char small[1024];
  ssize_t n = get(small, sizeof small);
  if (n >= 0) {
    value.assign(small, static_cast<std::size_t>(n));
    return 0;
  }
  // The value may grow between the size query and the read: ask again.
  for (int attempt = 0; attempt < 4 && errno == ERANGE; ++attempt) {
    const ssize_t size = get(nullptr, 0);
    if (size < 0) break;
    value.resize(static_cast<std::size_t>(size));
    n = get(value.data(), value.size());
    if (n >= 0) {
      value.resize(static_cast<std::size_t>(n));
      return 0;
    }
  }
  const int err = errno;
  value.clear();
  return err;
}

// readWith through the kernel's call relative to a folder (`at`) while it
// has one, else through the path (`byPath`); `have` remembers which.
template <class At, class ByPath>
int readAtOrByPath(std::atomic<bool>& have, At at, ByPath byPath, std::string& value) {
  if (have.load(std::memory_order_relaxed)) {
    const int err = readWith(at, value);
    // ENOSYS: an older kernel. EPERM: a sandbox that refuses calls it does
    // not know (a real read of an existing item does not give EPERM).
    if (err != ENOSYS && err != EPERM) return err;
    have.store(false, std::memory_order_relaxed);
  }
  return readWith(byPath, value);
}

}  // namespace

int readAttribute(const char* path, const char* attribute, std::string& value) {
  return readWith(
      [&](void* buf, std::size_t size) { return ::lgetxattr(path, attribute, buf, size); }, value);
}

int readAttributeAt(int dirFd, const char* name, const char* path, const char* attribute,
                    std::string& value) {
  return readAtOrByPath(
      haveGetxattrat,
      [&](void* buf, std::size_t size) -> ssize_t {
        XattrArgs args{reinterpret_cast<std::uintptr_t>(buf), static_cast<std::uint32_t>(size), 0};
        return ::syscall(kGetxattrat, dirFd, name, AT_SYMLINK_NOFOLLOW, attribute, &args,
                         sizeof args);
      },
      [&](void* buf, std::size_t size) { return ::lgetxattr(path, attribute, buf, size); }, value);
}

int listAttributesAt(int dirFd, const char* name, const char* path, std::string& names) {
  return readAtOrByPath(
      haveListxattrat,
      [&](void* buf, std::size_t size) -> ssize_t {
        return ::syscall(kListxattrat, dirFd, name, AT_SYMLINK_NOFOLLOW, buf, size);
      },
      [&](void* buf, std::size_t size) {
        return ::llistxattr(path, static_cast<char*>(buf), size);
      },
      names);
}

bool hasAttribute(std::string_view names, std::string_view attribute) {
  for (std::size_t at = 0; at < names.size();) {
    const std::size_t end = std::min(names.find('\0', at), names.size());
    if (names.substr(at, end - at) == attribute) return true;
    at = end + 1;
  }
  return false;
}

bool isNoAttribute(int err) { return err == ENODATA || err == ENOTSUP; }

}  // namespace quarrytide
