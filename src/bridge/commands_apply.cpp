// apply and reveal: not built yet.
#include "bridge.hpp"

namespace quarrytide {

void Bridge::apply(std::int64_t id, const nlohmann::json&) { answerUnknown(id, "apply"); }
void Bridge::reveal(std::int64_t id, const nlohmann::json&) { answerUnknown(id, "reveal"); }

}  // namespace quarrytide
