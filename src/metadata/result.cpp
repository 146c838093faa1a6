#include "result.hpp"

#include <cstring>

namespace quarrytide {

Error Error::posix(int err) {
  // strerror_r's GNU form may return a static string instead of filling buf.
  char buf[256];
  const char* text = strerror_r(err, buf, sizeof buf);
  return Error{"posix", err, text};
}

}  // namespace quarrytide
