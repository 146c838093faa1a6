#pragma once
// The native side as every host runs it: the settings file, the catalogue on
// disk, the thumbnail maker and the Bridge over them. A host brings what
// differs between the desktop and a test: its main dispatcher, chooser, file
// browser, icon source and screen density. Main thread only. Before it
// answers anything, items a crash left under temporary names are repaired
// from the journal.

#include <functional>
#include <memory>

#include "bridge.hpp"
#include "catalogue/worker_threads.hpp"
#include "media/media_reader.hpp"
#include "settings_file.hpp"
#include "thumbnails/thumb_maker.hpp"

namespace quarrytide {

struct HostParts {
  MainDispatcher& main;
  FolderChooser& chooser;
  FileBrowser& browser;
  IconSource& icons;
  std::function<double()> scale;  // the density thumbnails are drawn for
};

class NativeSide {
 public:
  explicit NativeSide(HostParts parts);
  Bridge& bridge() { return *bridge_; }

 private:
  SettingsFile settings_;
  DiskCatalogue catalogue_;
  Journal journal_;    // before the Bridge, whose queued applies write it
  MediaReader media_;  // before the thumbnails, which read photos' previews through it
  ThumbMaker thumbs_;  // before the Bridge: its last replies may still need it
  std::unique_ptr<Bridge> bridge_;
};

}  // namespace quarrytide
