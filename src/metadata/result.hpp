#pragma once
// Errors as values. This is the lowest layer, so the catalogue and the
// bridge share these types from here.

#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace quarrytide {

// What went wrong, as the page and the command line tell failures apart:
// stable, unlike the messages, which are for people and may be reworded.
enum class ErrorCode : int {
  kExists,       // the name is taken by another item
  kInvalidName,  // empty, ".", "..", a "/" or a NUL
  kNameTooLong,
  kNotFound,  // the item (or its folder) is not there
  kPermission,
  kReadOnly,        // a read-only file system
  kNoSpace,         // the disk, a quota or an attribute's room is full
  kNoXattrSupport,  // the file system keeps no user attributes
  kBusy,
  kCrossDevice,
  kIo,           // anything else the system refused
  kJournal,      // the journal could not be written or read
  kCancelled,    // the batch was stopped before this item
  kInvalidTag,   // a tag the stored format cannot hold
  kConflict,     // the batch as a whole is refused (see each change's code)
  kBadRequest,   // a request the page should not have sent
  kSameItem,     // two changes of one batch for one item
  kSameTarget,   // two items of one batch onto one path
  kOtherFolder,  // a new path in another folder than the item's
  kNotAFolder,   // a folder a new path needs is a file
};

// The code as it crosses the boundary: "exists", "invalid-name", …
std::string_view codeName(ErrorCode code);

struct Error {
  ErrorCode code = ErrorCode::kIo;
  std::string message;
  int sys = 0;  // the errno (or SQLite result) behind it; 0 for our own

  // The system's message for errno `err`, with the code that says what it means.
  static Error posix(int err);
  bool operator==(const Error&) const = default;
};

// The outcome of an operation that can fail: a value or an Error.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}      // NOLINT: implicit by design
  Result(Error error) : v_(std::move(error)) {}  // NOLINT
  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  const T& value() const& { return std::get<0>(v_); }
  T&& value() && { return std::get<0>(std::move(v_)); }
  const T& operator*() const& { return value(); }
  const T* operator->() const { return &value(); }
  const Error& error() const { return std::get<1>(v_); }

 private:
  std::variant<T, Error> v_;
};

struct Ok {};
using Status = Result<Ok>;
inline Status okStatus() { return Ok{}; }

}  // namespace quarrytide
