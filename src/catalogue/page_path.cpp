#include "page_path.hpp"

#include <unistd.h>

#include <cstdlib>

namespace quarrytide {

bool namesNoItem(std::string_view path) {
  return path.empty() || path.find('\0') != std::string_view::npos;
}

std::string plainPath(std::string_view path) {
  std::string full;
  if (path.empty() || path.front() != '/') {
    // getcwd fails only when the working folder is gone; the path then stays
    // relative, and whatever it names is simply not found.
    if (char* cwd = ::getcwd(nullptr, 0)) {
      full = cwd;
      std::free(cwd);
    }
    full += '/';
  }
  full += path;
  std::string out;
  for (std::size_t start = 0; start <= full.size();) {
    std::size_t end = full.find('/', start);
    if (end == std::string::npos) end = full.size();
    std::string_view part(full.data() + start, end - start);
    if (!part.empty() && part != ".") out.append("/").append(part);
    start = end + 1;
  }
  return out.empty() ? "/" : out;
}

}  // namespace quarrytide
