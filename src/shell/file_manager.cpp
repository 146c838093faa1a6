// Placeholder until reveal is built.
#include "file_manager.hpp"

namespace quarrytide {
void FileManagerBrowser::reveal(const std::vector<std::string>&) {}
}  // namespace quarrytide
