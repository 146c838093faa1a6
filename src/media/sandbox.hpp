#pragma once
// The probe's confinement: once its libraries are set up, the kernel refuses
// it anything but reading. Opening for writing, changing any file or its
// attributes, starting programs and opening sockets all fail.

#include <string>

namespace quarrytide {

// Empty when the filter is in place, else why it is not.
std::string enterReadOnlySandbox();

}  // namespace quarrytide
