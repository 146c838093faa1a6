#pragma once
// The native end of the page protocol: decodes command envelopes, dispatches
// them by name, runs file work on the serial queue `io`, and answers every
// accepted request with exactly one reply call.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "catalogue_seam.hpp"
#include "journal/journal.hpp"
#include "reply_channel.hpp"
#include "seams.hpp"
#include "serial_queue.hpp"

namespace quarrytide {

class Args;

// The batches the page asked to stop: asked on the main thread, looked at
// between the steps of a batch on `io`.
class StopBoard {
 public:
  void ask(const std::string& batch) {
    std::lock_guard lock(m_);
    asked_.insert(batch);
  }
  bool taken(const std::string& batch) const {
    std::lock_guard lock(m_);
    return asked_.contains(batch);
  }
  void forget(const std::string& batch) {
    std::lock_guard lock(m_);
    asked_.erase(batch);
  }

 private:
  mutable std::mutex m_;
  std::set<std::string> asked_;
};

// What a host hands the bridge. Every reference must outlive the Bridge.
struct BridgeHost {
  MainDispatcher& main;
  SettingsStore& settings;
  FolderChooser& chooser;
  FileBrowser& browser;
  Catalogue& catalogue;
  Thumbnailer thumbnails;  // may be empty until thumbnails are wired
  MediaReading media;      // may be empty: readMedia then answers an error
};

class Bridge {
 public:
  explicit Bridge(BridgeHost host);
  // Finishes the work queued on `io`; replies it makes after that are dropped.
  ~Bridge();
  Bridge(const Bridge&) = delete;
  Bridge& operator=(const Bridge&) = delete;

  // Main thread, once, before the page loads.
  void setWebView(ScriptSink* webView) { replies_->setWebView(webView); }
  // Whether listing parts wait for the page (see PartPacer); off by default.
  void setPacedParts(bool paced) { replies_->setPaced(paced); }
  ScriptSink* webView() const { return replies_->webView(); }

  // Main thread, once, before the page loads: the journal every apply is
  // recorded in, and what the start-up repair did. Without one (test hosts),
  // applies are not recorded.
  void setJournal(Journal* journal, std::vector<Repair> repairs) {
    journal_ = journal;
    repairs_ = std::move(repairs);
  }

  bool foldersMode() const { return foldersMode_.load(); }  // any thread
  void setFoldersMode(bool on) { foldersMode_.store(on); }  // main thread

  // The value of a message as the JSON text the web view gives (unpaired
  // surrogate escapes repaired); a discarded value when it does not parse.
  static nlohmann::json decodeText(std::string_view text);
  // Main thread. A message posted by the page, as JSON text. Text that does
  // not parse is dropped like any undecodable envelope.
  void receiveText(std::string_view text) { receive(decodeText(text)); }
  // Main thread. A message posted by the page, already decoded.
  void receive(const nlohmann::json& body);

  // Any thread, once per accepted request: queues the reply call.
  void resolve(std::int64_t id, bool ok, const nlohmann::json& payload) {
    replies_->resolve(id, ok, payload);
  }

  // Main thread. Paths dropped on the window, in drop order; never empty.
  // `opened`: handed to the program from outside (see openPaths).
  void handleDrop(std::vector<std::string> paths, bool opened = false);
  // Main thread. Items handed to the program from outside (its command
  // line, a second start, a file manager): a drop marked "opened" once the
  // page has said that it is ready for one (the command "opened"); until
  // then the newest set waits, as each replaces the listing anyway.
  void openPaths(std::vector<std::string> paths);

  // Requests accepted (and drops taken) whose reply or notification has not
  // been evaluated yet. Main thread.
  std::size_t outstanding() const { return replies_->outstanding(); }
  // Main thread. Called after each evaluation that brings outstanding() to 0.
  void onSettled(std::function<void()> callback) { replies_->onSettled(std::move(callback)); }

 private:
  using Handler = void (Bridge::*)(std::int64_t id, const nlohmann::json& args);
  struct Command {
    const char* name;
    Handler handler;
  };
  static const Command kCommands[];

  // Commands, in dispatch order.
  void chooseFolder(std::int64_t id, const nlohmann::json& args);
  void listFolder(std::int64_t id, const nlohmann::json& args);
  void statPaths(std::int64_t id, const nlohmann::json& args);
  void folderVolumes(std::int64_t id, const nlohmann::json& args);
  void apply(std::int64_t id, const nlohmann::json& args);
  void runBatch(std::int64_t id, const nlohmann::json& args);
  void cancelBatch(std::int64_t id, const nlohmann::json& args);
  void reveal(std::int64_t id, const nlohmann::json& args);
  void thumbnail(std::int64_t id, const nlohmann::json& args);
  void readMedia(std::int64_t id, const nlohmann::json& args);
  void setMode(std::int64_t id, const nlohmann::json& args);
  void savePrefs(std::int64_t id, const nlohmann::json& args);
  void loadPrefs(std::int64_t id, const nlohmann::json& args);
  void listBatches(std::int64_t id, const nlohmann::json& args);
  void readBatch(std::int64_t id, const nlohmann::json& args);
  void journalStatus(std::int64_t id, const nlohmann::json& args);
  void pruneJournal(std::int64_t id, const nlohmann::json& args);
  void exportBatch(std::int64_t id, const nlohmann::json& args);
  void opened(std::int64_t id, const nlohmann::json& args);

  void answerUnknown(std::int64_t id, const std::string& cmd);
  // Lists `folder` on io as the listing arguments `a` say, and answers `id`.
  void list(std::int64_t id, std::string folder, const Args& a);

  BridgeHost host_;
  // Shared with the callbacks of queued work, which may outlive the Bridge.
  std::shared_ptr<ReplyChannel> replies_;
  std::shared_ptr<StopBoard> stops_ = std::make_shared<StopBoard>();
  std::atomic<bool> foldersMode_{false};
  bool pageReady_ = false;                           // main thread
  std::optional<std::vector<std::string>> waiting_;  // main thread
  Journal* journal_ = nullptr;                       // used on io only, once set
  std::vector<Repair> repairs_;
  SerialQueue io_{"quarrytide.io"};  // last: destroyed (drained) first
};

}  // namespace quarrytide
