#include "menu.hpp"

#include <glib/gi18n.h>

#include <string>
#include <utility>

#include "key_table.hpp"

namespace quarrytide {
namespace {

GtkWindow* activeWindow(gpointer app) {
  return gtk_application_get_active_window(GTK_APPLICATION(app));
}

void about(GSimpleAction*, GVariant*, gpointer app) {
  gtk_show_about_dialog(activeWindow(app), "program-name", "Quarrytide", "version",
                        QUARRYTIDE_VERSION, "logo-icon-name", "app.quarrytide.Quarrytide",
                        "comments", _("Renames many files and folders at once."), nullptr);
}

void quit(GSimpleAction*, GVariant*, gpointer app) {
  // Closing the windows, not g_application_quit, so each goes the usual way.
  GList* windows = g_list_copy(gtk_application_get_windows(GTK_APPLICATION(app)));
  for (GList* w = windows; w; w = w->next) gtk_window_close(GTK_WINDOW(w->data));
  g_list_free(windows);
}

// The page decides what the item means where the focus is (window.__onMenu):
// Undo in a text field undoes its text, elsewhere the last batch.
void toPage(const MenuTargets& t, const char* item) {
  const std::string script = std::string("window.__onMenu && window.__onMenu('") + item + "')";
  webkit_web_view_evaluate_javascript(t.page, script.c_str(), -1, nullptr, nullptr, nullptr,
                                      nullptr, nullptr);
}

void toggleFullScreen(GtkWindow* w) {
  GdkWindow* g = gtk_widget_get_window(GTK_WIDGET(w));
  if (g && (gdk_window_get_state(g) & GDK_WINDOW_STATE_FULLSCREEN))
    gtk_window_unfullscreen(w);
  else
    gtk_window_fullscreen(w);
}

using Run = void (*)(const MenuTargets&);
Run lookUp(GSimpleAction* action) {
  return reinterpret_cast<Run>(g_object_get_data(G_OBJECT(action), "quarrytide-run"));
}

const MenuTargets& targetsOf(gpointer data) { return *static_cast<MenuTargets*>(data); }

}  // namespace

void buildMenu(GtkApplication* app) {
  static const GActionEntry kAppActions[] = {
      {"about", about, nullptr, nullptr, nullptr, {}},
      {"quit", quit, nullptr, nullptr, nullptr, {}},
  };
  g_action_map_add_action_entries(G_ACTION_MAP(app), kAppActions, G_N_ELEMENTS(kAppActions), app);
  // The page's keys that are also menu items (Ctrl+O, Ctrl+H) reach the page
  // first and end there; the rest come back from the page unhandled and meet these.
  for (const KeyGroup& group : kKeyGroups)
    for (const KeyEntry& key : group.keys) {
      if (!key.accel) break;
      if (!*key.action) continue;
      const char* accels[] = {key.accel, nullptr};
      gtk_application_set_accels_for_action(app, key.action, accels);
    }
}

GtkWidget* primaryMenuButton() {
  g_autoptr(GMenu) menu = g_menu_new();
  g_autoptr(GMenu) folder = g_menu_new();
  g_menu_append(folder, _("Open…"), "win.open");
  g_menu_append(folder, _("History"), "win.history");
  g_menu_append(folder, _("Presets"), "win.presets");
  g_menu_append_section(menu, nullptr, G_MENU_MODEL(folder));
  g_autoptr(GMenu) help = g_menu_new();
  g_menu_append(help, _("Keyboard Shortcuts"), "win.show-help-overlay");
  g_menu_append(help, _("Help"), "win.help");
  g_menu_append(help, _("About Quarrytide"), "app.about");
  g_menu_append_section(menu, nullptr, G_MENU_MODEL(help));
  g_autoptr(GMenu) end = g_menu_new();
  g_menu_append(end, _("Quit"), "app.quit");
  g_menu_append_section(menu, nullptr, G_MENU_MODEL(end));

  GtkWidget* button = gtk_menu_button_new();
  gtk_menu_button_set_menu_model(GTK_MENU_BUTTON(button), G_MENU_MODEL(menu));
  gtk_button_set_image(GTK_BUTTON(button),
                       gtk_image_new_from_icon_name("open-menu-symbolic", GTK_ICON_SIZE_BUTTON));
  gtk_widget_set_tooltip_text(button, _("Main Menu"));
  gtk_widget_set_can_focus(button, FALSE);  // the keys stay in the page
  return button;
}

void addWindowActions(GtkApplication*, const MenuTargets& targets) {
  auto* data = new MenuTargets(targets);
  g_object_set_data_full(G_OBJECT(targets.window), "quarrytide-menu-targets", data,
                         [](gpointer p) { delete static_cast<MenuTargets*>(p); });
  // One line an action.
  static const std::pair<const char*, Run> kWindowActions[] = {
      {"open", [](const MenuTargets& t) { toPage(t, "choose"); }},
      {"history", [](const MenuTargets& t) { toPage(t, "openHistory"); }},
      {"presets", [](const MenuTargets& t) { toPage(t, "presets"); }},
      {"help", [](const MenuTargets& t) { toPage(t, "help"); }},
      {"undo", [](const MenuTargets& t) { toPage(t, "undo"); }},
      {"redo", [](const MenuTargets& t) { toPage(t, "redo"); }},
      {"select-all", [](const MenuTargets& t) { toPage(t, "selectAll"); }},
      {"close", [](const MenuTargets& t) { gtk_window_close(t.window); }},
      {"fullscreen", [](const MenuTargets& t) { toggleFullScreen(t.window); }},
      {"menu",
       [](const MenuTargets& t) {
         gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(t.menuButton), TRUE);
       }},
  };
  for (const auto& [name, run] : kWindowActions) {
    g_autoptr(GSimpleAction) action = g_simple_action_new(name, nullptr);
    g_signal_connect(action, "activate", G_CALLBACK(+[](GSimpleAction* a, GVariant*, gpointer d) {
                       lookUp(a)(targetsOf(d));
                     }),
                     data);
    g_object_set_data(G_OBJECT(action), "quarrytide-run", reinterpret_cast<gpointer>(run));
    g_action_map_add_action(G_ACTION_MAP(targets.window), G_ACTION(action));
  }
  // Adds "win.show-help-overlay" and its key, Ctrl+?.
  gtk_application_window_set_help_overlay(GTK_APPLICATION_WINDOW(targets.window),
                                          shortcutsWindow());
}

}  // namespace quarrytide
