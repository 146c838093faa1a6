#pragma once
// The folder chooser of chooseFolder: GTK's folder chooser in a dialog of its
// own, shown without blocking, one per request; only the destination's may
// create a folder.
// Main thread only; each answer also comes on the main thread.

#include <gtk/gtk.h>

#include "seams.hpp"

namespace quarrytide {

class GtkFolderChooser final : public FolderChooser {
 public:
  // Main thread. The dialogs are attached to the window once it is set.
  void setParent(GtkWindow* parent) { parent_ = parent; }
  void show(const std::optional<std::string>& start,
            std::function<void(std::optional<std::string>)> done) override;
  // The same dialog titled for a destination; it may make a new folder there.
  void pickDestination(const std::optional<std::string>& start,
                       std::function<void(std::optional<std::string>)> done) override;
  // GTK's save dialog, asking before it replaces a file.
  void saveAs(const std::string& name,
              std::function<void(std::optional<std::string>)> done) override;

 private:
  void open(const std::optional<std::string>& start,
            std::function<void(std::optional<std::string>)> done, const char* title,
            const char* button, bool createFolders);
  GtkWindow* parent_ = nullptr;
};

}  // namespace quarrytide
