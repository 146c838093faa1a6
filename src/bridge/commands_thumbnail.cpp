// thumbnail: not built yet.
#include "bridge.hpp"

namespace quarrytide {

void Bridge::thumbnail(std::int64_t id, const nlohmann::json&) { answerUnknown(id, "thumbnail"); }

}  // namespace quarrytide
