// File drops: classified on `io`, delivered as one drop notification.
#include "bridge.hpp"
#include "drop_kind.hpp"
#include "reply_text.hpp"

namespace quarrytide {

void Bridge::handleDrop(std::vector<std::string> paths, bool opened) {
  if (paths.empty()) return;
  replies_->expect();
  // `this` stays valid on io: io_ is drained before any other member goes.
  io_.submit([this, paths = std::move(paths), opened] {
    auto drop = classifyDrop(host_.catalogue, paths, foldersMode());
    replies_->post(dropCall(drop.folder, drop.files, drop.dropKind, opened));
  });
}

}  // namespace quarrytide
