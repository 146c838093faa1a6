#include "media/file_bytes.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace quarrytide {

FileBytes::FileBytes(const std::string& path) {
  constexpr off_t kReadWhole = 256 * 1024;
  // Non-blocking: a FIFO named like a photo must not hold the reader.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    if (st.st_size <= kReadWhole) {
      read_.resize(std::size_t(st.st_size));
      if (pread(fd, read_.data(), read_.size(), 0) == ssize_t(read_.size()))
        data_ = read_.data(), size_ = read_.size();
    } else if (void* p = mmap(nullptr, std::size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
               p != MAP_FAILED) {
      mapped_ = true, data_ = p, size_ = std::size_t(st.st_size);
    }
  }
  close(fd);
}

FileBytes::~FileBytes() {
  if (mapped_) munmap(data_, size_);
}

TagLib::ByteVector ByteStream::readBlock(unsigned long length) {
  const std::size_t n = std::min<std::size_t>(length, bytes_.size() - at_);
  TagLib::ByteVector block(reinterpret_cast<const char*>(bytes_.data()) + at_, unsigned(n));
  at_ += n;
  return block;
}

void ByteStream::seek(long offset, Position from) {
  const long base = from == Beginning ? 0 : from == Current ? long(at_) : long(bytes_.size());
  at_ = std::size_t(std::clamp(base + offset, 0L, long(bytes_.size())));
}

}  // namespace quarrytide
