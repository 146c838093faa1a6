#pragma once
// A file's bytes in memory, for the libraries to read with no system call:
// exiv2 and TagLib open, seek and read a file a dozen times or more, which
// cost more than reading a small photo's or song's fields. Small files are
// read in one go; larger ones are mapped, so that only what is read is
// touched. Holds nothing when the file cannot be read so (the libraries then
// open it themselves and say why).

#include <cstddef>
#include <string>
#include <vector>

#include <taglib/tiostream.h>

namespace quarrytide {

class FileBytes {
 public:
  explicit FileBytes(const std::string& path);
  ~FileBytes();
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  const unsigned char* data() const { return static_cast<const unsigned char*>(data_); }
  std::size_t size() const { return size_; }

 private:
  std::vector<unsigned char> read_;
  void* data_ = nullptr;
  std::size_t size_ = 0;
  bool mapped_ = false;
};

// FileBytes as TagLib reads a file: read-only.
class ByteStream : public TagLib::IOStream {
 public:
  // `bytes` must outlive the stream; `name` is the file's, whose extension
  // tells TagLib the format.
  ByteStream(const std::string& name, const FileBytes& bytes) : name_(name), bytes_(bytes) {}
  TagLib::FileName name() const override { return name_.c_str(); }
  TagLib::ByteVector readBlock(unsigned long length) override;
  void writeBlock(const TagLib::ByteVector&) override {}
  void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
  void removeBlock(unsigned long, unsigned long) override {}
  bool readOnly() const override { return true; }
  bool isOpen() const override { return true; }
  void seek(long offset, Position from) override;
  long tell() const override { return long(at_); }
  long length() override { return long(bytes_.size()); }
  void truncate(long) override {}

 private:
  std::string name_;
  const FileBytes& bytes_;
  std::size_t at_ = 0;
};

}  // namespace quarrytide
