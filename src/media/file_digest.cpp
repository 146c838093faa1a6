#include "media/file_digest.hpp"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <xxhash.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace quarrytide {

namespace {

GChecksumType checksumType(std::string_view hash) {
  if (hash == "md5") return G_CHECKSUM_MD5;
  if (hash == "sha1") return G_CHECKSUM_SHA1;
  if (hash == "sha512") return G_CHECKSUM_SHA512;
  return G_CHECKSUM_SHA256;
}

// One digest as it goes: GLib's checksums, or xxHash's three (fast, not for
// secrets: for telling copies apart). Written as xxhsum writes them.
class Digest {
 public:
  explicit Digest(std::string_view hash) : kind_(hash) {
    if (kind_ == "xxh32")
      XXH32_reset(xxh32_.get(), 0);
    else if (kind_ == "xxh64")
      XXH64_reset(xxh64_.get(), 0);
    else if (kind_ == "xxh3")
      XXH3_64bits_reset(xxh3_.get());
    else
      sum_.reset(g_checksum_new(checksumType(hash)));
  }
  void update(const void* data, std::size_t size) {
    if (sum_)
      g_checksum_update(sum_.get(), static_cast<const guchar*>(data), gssize(size));
    else if (kind_ == "xxh32")
      XXH32_update(xxh32_.get(), data, size);
    else if (kind_ == "xxh64")
      XXH64_update(xxh64_.get(), data, size);
    else
      XXH3_64bits_update(xxh3_.get(), data, size);
  }
  std::string hex() const {
    if (sum_) return g_checksum_get_string(sum_.get());
    char out[17];
    if (kind_ == "xxh32")
      std::snprintf(out, sizeof out, "%08x", unsigned(XXH32_digest(xxh32_.get())));
    else
      std::snprintf(
          out, sizeof out, "%016llx",
          static_cast<unsigned long long>(kind_ == "xxh64" ? XXH64_digest(xxh64_.get())
                                                           : XXH3_64bits_digest(xxh3_.get())));
    return out;
  }

 private:
  struct Free {
    void operator()(GChecksum* s) const { g_checksum_free(s); }
    void operator()(XXH32_state_t* s) const { XXH32_freeState(s); }
    void operator()(XXH64_state_t* s) const { XXH64_freeState(s); }
    void operator()(XXH3_state_t* s) const { XXH3_freeState(s); }
  };
  std::string_view kind_;
  std::unique_ptr<GChecksum, Free> sum_;
  std::unique_ptr<XXH32_state_t, Free> xxh32_{kind_ == "xxh32" ? XXH32_createState() : nullptr};
  std::unique_ptr<XXH64_state_t, Free> xxh64_{kind_ == "xxh64" ? XXH64_createState() : nullptr};
  std::unique_ptr<XXH3_state_t, Free> xxh3_{kind_ == "xxh3" ? XXH3_createState() : nullptr};
};

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
  Digest sum(hash);
  static thread_local std::vector<guchar> buffer(1 << 20);
  for (;;) {
    ssize_t n = read(file.fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return {{}, std::strerror(errno)};
    if (n == 0) break;
    sum.update(buffer.data(), std::size_t(n));
  }
  return {sum.hex(), {}};
}

}  // namespace quarrytide
