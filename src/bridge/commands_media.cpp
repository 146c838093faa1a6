// readMedia: what is inside files (dates taken, cameras, tags, pages).
#include "args.hpp"
#include "bridge.hpp"
#include "media/media_kind.hpp"

namespace quarrytide {

void Bridge::readMedia(std::int64_t id, const nlohmann::json& args) {
  const Args a(args);
  auto paths = a.strings("paths");
  if (!paths) {
    replies_->fail(id, {ErrorCode::kBadRequest, "missing paths"});
    return;
  }
  std::string hash = a.string("hash").value_or("");
  if (!isHashName(hash)) {
    replies_->fail(id, {ErrorCode::kBadRequest, "unknown hash: " + hash});
    return;
  }
  if (!host_.media) {  // a host without a reader: every file fails alike
    nlohmann::json items = nlohmann::json::array();
    for (const auto& path : *paths)
      items.push_back({{"path", path},
                       {"kind", mediaKindName(mediaKindOf(path))},
                       {"error", "media cannot be read here"}});
    resolve(id, true, {{"items", std::move(items)}});
    return;
  }
  host_.media(std::move(*paths), std::move(hash), a.boolean("all", false),
              [replies = replies_, id](nlohmann::json items) {
                replies->resolve(id, true, {{"items", std::move(items)}});
              });
}

}  // namespace quarrytide
