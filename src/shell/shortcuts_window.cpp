// The Keyboard Shortcuts window (Ctrl+?): every key of the one table of keys,
// one line each.
#include <glib/gi18n.h>

#include "key_table.hpp"
#include "menu.hpp"

namespace quarrytide {

GtkShortcutsWindow* shortcutsWindow() {
  GtkWidget* section = GTK_WIDGET(g_object_new(GTK_TYPE_SHORTCUTS_SECTION, "section-name",
                                               "shortcuts", "visible", TRUE, nullptr));
  for (const KeyGroup& g : kKeyGroups) {
    GtkWidget* group = GTK_WIDGET(
        g_object_new(GTK_TYPE_SHORTCUTS_GROUP, "title", _(g.title), "visible", TRUE, nullptr));
    for (const KeyEntry& s : g.keys) {
      if (!s.accel) break;
      gtk_container_add(GTK_CONTAINER(group),
                        GTK_WIDGET(g_object_new(GTK_TYPE_SHORTCUTS_SHORTCUT, "accelerator", s.accel,
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
