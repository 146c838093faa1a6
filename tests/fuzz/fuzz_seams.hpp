#pragma once
// Fakes for every seam of the bridge, for fuzzing. Nothing here touches the
// file system; records are made up from the paths asked for.

#include <chrono>
#include <cstdlib>
#include <thread>

#include <nlohmann/json.hpp>

#include "bridge.hpp"
#include "main_queue.hpp"

namespace quarrytide::fuzz {

// Checks every script is one reply or drop call whose argument is valid JSON.
class CheckingSink final : public ScriptSink {
 public:
  void evaluate(const std::string& script) override {
    for (std::string_view prefix : {"window.__bridgeResolveRaw(", "window.__onDrop("}) {
      if (script.rfind(prefix, 0) != 0) continue;
      if (script.back() != ')') std::abort();
      auto body = script.substr(prefix.size(), script.size() - prefix.size() - 1);
      auto value = nlohmann::json::parse(body, nullptr, false);
      if (value.is_discarded() || !value.is_object()) std::abort();
      ++count;
      return;
    }
    std::abort();
  }
  std::size_t count = 0;
};

class FakeSettings final : public SettingsStore {
 public:
  void load(std::function<void(std::optional<std::string>)> done) override { done(value); }
  void save(std::string v, std::function<void(std::optional<std::string>)> done) override {
    bool fail = !v.empty() && v[0] == '!';  // some saves fail, as a full disk would
    if (!fail) value = std::move(v);
    done(fail ? std::optional<std::string>("could not save settings: full") : std::nullopt);
  }
  std::optional<std::string> value;
};

class FakeChooser final : public FolderChooser {
 public:
  void show(const std::optional<std::string>&,
            std::function<void(std::optional<std::string>)> done) override {
    flip = !flip;
    done(flip ? std::optional<std::string>("/chosen") : std::nullopt);
  }
  bool flip = false;
};

class FakeBrowser final : public FileBrowser {
 public:
  void reveal(const std::vector<std::string>&,
              std::function<void(std::optional<std::string>)> done) override {
    done(std::nullopt);
  }
};

class FakeCatalogue final : public Catalogue {
 public:
  std::vector<FileRecord> listFolder(const std::string& folder, ListingMode mode) override {
    std::vector<FileRecord> out;
    for (int i = 0; i < (mode.recursive ? 3 : 2); ++i)
      out.push_back(fileInfo(folder + "/f" + std::to_string(i)));
    if (mode.foldersOnly) out.resize(1);
    return out;
  }
  std::optional<FileRecord> describe(const std::string& path) override {
    if (path.size() % 3 == 0) return std::nullopt;
    return fileInfo(path);
  }
  std::optional<bool> isDirectory(const std::string& path) override {
    if (path.empty()) return std::nullopt;
    return path.back() == 'd';
  }
  FileRecord fileInfo(const std::string& path) override {
    FileRecord r;
    r.path = path;
    r.name = r.basename = path.substr(path.rfind('/') + 1) + "\xff";  // not UTF-8 on purpose
    r.tags = {path, "Red"};
    r.label = static_cast<std::int64_t>(path.size() % 8);
    r.comment = path;
    r.created = r.modified = 1.5e12;
    return r;
  }
  OpResult applyOp(const Operation& op) override {
    if (!op.path) return OpResult{false, std::nullopt, std::nullopt, "missing path"};
    return OpResult{true, op.path, *op.path + "/" + op.newName.value_or(""), std::nullopt};
  }
};

struct FuzzHost {
  MainQueue main{[] {}};
  CheckingSink sink;
  FakeSettings settings;
  FakeChooser chooser;
  FakeBrowser browser;
  FakeCatalogue catalogue;
  Bridge bridge{
      BridgeHost{main, settings, chooser, browser, catalogue,
                 [](const std::string& path, std::int64_t, std::function<void(std::string)> done) {
                   done(path.empty() ? "" : "data:image/png;base64,AAAA");
                 }}};
  FuzzHost() { bridge.setWebView(&sink); }

  // Posts `text`; true when the bridge accepted it as a request.
  bool post(const std::string& text) {
    std::size_t before = bridge.outstanding() + sink.count;
    bridge.receiveText(text);
    return bridge.outstanding() + sink.count > before;
  }
  // Runs the main queue until every accepted request has been answered.
  void settle() {
    for (int spins = 0; bridge.outstanding() > 0; ++spins) {
      main.drain();
      if (bridge.outstanding() == 0) break;
      if (spins > 200000) std::abort();  // an accepted request that is never answered
      std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
  }
};

}  // namespace quarrytide::fuzz
