// Placeholder until listing is built.
#include "listing.hpp"

namespace quarrytide {
std::vector<FileRecord> listFolder(const std::string&, bool, bool) { return {}; }
}  // namespace quarrytide
