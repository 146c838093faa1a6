// thumbnail: a file's picture or icon as a square PNG data URL.
#include <algorithm>

#include "args.hpp"
#include "bridge.hpp"

namespace quarrytide {
namespace {

constexpr std::int64_t kDefaultThumbSize = 48;
// Larger sizes are a page bug; they must not make the thumbnailer allocate gigabytes.
constexpr std::int64_t kMaxThumbSize = 1024;

}  // namespace

void Bridge::thumbnail(std::int64_t id, const nlohmann::json& args) {
  Args a(args);
  auto path = a.path("path", "rawPath");
  if (!path) {
    replies_->fail(id, {ErrorCode::kBadRequest, "missing path"});
    return;
  }
  std::int64_t size = std::min(a.integer("size", kDefaultThumbSize), kMaxThumbSize);
  if (size <= 0 || !host_.thumbnails) {  // no square to draw, or no thumbnailer
    resolve(id, true, {{"dataUrl", ""}});
    return;
  }
  // The completion may run on any thread and after the Bridge is gone, so it
  // holds the reply channel, not the Bridge.
  host_.thumbnails(*path, size, [replies = replies_, id](std::string dataUrl) {
    replies->resolve(id, true, {{"dataUrl", std::move(dataUrl)}});
  });
}

}  // namespace quarrytide
