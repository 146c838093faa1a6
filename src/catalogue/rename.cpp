// Placeholder until renaming is built.
#include "rename.hpp"

namespace quarrytide {
Result<std::string> renameFile(const std::string&, const std::string&) {
  return Error{"Quarrytide", 0, "renaming is not built yet"};
}
}  // namespace quarrytide
