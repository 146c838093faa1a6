// chooseFolder, listFolder and statPaths: not built yet.
#include "bridge.hpp"

namespace quarrytide {

void Bridge::chooseFolder(std::int64_t id, const nlohmann::json&) { answerUnknown(id, "chooseFolder"); }
void Bridge::listFolder(std::int64_t id, const nlohmann::json&) { answerUnknown(id, "listFolder"); }
void Bridge::statPaths(std::int64_t id, const nlohmann::json&) { answerUnknown(id, "statPaths"); }

}  // namespace quarrytide
