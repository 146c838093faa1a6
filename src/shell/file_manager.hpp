#pragma once
// Reveal in the desktop's file manager: the freedesktop FileManager1
// ShowItems call on the session bus, or, when no file manager answers, the
// first item's folder opened with the desktop's default handler.

#include <functional>
#include <string>
#include <vector>

#include "seams.hpp"

namespace quarrytide {

class FileManagerBrowser final : public FileBrowser {
 public:
  // Opens a folder's file:// URI; runs on the main thread.
  using OpenFolder = std::function<void(const std::string& uri)>;

  FileManagerBrowser();  // opens with the default handler for the URI
  explicit FileManagerBrowser(OpenFolder openFolder) : openFolder_(std::move(openFolder)) {}

  // Main thread, whose GLib main context runs the bus calls; returns at once.
  // Nothing is shown for an empty list.
  void reveal(const std::vector<std::string>& paths) override;

 private:
  OpenFolder openFolder_;
};

}  // namespace quarrytide
