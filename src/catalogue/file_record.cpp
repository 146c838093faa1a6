// Placeholder until file records are built.
#include "file_record.hpp"

namespace quarrytide {
FileRecord fileInfo(const std::string& path) {
  FileRecord r;
  r.path = r.name = r.basename = path;
  return r;
}
}  // namespace quarrytide
