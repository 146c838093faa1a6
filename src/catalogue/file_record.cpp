#include "file_record.hpp"

#include <fcntl.h>
#include <unistd.h>

#include "page_path.hpp"
#include "record_reader.hpp"

namespace quarrytide {

FileRecord fileInfo(const std::string& path) {
  std::string absolute = plainPath(path);
  const std::string name = absolute;  // statx by full path; `absolute` moves
  FileRecord r;
  RecordReader().read(r, AT_FDCWD, name.c_str(), std::move(absolute));
  return r;
}

}  // namespace quarrytide
