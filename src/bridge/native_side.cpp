#include "native_side.hpp"

#include "thumbnails/thumb_cache.hpp"

namespace quarrytide {

NativeSide::NativeSide(HostParts parts)
    : settings_(SettingsFile::defaultPath()),
      journal_(Journal::defaultPath()),
      // Icons are drawn on the main thread, through the same queue as replies.
      thumbs_(
          parts.icons,
          [&main = parts.main](std::function<void()> task) { main.post(std::move(task)); },
          defaultThumbCacheRoot(), SystemThumbnailers(SystemThumbnailers::standardFolders())),
      media_(MediaReader::defaultProgram(), WorkerThreads::cores()),
      bridge_(std::make_unique<Bridge>(BridgeHost{
          parts.main, settings_, parts.chooser, parts.browser, catalogue_,
          [this, scale = std::move(parts.scale)](const std::string& path, std::int64_t size,
                                                 std::function<void(std::string)> done) {
            thumbs_.makeThumb(path, size, scale(), std::move(done));
          },
          [this](std::vector<std::string> paths, std::string hash, bool all,
                 std::function<void(nlohmann::json)> done) {
            media_.read(std::move(paths), std::move(hash), all, std::move(done));
          }})) {
  bridge_->setJournal(&journal_, journal_.recover());
}

}  // namespace quarrytide
