#pragma once
// Fills file records with one statx and two attribute reads per item,
// reusing its buffers across items so that a long listing does not allocate
// per read. One reader per listing; not shared between threads.

#include <string>
#include <string_view>

#include "file_record.hpp"

namespace quarrytide {

// "name" split at its last "." unless that "." is the first or the last
// character: "archive.tar.gz" -> ("archive.tar", "gz"); ".bashrc", "name."
// and "README" have no extension.
void splitName(std::string_view name, std::string& basename, std::string& ext);

class RecordReader {
 public:
  // Fills `r` (default-constructed) with the record of the item named `name`
  // in the folder open as `dirFd`, whose full path is `path`. Everything is
  // read relative to `dirFd`, never following a link. Use AT_FDCWD with
  // `name` equal to `path` for a lone item. Returns the item's mode (its
  // type and permissions), 0 when it could not be read.
  unsigned read(FileRecord& r, int dirFd, const char* name, std::string path);

  bool accessed = false;  // the records say when each item was last read, too

 private:
  std::string names_;  // attribute names, reused
  std::string value_;  // attribute value, reused
};

}  // namespace quarrytide
