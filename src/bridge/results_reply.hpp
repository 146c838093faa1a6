#pragma once
// The apply reply, {"results": [result records]}, streamed straight from the
// results: a batch can hold tens of thousands of them, and building a JSON
// tree for them costs more than the renames.

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/operation.hpp"

namespace quarrytide {

// The reply call with "ok" true. Each record has exactly the keys of its
// shape; bytes that are not valid UTF-8 become U+FFFD. Any thread.
std::string resultsReplyCall(std::int64_t id, const std::vector<OpResult>& results);

}  // namespace quarrytide
