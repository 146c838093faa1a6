#pragma once
// Errors as values. This is the lowest layer, so the catalogue and the
// bridge share these types from here.

#include <string>
#include <utility>
#include <variant>

namespace quarrytide {

struct Error {
  std::string domain;  // "Quarrytide" for our own errors, "posix" for errno
  int code = 0;        // our code, or the errno value
  std::string message;

  static Error posix(int err);  // the system's message for errno `err`
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
