#include "copy_item.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "page_path.hpp"
#include "rename.hpp"

namespace quarrytide {

namespace {

// A descriptor closed when it goes out of scope.
struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
};

int syncFolder(const std::string& path) {
  Fd dir(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.fd < 0) return errno;
  return ::fsync(dir.fd) == 0 ? 0 : errno;
}

thread_local std::function<void(std::uint64_t)> written;

void wrote(ssize_t n) {
  if (written) written(std::uint64_t(n));
}

// Writes all of `from` to `to` (both at offset 0): in the kernel where it
// can, else through a buffer. Pieces of 16 MB keep the progress moving.
int copyData(int from, int to) {
  for (;;) {
    const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, 16 << 20, 0);
    if (n == 0) return 0;
    if (n > 0) {
      wrote(n);
      continue;
    }
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL) return errno;
    break;
  }
  std::vector<char> buf(1 << 20);
  for (;;) {
    const ssize_t n = ::read(from, buf.data(), buf.size());
    if (n == 0) return 0;
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(to, buf.data() + done, std::size_t(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      done += w;
    }
    wrote(n);
  }
}

// The user's attributes (tags, label, comment and any other program's).
int copyAttributes(int from, int to) {
  const ssize_t size = ::flistxattr(from, nullptr, 0);
  if (size <= 0) return size < 0 && errno != ENOTSUP ? errno : 0;
  std::vector<char> names(std::size_t(size) + 1);
  const ssize_t got = ::flistxattr(from, names.data(), names.size());
  if (got < 0) return errno;
  for (const char* name = names.data(); name < names.data() + got; name += std::strlen(name) + 1) {
    if (std::strncmp(name, "user.", 5) != 0) continue;
    const ssize_t len = ::fgetxattr(from, name, nullptr, 0);
    if (len < 0) return errno;
    std::vector<char> value(std::size_t(len) + 1);
    const ssize_t read = ::fgetxattr(from, name, value.data(), value.size());
    if (read < 0) return errno;
    if (::fsetxattr(to, name, value.data(), std::size_t(read), 0) != 0) return errno;
  }
  return 0;
}

// Whether the two open files hold the same bytes, read back from the start.
bool sameContent(int a, int b) {
  std::vector<char> x(1 << 20), y(1 << 20);
  off_t at = 0;
  for (;;) {
    const ssize_t n = ::pread(a, x.data(), x.size(), at);
    if (n < 0) return false;
    for (ssize_t m = 0; m < n;) {
      const ssize_t k = ::pread(b, y.data() + m, std::size_t(n - m), at + m);
      if (k <= 0) return false;
      m += k;
    }
    if (n == 0) return ::pread(b, y.data(), 1, at) == 0;
    if (std::memcmp(x.data(), y.data(), std::size_t(n)) != 0) return false;
    at += n;
  }
}

}  // namespace

Result<std::string> copyItem(const std::string& from, const std::string& to, bool keepSource) {
  const std::string name = to.substr(to.rfind('/') + 1);
  if (!validName(name)) return Error{ErrorCode::kInvalidName, "Invalid file name."};
  Fd source(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (source.fd < 0) return Error::posix(errno);
  struct stat st;
  if (::fstat(source.fd, &st) != 0) return Error::posix(errno);
  if (!S_ISREG(st.st_mode))
    return Error{ErrorCode::kCrossDevice, "Only files can be copied to another drive."};
  auto temporary = temporaryName();
  if (!temporary) return temporary.error();
  const std::string part = folderOf(to) + *temporary;
  Fd copy(::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (copy.fd < 0) return Error::posix(errno);
  // Whatever fails from here on, the part written is removed: the item is
  // still whole where it was.
  auto fail = [&](int err, const char* what = nullptr) -> Error {
    ::unlink(part.c_str());
    Error e = what ? Error{ErrorCode::kIo, what} : Error::posix(err);
    return e;
  };
  if (int e = copyData(source.fd, copy.fd)) return fail(e);
  if (int e = copyAttributes(source.fd, copy.fd)) return fail(e);
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (::fchmod(copy.fd, st.st_mode & 07777) != 0 || ::futimens(copy.fd, times) != 0 ||
      ::fsync(copy.fd) != 0)
    return fail(errno);
  // Read back, as the disk has it now: a copy is only trusted once it matches.
  ::posix_fadvise(copy.fd, 0, 0, POSIX_FADV_DONTNEED);
  Fd check(::open(part.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (check.fd < 0) return fail(errno);
  if (!sameContent(source.fd, check.fd))
    return fail(0, "The copy does not match the original, so the original was kept.");
  if (int e = moveNoReplace(part, to)) {
    ::unlink(part.c_str());
    return e == EEXIST ? nameTaken(name) : Error::posix(e);
  }
  if (int e = syncFolder(to)) return Error::posix(e);
  if (keepSource) return to;
  if (::unlink(from.c_str()) != 0) {
    Error e = Error::posix(errno);
    e.message += " (the copy is at \"" + to + "\", the original was kept)";
    return e;
  }
  (void)syncFolder(from);
  return to;
}

bool finishCopiedMove(const std::string& from, const std::string& to) {
  Fd source(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  Fd copy(::open(to.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  struct stat a, b;
  if (source.fd < 0 || copy.fd < 0 || ::fstat(source.fd, &a) != 0 || ::fstat(copy.fd, &b) != 0)
    return false;
  if (!S_ISREG(a.st_mode) || !S_ISREG(b.st_mode) || a.st_dev == b.st_dev ||
      a.st_size != b.st_size || !sameContent(source.fd, copy.fd) || ::unlink(from.c_str()) != 0)
    return false;
  (void)syncFolder(from);
  return true;
}

CopyProgress::CopyProgress(std::function<void(std::uint64_t bytes)> heard)
    : before_(std::exchange(written, std::move(heard))) {}

CopyProgress::~CopyProgress() { written = std::move(before_); }

}  // namespace quarrytide
