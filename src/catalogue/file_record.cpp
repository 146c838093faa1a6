#include "file_record.hpp"

#include <fcntl.h>
#include <unistd.h>

#include "record_reader.hpp"

namespace quarrytide {

bool namesNoItem(std::string_view path) {
  return path.empty() || path.find('\0') != std::string_view::npos;
}

std::string absolutePath(const std::string& path) {
  std::string out;
  if (path.empty() || path.front() != '/') {
    // getcwd fails only when the current folder is gone; the path then stays
    // relative, and its record simply takes the defaults.
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd)) {
      out = cwd;
      if (out.back() != '/') out += '/';
    }
  }
  out += path;
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

FileRecord fileInfo(const std::string& path) {
  std::string absolute = absolutePath(path);
  const std::string name = absolute;  // statx by full path; `absolute` moves
  FileRecord r;
  RecordReader().read(r, AT_FDCWD, name.c_str(), std::move(absolute));
  return r;
}

}  // namespace quarrytide
