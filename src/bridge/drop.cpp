// File drops: not built yet; a drop is ignored.
#include "bridge.hpp"

namespace quarrytide {

void Bridge::handleDrop(std::vector<std::string>) {}

}  // namespace quarrytide
