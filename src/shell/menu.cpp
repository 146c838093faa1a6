#include "menu.hpp"

#include <glib/gi18n.h>

#include <string>
#include <utility>

namespace quarrytide {
namespace {

constexpr const char* kEnterFullScreen = N_("Enter Full Screen");
constexpr const char* kExitFullScreen = N_("Exit Full Screen");

struct Accel {
  const char* action;
  const char* keys[3];
};

constexpr Accel kAccels[] = {
    {"app.hide", {"<Primary>h"}},
    {"app.quit", {"<Primary>q"}},
    {"win.undo", {"<Primary>z"}},
    {"win.redo", {"<Primary><Shift>z"}},
    {"win.cut", {"<Primary>x"}},
    {"win.copy", {"<Primary>c"}},
    {"win.paste", {"<Primary>v"}},
    {"win.select-all", {"<Primary>a"}},
    {"win.close", {"<Primary>w"}},
    {"win.minimize", {"<Primary>m"}},
    {"win.fullscreen", {"<Primary><Super>f", "F11"}},
};

GMenu* section(GMenu* menu) {
  g_autoptr(GMenu) s = g_menu_new();
  g_menu_append_section(menu, nullptr, G_MENU_MODEL(s));
  return s;  // the menu holds it
}

// The section holding only the full-screen item, whose label follows the state.
GMenu* fullScreenSection(GtkApplication* app) {
  return G_MENU(g_object_get_data(G_OBJECT(app), "quarrytide-fullscreen-section"));
}

void setFullScreenLabel(GtkApplication* app, bool fullScreen) {
  GMenu* s = fullScreenSection(app);
  if (!s) return;
  g_menu_remove_all(s);
  g_menu_append(s, _(fullScreen ? kExitFullScreen : kEnterFullScreen), "win.fullscreen");
}

GtkWindow* activeWindow(gpointer app) {
  return gtk_application_get_active_window(GTK_APPLICATION(app));
}

void about(GSimpleAction*, GVariant*, gpointer app) {
  gtk_show_about_dialog(activeWindow(app), "program-name", "Quarrytide", "version",
                        QUARRYTIDE_VERSION, "logo-icon-name", "app.quarrytide.Quarrytide",
                        "comments", _("Renames many files and folders at once."), nullptr);
}

void hide(GSimpleAction*, GVariant*, gpointer app) {
  if (GtkWindow* w = activeWindow(app)) gtk_window_iconify(w);
}

void quit(GSimpleAction*, GVariant*, gpointer app) {
  // Closing the windows, not g_application_quit, so each goes the usual way.
  GList* windows = g_list_copy(gtk_application_get_windows(GTK_APPLICATION(app)));
  for (GList* w = windows; w; w = w->next) gtk_window_close(GTK_WINDOW(w->data));
  g_list_free(windows);
}

struct WindowActions {
  GtkApplication* app;
  MenuTargets targets;
};

WindowActions* actionsOf(gpointer data) { return static_cast<WindowActions*>(data); }

void edit(const MenuTargets& t, const char* command) {
  webkit_web_view_execute_editing_command(t.page, command);
}

// The page decides what the item means where the focus is (window.__onMenu).
void toPage(const MenuTargets& t, const char* item) {
  const std::string script = std::string("window.__onMenu && window.__onMenu('") + item + "')";
  webkit_web_view_evaluate_javascript(t.page, script.c_str(), -1, nullptr, nullptr, nullptr,
                                      nullptr, nullptr);
}

void toggleMaximized(GtkWindow* w) {
  if (gtk_window_is_maximized(w))
    gtk_window_unmaximize(w);
  else
    gtk_window_maximize(w);
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

gboolean windowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
  if (event->changed_mask & GDK_WINDOW_STATE_FULLSCREEN)
    setFullScreenLabel(actionsOf(data)->app, event->new_window_state & GDK_WINDOW_STATE_FULLSCREEN);
  return FALSE;
}

}  // namespace

void buildMenu(GtkApplication* app) {
  static const GActionEntry kAppActions[] = {
      {"about", about, nullptr, nullptr, nullptr, {}},
      {"hide", hide, nullptr, nullptr, nullptr, {}},
      {"quit", quit, nullptr, nullptr, nullptr, {}},
  };
  g_action_map_add_action_entries(G_ACTION_MAP(app), kAppActions, G_N_ELEMENTS(kAppActions), app);

  g_autoptr(GMenu) bar = g_menu_new();

  g_autoptr(GMenu) appMenu = g_menu_new();
  g_menu_append(section(appMenu), _("About Quarrytide"), "app.about");
  GMenu* appEnd = section(appMenu);
  g_menu_append(appEnd, _("Hide Quarrytide"), "app.hide");
  g_menu_append(appEnd, _("Quit Quarrytide"), "app.quit");
  g_menu_append_submenu(bar, "Quarrytide", G_MENU_MODEL(appMenu));

  g_autoptr(GMenu) editMenu = g_menu_new();
  GMenu* history = section(editMenu);
  g_menu_append(history, _("Undo"), "win.undo");
  g_menu_append(history, _("Redo"), "win.redo");
  GMenu* clipboard = section(editMenu);
  g_menu_append(clipboard, _("Cut"), "win.cut");
  g_menu_append(clipboard, _("Copy"), "win.copy");
  g_menu_append(clipboard, _("Paste"), "win.paste");
  g_menu_append(clipboard, _("Select All"), "win.select-all");
  g_menu_append_submenu(bar, _("Edit"), G_MENU_MODEL(editMenu));

  g_autoptr(GMenu) windowMenu = g_menu_new();
  GMenu* frame = section(windowMenu);
  g_menu_append(frame, _("Close Window"), "win.close");
  g_menu_append(frame, _("Minimize"), "win.minimize");
  g_menu_append(frame, _("Zoom"), "win.zoom");
  GMenu* fullScreen = section(windowMenu);
  g_object_set_data(G_OBJECT(app), "quarrytide-fullscreen-section", fullScreen);
  setFullScreenLabel(app, false);
  g_menu_append(section(windowMenu), _("Bring All to Front"), "win.present");
  // The window list: the one window, under its title.
  g_menu_append(section(windowMenu), kWindowTitle, "win.present");
  g_menu_append_submenu(bar, _("Window"), G_MENU_MODEL(windowMenu));

  gtk_application_set_menubar(app, G_MENU_MODEL(bar));

  for (const auto& accel : kAccels)
    gtk_application_set_accels_for_action(app, accel.action, accel.keys);
}

void addWindowActions(GtkApplication* app, const MenuTargets& targets) {
  auto* data = new WindowActions{app, targets};
  g_object_set_data_full(G_OBJECT(targets.window), "quarrytide-menu-actions", data,
                         [](gpointer p) { delete actionsOf(p); });
  // One line an action. Undo and Redo are the page's: it undoes the text of
  // a field being edited, and otherwise the last batch.
  static const std::pair<const char*, Run> kWindowActions[] = {
      {"undo", [](const MenuTargets& t) { toPage(t, "undo"); }},
      {"redo", [](const MenuTargets& t) { toPage(t, "redo"); }},
      {"cut", [](const MenuTargets& t) { edit(t, WEBKIT_EDITING_COMMAND_CUT); }},
      {"copy", [](const MenuTargets& t) { edit(t, WEBKIT_EDITING_COMMAND_COPY); }},
      {"paste", [](const MenuTargets& t) { edit(t, WEBKIT_EDITING_COMMAND_PASTE); }},
      {"select-all", [](const MenuTargets& t) { edit(t, WEBKIT_EDITING_COMMAND_SELECT_ALL); }},
      {"close", [](const MenuTargets& t) { gtk_window_close(t.window); }},
      {"minimize", [](const MenuTargets& t) { gtk_window_iconify(t.window); }},
      {"zoom", [](const MenuTargets& t) { toggleMaximized(t.window); }},
      {"fullscreen", [](const MenuTargets& t) { toggleFullScreen(t.window); }},
      {"present", [](const MenuTargets& t) { gtk_window_present(t.window); }},
  };
  for (const auto& [name, run] : kWindowActions) {
    g_autoptr(GSimpleAction) action = g_simple_action_new(name, nullptr);
    g_signal_connect(action, "activate", G_CALLBACK(+[](GSimpleAction* a, GVariant*, gpointer d) {
                       lookUp(a)(actionsOf(d)->targets);
                     }),
                     data);
    g_object_set_data(G_OBJECT(action), "quarrytide-run", reinterpret_cast<gpointer>(run));
    g_action_map_add_action(G_ACTION_MAP(targets.window), G_ACTION(action));
  }
  g_signal_connect(targets.window, "window-state-event", G_CALLBACK(windowState), data);
}

}  // namespace quarrytide
