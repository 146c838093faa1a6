// Any list of dropped paths (bytes, separated by newlines): the page gets one
// well-formed drop call whose folder and files are plain absolute paths.
// The catalogue is a fake: nothing on disk is read.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "drop_kind.hpp"
#include "fuzz_seams.hpp"
#include "reply_text.hpp"

using namespace quarrytide;
using namespace quarrytide::fuzz;

namespace {

// Absolute, no "." parts, no repeated or trailing "/". ".." may stay: through
// a link it does not mean the folder before it.
bool plain(const std::string& path) {
  if (path.empty() || path[0] != '/') return false;
  if (path.size() > 1 && path.back() == '/') return false;
  if (path.find("//") != std::string::npos || path.find("/./") != std::string::npos) return false;
  return !path.ends_with("/.");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::istringstream text(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  std::vector<std::string> paths;
  // A NUL cannot reach a drop: the list arrives as text URIs.
  for (std::string p; std::getline(text, p);)
    if (p.find('\0') == std::string::npos && !p.empty()) paths.push_back(p);
  if (paths.empty()) return 0;

  FakeCatalogue catalogue;
  auto contents = classifyDrop(catalogue, paths, data[0] & 1);
  if (!plain(contents.folder)) std::abort();
  for (const auto& f : contents.files)
    if (!plain(f.path)) std::abort();
  CheckingSink sink;
  sink.evaluate(dropCall(contents.folder, contents.files, contents.dropKind));
  return 0;
}
