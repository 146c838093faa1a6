#pragma once
// A file copied to another folder, on any drive: written under a hidden
// temporary name, its user attributes and times kept, flushed to disk, read
// back and compared, and only then given its name (never replacing an item).
// A move across drives is such a copy and then the removal of the original,
// so that a crash leaves the item in one place or both, never in none.
//
// Thread rule: called on `io` only.

#include <cstdint>
#include <functional>
#include <string>

#include "metadata/result.hpp"

namespace quarrytide {

// Copies the file at `from` to the path `to`; removes `from` afterwards unless
// `keepSource`. Returns `to`. A folder is error kCrossDevice (not copied).
Result<std::string> copyItem(const std::string& from, const std::string& to, bool keepSource);

// Finishes a move to another drive that a crash cut after its copy got its
// name: when `to` is a file on another drive than the file `from`, with the
// same bytes, `from` is removed. False (nothing removed) otherwise.
bool finishCopiedMove(const std::string& from, const std::string& to);

// Hears the bytes each copy on this thread writes, as it writes them, while
// it is alive: a batch of copies shows its progress inside a large file too.
class CopyProgress {
 public:
  explicit CopyProgress(std::function<void(std::uint64_t bytes)> written);
  ~CopyProgress();
  CopyProgress(const CopyProgress&) = delete;
  CopyProgress& operator=(const CopyProgress&) = delete;

 private:
  std::function<void(std::uint64_t)> before_;
};

}  // namespace quarrytide
