#include "record_reader.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include "metadata/comments.hpp"
#include "metadata/tag_store.hpp"
#include "metadata/tags.hpp"
#include "metadata/xattr_value.hpp"

namespace quarrytide {

namespace {

double milliseconds(const struct statx_timestamp& t) {
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

}  // namespace

void splitName(std::string_view name, std::string& basename, std::string& ext) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) {
    basename.assign(name);
    ext.clear();
    return;
  }
  basename.assign(name.substr(0, dot));
  ext.assign(name.substr(dot + 1));
}

unsigned RecordReader::read(FileRecord& r, int dirFd, const char* name, std::string path) {
  r.path = std::move(path);
  const std::size_t slash = r.path.rfind('/');
  r.name = slash == std::string::npos || r.path.size() == 1 ? r.path : r.path.substr(slash + 1);
  splitName(r.name, r.basename, r.ext);

  struct statx stx;
  unsigned mode = 0;
  const unsigned mask =
      STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_BTIME | (accessed ? STATX_ATIME : 0u);
  if (accessed) r.accessed = 0;
  if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &stx) == 0) {
    if (accessed && (stx.stx_mask & STATX_ATIME)) r.accessed = milliseconds(stx.stx_atime);
    if (stx.stx_mask & STATX_TYPE) {
      mode = stx.stx_mode;
      r.isDir = S_ISDIR(mode);
    }
    if (stx.stx_mask & STATX_SIZE) r.size = static_cast<std::int64_t>(stx.stx_size);
    if (stx.stx_mask & STATX_BTIME) r.created = milliseconds(stx.stx_btime);
    if (stx.stx_mask & STATX_MTIME) r.modified = milliseconds(stx.stx_mtime);
  }

  // The attributes' names first: most items have neither attribute read
  // below, and then one call does the work of two. Where they cannot be
  // listed, both are read anyway.
  bool tags = true, comment = true;
  if (listAttributesAt(dirFd, name, r.path.c_str(), names_) == 0) {
    tags = hasAttribute(names_, kTagsAttribute);
    comment = hasAttribute(names_, kCommentAttribute);
  }
  if (tags && readAttributeAt(dirFd, name, r.path.c_str(), kTagsAttribute, value_) == 0) {
    SplitTags split = splitTags(splitStoredTags(value_));
    r.tags = std::move(split.user);
    r.label = split.label;
  }
  if (comment && readCommentAt(dirFd, name, r.path.c_str(), value_)) r.comment = value_;
  return mode;
}

}  // namespace quarrytide
