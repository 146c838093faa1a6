#pragma once
// A library loaded the first time a reader needs it. libavformat and poppler
// pull in well over a hundred libraries between them (every codec, cairo,
// fonts): linked, they would make each helper's start several times slower,
// though most folders hold neither a video nor a PDF.

#include <dlfcn.h>

namespace quarrytide {

class LazyLibrary {
 public:
  // `soname` as the program was built against; loaded at most once.
  explicit LazyLibrary(const char* soname) : handle_(dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {}
  explicit operator bool() const { return handle_ != nullptr; }
  // Points `fn` at `name`; false when the library or the name is missing.
  template <class F>
  bool bind(F& fn, const char* name) const {
    fn = handle_ ? reinterpret_cast<F>(dlsym(handle_, name)) : nullptr;
    return fn != nullptr;
  }

 private:
  void* handle_;  // never closed: the helper ends with it
};

}  // namespace quarrytide
