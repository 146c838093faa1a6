#pragma once
// Application: the application object, the one Bridge and the one window
// with its web view. Everything here runs on the main thread.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bridge.hpp"
#include "close_guard.hpp"
#include "desktop_paths.hpp"
#include "desktop_style.hpp"
#include "embed/app_scheme.hpp"
#include "embed/link_opener.hpp"
#include "embed/web_view_sink.hpp"
#include "file_manager.hpp"
#include "folder_chooser.hpp"
#include "icon_theme_source.hpp"
#include "main_queue.hpp"
#include "native_side.hpp"

namespace quarrytide {

struct AppOptions {
  // WebDriver may drive the window's web view (tests). Each such process is
  // an instance of its own, never handed over to one already running.
  bool automation = false;
  // Absolute paths to list at start (the command line's): one folder as if
  // opened, else as a drop. A second start hands its own to the first.
  std::vector<std::string> paths;
};

class Application {
 public:
  explicit Application(AppOptions options);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Runs the application until its last window closes; the exit status.
  int run(const char* program);

 private:
  void startup();
  void activate();
  void open(GFile** files, int count);
  void buildWindow();
  double thumbnailScale() const;
  // Keys reach the page first; the menu's accelerators get only what it left.
  static gboolean keyPress(GtkWidget* window, GdkEventKey* event, gpointer self);

  AppOptions options_;
  GtkApplication* app_;
  GlibMainDispatcher main_;
  GtkFolderChooser chooser_;
  FileManagerBrowser browser_;
  DesktopLinkOpener links_;
  AppScheme scheme_;
  DesktopStyle style_;
  IconThemeSource icons_;
  NativeSide native_;
  Bridge* bridge_;               // native_'s
  GtkWindow* window_ = nullptr;  // owned by the application while it is open
  WebKitWebView* view_ = nullptr;
  std::unique_ptr<WebViewSink> sink_;
  CloseGuard closeGuard_;
};

}  // namespace quarrytide
