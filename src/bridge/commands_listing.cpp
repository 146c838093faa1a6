// chooseFolder, listFolder and statPaths.
#include "args.hpp"
#include "bridge.hpp"

namespace quarrytide {

void Bridge::chooseFolder(std::int64_t id, const nlohmann::json& args) {
  // The flags are read only once a folder is chosen, from the arguments as
  // they came. The chooser answers on the main thread while the host (and so
  // this Bridge) is running.
  host_.chooser.show([this, id, args](std::optional<std::string> chosen) {
    if (!chosen) {
      resolve(id, true, nullptr);  // a cancel is not an error
      return;
    }
    const Args a(args);
    const bool recursive = a.boolean("recursive", false);
    const bool foldersOnly = a.foldersKind();
    io_.submit([replies = replies_, &catalogue = host_.catalogue, id, folder = std::move(*chosen),
                recursive, foldersOnly] {
      replies->resolveRecords(id, folder, catalogue.listFolder(folder, recursive, foldersOnly));
    });
  });
}

void Bridge::listFolder(std::int64_t id, const nlohmann::json& args) {
  const Args a(args);
  auto folder = a.string("folder");
  if (!folder) {
    resolve(id, false, "missing folder");
    return;
  }
  const bool recursive = a.boolean("recursive", false);
  const bool foldersOnly = a.foldersKind();
  // The reply echoes the folder exactly as sent; a missing or unreadable
  // folder simply lists nothing.
  io_.submit([replies = replies_, &catalogue = host_.catalogue, id, folder = std::move(*folder),
              recursive, foldersOnly] {
    replies->resolveRecords(id, folder, catalogue.listFolder(folder, recursive, foldersOnly));
  });
}

void Bridge::statPaths(std::int64_t id, const nlohmann::json& args) {
  auto paths = Args(args).strings("paths").value_or(std::vector<std::string>{});
  // In the order given, each path as often as given; absent ones left out.
  io_.submit([replies = replies_, &catalogue = host_.catalogue, id, paths = std::move(paths)] {
    std::vector<FileRecord> files;
    files.reserve(paths.size());
    for (const auto& path : paths) {
      if (auto record = catalogue.describe(path)) files.push_back(std::move(*record));
    }
    replies->resolveRecords(id, std::nullopt, files);
  });
}

}  // namespace quarrytide
