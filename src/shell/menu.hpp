#pragma once
// The header bar's primary menu, the window's actions and their keys, and the
// Keyboard Shortcuts window. Main thread only.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

namespace quarrytide {

// The window's title: never drawn, but it names the window in task switchers.
inline constexpr const char* kWindowTitle = "Quarrytide";

// What the menu's window actions act on.
struct MenuTargets {
  GtkWindow* window;
  WebKitWebView* page;    // where the page's own actions go (window.__onMenu)
  GtkWidget* menuButton;  // the primary menu's, which F10 opens
};

// Adds the "app." actions and every action's keys to `app` (after its
// startup). Call once.
void buildMenu(GtkApplication* app);

// The primary menu's button, for the end of the header bar.
GtkWidget* primaryMenuButton();

// Adds the "win." actions to `targets.window` (a GtkApplicationWindow), and
// the Keyboard Shortcuts window as its help overlay.
void addWindowActions(GtkApplication* app, const MenuTargets& targets);

// The Keyboard Shortcuts window: the window's keys and the page's.
GtkShortcutsWindow* shortcutsWindow();

}  // namespace quarrytide
