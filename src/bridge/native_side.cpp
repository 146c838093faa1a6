#include "native_side.hpp"

#include <future>

#include "thumbnails/thumb_cache.hpp"

namespace quarrytide {
namespace {

// A photo's own preview, read by the media helper: a thumbnail worker waits
// for it (the reader answers every request, even as it ends).
std::optional<EmbeddedPreview> ownPreview(MediaReader& media, const std::string& path, int pixels) {
  std::promise<nlohmann::json> answer;
  std::future<nlohmann::json> item = answer.get_future();
  media.readPreview(path, pixels,
                    [&answer](nlohmann::json one) { answer.set_value(std::move(one)); });
  const nlohmann::json found = item.get();
  auto bytes = found.find("bytes");
  if (bytes == found.end() || !bytes->is_binary()) return std::nullopt;
  const auto& jpeg = bytes->get_binary();
  EmbeddedPreview preview;
  preview.jpeg.assign(jpeg.begin(), jpeg.end());
  auto number = [&](const char* key) {
    auto it = found.find(key);
    return it != found.end() && it->is_number_integer() ? it->get<long>() : 0L;
  };
  preview.orientation = int(number("orientation"));
  preview.width = number("width");
  preview.height = number("height");
  return preview;
}

}  // namespace

NativeSide::NativeSide(HostParts parts)
    : settings_(SettingsFile::defaultPath()),
      journal_(Journal::defaultPath()),
      media_(MediaReader::defaultProgram(), WorkerThreads::cores()),
      // Icons are drawn on the main thread, through the same queue as replies.
      thumbs_(
          parts.icons,
          [&main = parts.main](std::function<void()> task) { main.post(std::move(task)); },
          defaultThumbCacheRoot(), SystemThumbnailers(SystemThumbnailers::standardFolders()),
          [this](const std::string& path, int pixels) { return ownPreview(media_, path, pixels); }),
      bridge_(std::make_unique<Bridge>(BridgeHost{
          parts.main, settings_, parts.chooser, parts.browser, catalogue_,
          [this, scale = std::move(parts.scale)](const std::string& path, std::int64_t size,
                                                 std::function<void(std::string)> done) {
            thumbs_.makeThumb(path, size, scale(), std::move(done));
          },
          [this](std::vector<std::string> paths, std::string hash, bool all,
                 std::function<void(std::vector<std::string>)> done) {
            media_.read(std::move(paths), std::move(hash), all, std::move(done));
          }})) {
  bridge_->setJournal(&journal_, journal_.recover());
}

}  // namespace quarrytide
