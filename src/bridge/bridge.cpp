#include "bridge.hpp"

#include <utility>

#include "args.hpp"
#include "reply_text.hpp"

namespace quarrytide {

// Dispatch order: the first name that equals "cmd" wins.
const Bridge::Command Bridge::kCommands[] = {
    {"chooseFolder", &Bridge::chooseFolder},
    {"listFolder", &Bridge::listFolder},
    {"statPaths", &Bridge::statPaths},
    {"folderVolumes", &Bridge::folderVolumes},
    {"apply", &Bridge::apply},
    {"runBatch", &Bridge::runBatch},
    {"cancelBatch", &Bridge::cancelBatch},
    {"reveal", &Bridge::reveal},
    {"thumbnail", &Bridge::thumbnail},
    {"setMode", &Bridge::setMode},
    {"savePrefs", &Bridge::savePrefs},
    {"loadPrefs", &Bridge::loadPrefs},
    {"readMedia", &Bridge::readMedia},
    {"listBatches", &Bridge::listBatches},
    {"readBatch", &Bridge::readBatch},
    {"journalStatus", &Bridge::journalStatus},
    {"pruneJournal", &Bridge::pruneJournal},
    {"exportBatch", &Bridge::exportBatch},
    {"opened", &Bridge::opened},
};

Bridge::Bridge(BridgeHost host)
    : host_(std::move(host)), replies_(std::make_shared<ReplyChannel>(host_.main)) {}

Bridge::~Bridge() {
  // Work still queued on io finishes when io_ is destroyed; its replies are
  // posted after this and must find no page to talk to.
  replies_->setWebView(nullptr);
}

nlohmann::json Bridge::decodeText(std::string_view text) {
  return nlohmann::json::parse(mapLoneSurrogates(text), nullptr, /*allow_exceptions=*/false);
}

void Bridge::receive(const nlohmann::json& body) {
  if (!body.is_object()) return;
  auto idIt = body.find("id");
  if (idIt == body.end()) return;
  auto id = integralValue(*idIt);
  if (!id) return;
  auto cmdIt = body.find("cmd");
  if (cmdIt == body.end() || !cmdIt->is_string()) return;
  const auto& cmd = cmdIt->get_ref<const std::string&>();
  static const nlohmann::json kNoArgs = nlohmann::json::object();
  auto argsIt = body.find("args");
  const nlohmann::json& args = argsIt != body.end() && argsIt->is_object() ? *argsIt : kNoArgs;

  replies_->expect();  // accepted: exactly one reply will follow
  for (const auto& command : kCommands) {
    if (cmd == command.name) {
      (this->*command.handler)(*id, args);
      return;
    }
  }
  answerUnknown(*id, cmd);
}

void Bridge::answerUnknown(std::int64_t id, const std::string& cmd) {
  replies_->fail(id, {ErrorCode::kBadRequest, "unknown cmd: " + cmd});
}

void Bridge::opened(std::int64_t id, const nlohmann::json&) {
  pageReady_ = true;
  resolve(id, true, {{"pending", waiting_ ? 1 : 0}});
  if (waiting_) handleDrop(*std::exchange(waiting_, std::nullopt), true);
}

void Bridge::openPaths(std::vector<std::string> paths) {
  if (paths.empty()) return;
  if (pageReady_)
    handleDrop(std::move(paths), true);
  else
    waiting_ = std::move(paths);
}

void Bridge::setMode(std::int64_t id, const nlohmann::json& args) {
  setFoldersMode(Args(args).foldersKind());
  resolve(id, true, nullptr);
}

void Bridge::savePrefs(std::int64_t id, const nlohmann::json& args) {
  auto data = Args(args).string("data");
  if (!data) {
    resolve(id, true, nullptr);
    return;
  }
  // Answered once the value is on disk, so a failed save is never reported as done.
  host_.settings.save(std::move(*data),
                      [replies = replies_, id](std::optional<std::string> failure) {
                        if (failure)
                          replies->fail(id, {ErrorCode::kIo, *failure});
                        else
                          replies->resolve(id, true, nullptr);
                      });
}

void Bridge::loadPrefs(std::int64_t id, const nlohmann::json&) {
  host_.settings.load([replies = replies_, id](std::optional<std::string> data) {
    replies->resolve(id, true, {{"data", data ? nlohmann::json(*data) : nlohmann::json(nullptr)}});
  });
}

}  // namespace quarrytide
