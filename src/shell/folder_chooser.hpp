#pragma once
// The folder chooser of chooseFolder: the desktop's own dialog (through the
// portal when there is one), shown without blocking, one per request.
// Main thread only; each answer also comes on the main thread.

#include <gtk/gtk.h>

#include "seams.hpp"

namespace quarrytide {

class GtkFolderChooser final : public FolderChooser {
 public:
  // Main thread. The dialogs are attached to the window once it is set.
  void setParent(GtkWindow* parent) { parent_ = parent; }
  void show(std::function<void(std::optional<std::string>)> done) override;

 private:
  GtkWindow* parent_ = nullptr;
};

}  // namespace quarrytide
