// Placeholder until operation application is built.
#include "operation.hpp"

namespace quarrytide {
OpResult applyOp(const Operation& op) { return OpResult{false, op.path, std::nullopt, "not built yet"}; }
}  // namespace quarrytide
