#pragma once
// The page's saved configuration in a JSON file, under "lastRenameConfig".
// The file is read once, on the store's own thread; loads answer from memory;
// saves are written there too (never on the main thread, never behind `io`),
// atomically, and the latest value wins when saves pile up.

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/worker_threads.hpp"
#include "seams.hpp"

namespace quarrytide {

// Writes `text` to `path` through a temporary file renamed over it, synced,
// so that a crash or a full disk leaves any earlier file whole. The failure
// ("PATH: reason"), if any. Any thread.
std::optional<std::string> writeFileAtomically(const std::string& path, const std::string& text);

class SettingsFile final : public SettingsStore {
 public:
  // $XDG_CONFIG_HOME/quarrytide/settings.json, or ~/.config/... without it.
  static std::string defaultPath();

  explicit SettingsFile(std::string path);
  // Finishes the pending write and answers its callers.
  ~SettingsFile() override;

  void load(std::function<void(std::optional<std::string>)> done) override;
  void save(std::string value, std::function<void(std::optional<std::string>)> done) override;

 private:
  using Done = std::function<void(std::optional<std::string>)>;
  void readOnce();
  void writeLatest();
  std::optional<std::string> readFile() const;
  std::optional<std::string> writeFile(const std::string& value) const;  // the failure, if any

  const std::string path_;
  std::mutex mutex_;
  bool loaded_ = false;
  bool writeQueued_ = false;
  std::optional<std::string> durable_;  // what the file holds
  std::optional<std::string> current_;  // what loads answer: the latest save, or durable_
  std::optional<std::string> pending_;  // the value still to be written
  std::vector<Done> loadWaiters_, saveWaiters_;
  WorkerThreads writer_{1, "settings"};  // last: drained and joined first
};

}  // namespace quarrytide
