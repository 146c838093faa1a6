#include "comments.hpp"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unicode/ustring.h>

#include <cerrno>
#include <cstdint>

#include "xattr_value.hpp"

namespace quarrytide {

bool isCommentText(std::string_view bytes) {
  if (bytes.size() > INT32_MAX) return false;
  // Preflight only: ICU reports invalid sequences without converting.
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strFromUTF8(nullptr, 0, &length, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  return status == U_BUFFER_OVERFLOW_ERROR || U_SUCCESS(status);
}

bool readCommentAt(int dirFd, const char* name, const char* path, std::string& comment) {
  if (readAttributeAt(dirFd, name, path, kCommentAttribute, comment) != 0) return false;
  if (!isCommentText(comment)) {
    comment.clear();
    return false;
  }
  return true;
}

std::string readComment(const std::string& path) {
  std::string comment;
  readCommentAt(AT_FDCWD, path.c_str(), path.c_str(), comment);
  return comment;
}

Status setComment(const std::string& path, const std::string& comment) {
  if (comment.empty()) {
    // Already absent, or a file system that cannot hold comments: none, as asked.
    if (::lremovexattr(path.c_str(), kCommentAttribute) == 0 || isNoAttribute(errno))
      return okStatus();
    return Error::posix(errno);
  }
  if (::lsetxattr(path.c_str(), kCommentAttribute, comment.data(), comment.size(), 0) != 0)
    return Error::posix(errno);
  return okStatus();
}

}  // namespace quarrytide
