#pragma once
// The headless host's stand-ins for the desktop: scripts go to standard
// output, the folder chooser answers from the command line, reveal logs.

#include <optional>
#include <string>

#include "seams.hpp"

namespace quarrytide {

// One line per script on standard output, flushed at once.
class StdoutSink final : public ScriptSink {
 public:
  void evaluate(const std::string& script) override;
};

// Picks `choice` every time (cancels when there is none), later, on the main
// thread; a file to save is the suggested name in that folder.
class FixedChooser final : public FolderChooser {
 public:
  FixedChooser(MainDispatcher& main, std::optional<std::string> choice);
  void show(const std::optional<std::string>& start,
            std::function<void(std::optional<std::string>)> done) override;
  void saveAs(const std::string& name,
              std::function<void(std::optional<std::string>)> done) override;

 private:
  MainDispatcher& main_;
  std::optional<std::string> choice_;
};

// Writes "reveal: PATH" per path to standard error.
class LoggingBrowser final : public FileBrowser {
 public:
  void reveal(const std::vector<std::string>& paths,
              std::function<void(std::optional<std::string>)> done) override;
};

}  // namespace quarrytide
