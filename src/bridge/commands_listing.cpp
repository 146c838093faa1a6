// chooseFolder, listFolder, statPaths and folderVolumes.
#include "args.hpp"
#include "bridge.hpp"
#include "catalogue/page_path.hpp"
#include "catalogue/volume.hpp"
#include "part_pacer.hpp"

namespace quarrytide {

namespace {

// "hidden" is an extension: a request without it lists what it always did.
ListingMode listingMode(const Args& a) {
  return {.recursive = a.boolean("recursive", false),
          .foldersOnly = a.foldersKind(),
          .hidden = a.boolean("hidden", false),
          .accessed = a.boolean("accessed", false)};
}

}  // namespace

void Bridge::chooseFolder(std::int64_t id, const nlohmann::json& args) {
  // "start" (an extension) is where the chooser opens; it never names the
  // choice. A path that names no item is no place to start.
  auto start = Args(args).string("start");
  if (start && namesNoItem(*start)) start.reset();
  // The flags are read only once a folder is chosen, from the arguments as
  // they came. The chooser answers on the main thread while the host (and so
  // this Bridge) is running.
  // "pick" (an extension): only the choice, for a batch's destination.
  if (Args(args).boolean("pick", false)) {
    host_.chooser.pickDestination(start, [this, id](std::optional<std::string> chosen) {
      resolve(id, true, chosen ? nlohmann::json{{"folder", *chosen}} : nlohmann::json(nullptr));
    });
    return;
  }
  host_.chooser.show(start, [this, id, args](std::optional<std::string> chosen) {
    if (!chosen) {
      resolve(id, true, nullptr);  // a cancel is not an error
      return;
    }
    list(id, std::move(*chosen), Args(args));
  });
}

void Bridge::listFolder(std::int64_t id, const nlohmann::json& args) {
  const Args a(args);
  auto folder = a.string("folder");
  if (!folder) {
    replies_->fail(id, {ErrorCode::kBadRequest, "missing folder"});
    return;
  }
  // The reply echoes the folder exactly as sent; a missing or unreadable
  // folder simply lists nothing.
  list(id, std::move(*folder), a);
}

void Bridge::list(std::int64_t id, std::string folder, const Args& a) {
  // "parts" (an extension): every run but the last goes ahead as a part, so
  // the first rows show while the rest is read; the reply brings the last.
  // "columns" (an extension too) changes only the parts' form. "reasons"
  // (another): a folder that cannot be listed says why instead of listing
  // nothing, so that the page can tell a mistyped path from an empty folder.
  io_.submit([replies = replies_, &catalogue = host_.catalogue, id, folder = std::move(folder),
              mode = listingMode(a), parts = a.boolean("parts", false),
              columns = a.boolean("columns", false), reasons = a.boolean("reasons", false)] {
    if (auto problem = reasons ? catalogue.folderProblem(folder) : std::nullopt) {
      replies->resolve(id, true,
                       {{"folder", folder},
                        {"files", nlohmann::json::array()},
                        {"problem", {{"code", problem->code}, {"message", problem->message}}}});
      return;
    }
    if (!parts) {
      replies->resolveRecords(id, folder, catalogue.listFolder(folder, mode));
      return;
    }
    PartPacer pacer(replies, id, folder, columns);
    catalogue.listFolderInRuns(folder, mode,
                               [&](std::vector<FileRecord>&& run) { pacer.add(std::move(run)); });
    replies->resolveRecords(id, folder, pacer.finish());
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

void Bridge::folderVolumes(std::int64_t id, const nlohmann::json& args) {
  auto folders = Args(args).strings("folders");
  if (!folders) return replies_->fail(id, {ErrorCode::kBadRequest, "missing folders"});
  // In the order given; null for a folder that cannot be looked at.
  io_.submit([replies = replies_, id, folders = std::move(*folders)] {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& folder : folders) {
      const auto v = namesNoItem(folder) ? std::nullopt : volumeOf(folder);
      list.push_back(v ? nlohmann::json{{"folder", folder},
                                        {"type", v->type},
                                        {"ignoresCase", v->ignoresCase},
                                        {"nameMax", v->nameMax}}
                       : nlohmann::json(nullptr));
    }
    replies->resolve(id, true, {{"volumes", std::move(list)}});
  });
}

}  // namespace quarrytide
