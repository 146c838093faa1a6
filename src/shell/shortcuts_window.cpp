// The Keyboard Shortcuts window (Ctrl+?): every key of the window and of the
// page, one line each. A page test holds this table to the page's own keys.
#include <glib/gi18n.h>

#include "menu.hpp"

namespace quarrytide {
namespace {

struct Shortcut {
  const char* accelerator;  // GTK's form; one key an action
  const char* title;
};

struct Group {
  const char* title;
  Shortcut shortcuts[14];  // ends at the first empty one
};

constexpr Group kGroups[] = {
    {N_("Folders and window"),
     {{"<Primary>o", N_("Open a folder")},
      {"<Primary>l", N_("Type a folder’s path")},
      {"F5", N_("Read the folder again")},
      {"<Alt>1", N_("List the files")},
      {"<Alt>2", N_("List the folders")},
      {"<Alt>3", N_("List the files of every subfolder")},
      {"<Primary>h", N_("History")},
      {"F11", N_("Full screen")},
      {"<Primary>question", N_("Keyboard shortcuts")},
      {"F1", N_("Help")},
      {"F10", N_("Main menu")},
      {"<Primary>w", N_("Close the window")},
      {"<Primary>q", N_("Quit")}}},
    {N_("Rules and the list"),
     {{"<Primary>n", N_("Add a rule")},
      {"<Primary>f", N_("Filter the list")},
      {"<Primary>a", N_("Select all rows")},
      {"<Primary>e", N_("Show in the file manager")},
      {"<Primary>Return", N_("Apply")},
      {"<Primary>z", N_("Undo")},
      {"<Primary><Shift>z", N_("Redo")},
      {"Escape", N_("Close a menu or a sheet, stop a batch")}}},
};

}  // namespace

GtkShortcutsWindow* shortcutsWindow() {
  GtkWidget* section = GTK_WIDGET(g_object_new(GTK_TYPE_SHORTCUTS_SECTION, "section-name",
                                               "shortcuts", "visible", TRUE, nullptr));
  for (const Group& g : kGroups) {
    GtkWidget* group = GTK_WIDGET(
        g_object_new(GTK_TYPE_SHORTCUTS_GROUP, "title", _(g.title), "visible", TRUE, nullptr));
    for (const Shortcut& s : g.shortcuts) {
      if (!s.accelerator) break;
      gtk_container_add(
          GTK_CONTAINER(group),
          GTK_WIDGET(g_object_new(GTK_TYPE_SHORTCUTS_SHORTCUT, "accelerator", s.accelerator,
                                  "title", _(s.title), "visible", TRUE, nullptr)));
    }
    gtk_container_add(GTK_CONTAINER(section), group);
  }
  auto* window =
      GTK_SHORTCUTS_WINDOW(g_object_new(GTK_TYPE_SHORTCUTS_WINDOW, "modal", TRUE, nullptr));
  gtk_container_add(GTK_CONTAINER(window), section);
  return window;
}

}  // namespace quarrytide
