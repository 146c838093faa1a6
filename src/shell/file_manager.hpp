#pragma once
// Reveal in the desktop's file manager: the freedesktop FileManager1
// ShowItems call on the session bus, or, when no file manager answers, the
// first item's folder opened with the desktop's default handler.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "seams.hpp"

namespace quarrytide {

class FileManagerBrowser final : public FileBrowser {
 public:
  // nullopt once the items are shown, else why they could not be.
  using Done = std::function<void(std::optional<std::string>)>;
  // Opens a folder's file:// URI, then calls `done`; runs on the main thread.
  using OpenFolder = std::function<void(const std::string& uri, Done done)>;

  FileManagerBrowser();  // opens with the default handler for the URI
  explicit FileManagerBrowser(OpenFolder openFolder) : openFolder_(std::move(openFolder)) {}

  // Main thread, whose GLib main context runs the bus calls; returns at once.
  // Nothing is shown for an empty list.
  void reveal(const std::vector<std::string>& paths, Done done) override;

 private:
  OpenFolder openFolder_;
};

}  // namespace quarrytide
