#include "result.hpp"

#include <cerrno>
#include <cstring>

namespace quarrytide {

namespace {

ErrorCode codeOf(int err) {
  switch (err) {
    case EEXIST:
    case ENOTEMPTY:
      return ErrorCode::kExists;
    case ENAMETOOLONG:
      return ErrorCode::kNameTooLong;
    case ENOENT:
    case ENOTDIR:
      return ErrorCode::kNotFound;
    case EACCES:
    case EPERM:
      return ErrorCode::kPermission;
    case EROFS:
      return ErrorCode::kReadOnly;
    case ENOSPC:
    case EDQUOT:
    case E2BIG:  // an attribute value larger than the file system allows
      return ErrorCode::kNoSpace;
    case ENOTSUP:
      return ErrorCode::kNoXattrSupport;
    case EBUSY:
    case ETXTBSY:
      return ErrorCode::kBusy;
    case EXDEV:
      return ErrorCode::kCrossDevice;
    default:
      return ErrorCode::kIo;
  }
}

}  // namespace

std::string_view codeName(ErrorCode code) {
  switch (code) {
    case ErrorCode::kExists:
      return "exists";
    case ErrorCode::kInvalidName:
      return "invalid-name";
    case ErrorCode::kNameTooLong:
      return "name-too-long";
    case ErrorCode::kNotFound:
      return "not-found";
    case ErrorCode::kPermission:
      return "permission";
    case ErrorCode::kReadOnly:
      return "read-only";
    case ErrorCode::kNoSpace:
      return "no-space";
    case ErrorCode::kNoXattrSupport:
      return "no-xattr-support";
    case ErrorCode::kBusy:
      return "busy";
    case ErrorCode::kCrossDevice:
      return "cross-device";
    case ErrorCode::kIo:
      return "io";
    case ErrorCode::kJournal:
      return "journal";
    case ErrorCode::kCancelled:
      return "cancelled";
    case ErrorCode::kInvalidTag:
      return "invalid-tag";
    case ErrorCode::kConflict:
      return "conflict";
    case ErrorCode::kBadRequest:
      return "bad-request";
    case ErrorCode::kSameItem:
      return "same-item";
    case ErrorCode::kSameTarget:
      return "same-target";
    case ErrorCode::kOtherFolder:
      return "other-folder";
    case ErrorCode::kNotAFolder:
      return "not-a-folder";
  }
  return "io";
}

Error Error::posix(int err) {
  // strerror_r's GNU form may return a static string instead of filling buf.
  char buf[256];
  const char* text = strerror_r(err, buf, sizeof buf);
  return Error{codeOf(err), text, err};
}

}  // namespace quarrytide
