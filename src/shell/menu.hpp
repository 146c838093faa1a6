#pragma once
// The menu bar: the application menu, "Edit" and "Window", with Ctrl
// accelerators. Main thread only.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

namespace quarrytide {

// The window's title: never drawn, but it names the window in task switchers
// and in the "Window" menu.
inline constexpr const char* kWindowTitle = "Quarrytide";

// What the menu's window actions act on.
struct MenuTargets {
  GtkWindow* window;
  WebKitWebView* page;  // receives the editing commands
};

// Builds the menu bar, installs it and the accelerators on `app` (after its
// startup), and adds the "app." actions. Call once.
void buildMenu(GtkApplication* app);

// Adds the "win." actions of the menu to `targets.window` (a
// GtkApplicationWindow) and keeps the full-screen item's label in step with
// the window's state.
void addWindowActions(GtkApplication* app, const MenuTargets& targets);

}  // namespace quarrytide
