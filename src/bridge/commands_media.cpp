// readMedia: what is inside files (dates taken, cameras, tags, pages).
#include "args.hpp"
#include "bridge.hpp"
#include "media/media_kind.hpp"
#include "media/media_reader.hpp"
#include "raw_bytes.hpp"

namespace quarrytide {

void Bridge::readMedia(std::int64_t id, const nlohmann::json& args) {
  const Args a(args);
  auto paths = a.strings("paths");
  if (!paths) {
    replies_->fail(id, {ErrorCode::kBadRequest, "missing paths"});
    return;
  }
  // names that are not UTF-8 come as their bytes, after the others, and are
  // answered with the same rawPath, by which the page knows them
  const auto raw = a.strings("rawPaths").value_or(std::vector<std::string>{});
  const std::size_t plain = paths->size();
  for (const auto& r : raw) paths->push_back(bytesOfBase64(r).value_or(""));
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
  // The items come as JSON texts and go out as they are, joined.
  host_.media(std::move(*paths), std::move(hash), a.boolean("all", false),
              [replies = replies_, id, raw, plain](std::vector<std::string> items) {
                std::size_t size = 16;
                for (const auto& item : items) size += item.size() + 1;
                std::string payload;
                payload.reserve(size);
                payload += "{\"items\":[";
                for (std::size_t k = 0; k < items.size(); ++k) {
                  if (k > 0) payload += ',';
                  payload += k >= plain && k - plain < raw.size()
                                 ? withMember(std::move(items[k]), "rawPath",
                                              nlohmann::json(raw[k - plain]).dump())
                                 : items[k];
                }
                payload += "]}";
                replies->resolveText(id, true, payload);
              });
}

}  // namespace quarrytide
