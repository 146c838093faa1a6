// Any text posted by the page: the bridge never crashes, answers each accepted
// request exactly once with a well-formed reply call, and touches no disk
// (every seam is a fake: CI runs as root, and envelopes carry absolute paths).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_seams.hpp"

using namespace quarrytide;
using namespace quarrytide::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static FuzzHost host;  // one Bridge (and its io thread) for the whole run
  std::string text(reinterpret_cast<const char*>(data), size);
  std::size_t before = host.sink.count;
  bool accepted = host.post(text);
  host.settle();
  std::size_t replies = host.sink.count - before;
  if (replies != (accepted ? 1u : 0u)) std::abort();
  return 0;
}
