#include "media/file_digest.hpp"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace quarrytide {

namespace {

GChecksumType checksumType(std::string_view hash) {
  if (hash == "md5") return G_CHECKSUM_MD5;
  if (hash == "sha1") return G_CHECKSUM_SHA1;
  if (hash == "sha512") return G_CHECKSUM_SHA512;
  return G_CHECKSUM_SHA256;
}

struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

FileDigest digestFile(const std::string& path, std::string_view hash) {
  Descriptor file{open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  struct stat st {};
  if (file.fd < 0 || fstat(file.fd, &st) != 0) return {{}, std::strerror(errno)};
  if (!S_ISREG(st.st_mode)) return {};
  g_autoptr(GChecksum) sum = g_checksum_new(checksumType(hash));
  static thread_local std::vector<guchar> buffer(1 << 20);
  for (;;) {
    ssize_t n = read(file.fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return {{}, std::strerror(errno)};
    if (n == 0) break;
    g_checksum_update(sum, buffer.data(), gsize(n));
  }
  return {g_checksum_get_string(sum), {}};
}

}  // namespace quarrytide
