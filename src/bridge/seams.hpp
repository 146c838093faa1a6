#pragma once
// The small interfaces through which the bridge reaches the outside world.
// Each host (the desktop shell, the headless host, tests) supplies its own.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace quarrytide {

using Task = std::function<void()>;

// Evaluates script text in the page. Called on the main thread only.
class ScriptSink {
 public:
  virtual ~ScriptSink() = default;
  virtual void evaluate(const std::string& script) = 0;
  // Main thread. Evaluates `script`, then calls `done` on the main thread
  // once the page has run it (here: at once).
  virtual void evaluateThen(const std::string& script, std::function<void()> done) {
    evaluate(script);
    done();
  }
};

// Runs tasks on the main thread, strictly in the order they were posted.
// post() may be called from any thread.
class MainDispatcher {
 public:
  virtual ~MainDispatcher() = default;
  virtual void post(Task task) = 0;
};

// Lets the user pick one folder, starting in `start` (or the home folder).
// show() is called on the main thread and returns at once; `done` runs later
// on the main thread with the chosen folder's absolute path (no trailing
// "/"), or nullopt when cancelled.
class FolderChooser {
 public:
  virtual ~FolderChooser() = default;
  virtual void show(const std::optional<std::string>& start,
                    std::function<void(std::optional<std::string>)> done) = 0;
  // Lets the user pick the folder a batch moves items into; `done` as for
  // show(). A host without a dialog of its own asks as show() does.
  virtual void pickDestination(const std::optional<std::string>& start,
                               std::function<void(std::optional<std::string>)> done) {
    show(start, std::move(done));
  }
  // Asks where to save a file, suggesting `name`; `done` as for show(), with
  // the file's absolute path. A host without such a dialog cancels.
  virtual void saveAs(const std::string& name,
                      std::function<void(std::optional<std::string>)> done) {
    (void)name;
    done(std::nullopt);
  }
};

// Shows items in the system file manager. Called on the main thread only;
// it hands the paths over and returns without waiting for the file manager.
// `done` runs once, later, on the main thread: with nullopt once something
// took the items, or with the reason nothing could show them.
class FileBrowser {
 public:
  virtual ~FileBrowser() = default;
  virtual void reveal(const std::vector<std::string>& paths,
                      std::function<void(std::optional<std::string>)> done) = 0;
};

// The page's saved configuration: one opaque string, or nothing.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // Main thread. `done` gets the stored value from memory: at once, on this
  // thread, once the store has read its file at start-up; before that, on the
  // store's own thread as soon as the read is finished.
  virtual void load(std::function<void(std::optional<std::string>)> done) = 0;
  // Main thread. Replaces the stored value; `done` runs on any thread once
  // the value is durable (nullopt) or with the reason it could not be saved.
  virtual void save(std::string value, std::function<void(std::optional<std::string>)> done) = 0;
};

// Makes a thumbnail data URL ("" when there is no image). Called on the main
// thread; `done` runs exactly once, later, on any thread.
using Thumbnailer = std::function<void(const std::string& path, std::int64_t size,
                                       std::function<void(std::string)> done)>;

// Reads what is inside files: one JSON object per path, in order (see
// MediaReader; `all`: every tag too). Called on the main thread; `done` runs
// exactly once, later, on any thread. Never on `io`: a slow file must not
// hold up listings.
using MediaReading = std::function<void(std::vector<std::string> paths, std::string hash, bool all,
                                        std::function<void(std::vector<std::string> items)> done)>;

}  // namespace quarrytide
