#include "desktop_style.hpp"

#include <initializer_list>

namespace quarrytide {
namespace {

// The window's colours: the page's background in each scheme (--bg in
// web/css/app.css), also behind the header bar and the menu bar, so the frame
// reads as one surface with the page and nothing flashes before it paints.
struct FrameColours {
  const char* background;
  const char* menu;
};
constexpr FrameColours kDark{"rgb(14, 16, 13)", "rgb(200, 208, 196)"};
constexpr FrameColours kLight{"rgb(251, 252, 250)", "rgb(40, 48, 38)"};
constexpr const char* kFrameStyle = R"(
window.quarrytide, window.quarrytide headerbar, window.quarrytide headerbar menubar {
  background-color: %1$s;
  background-image: none;
  border-color: %1$s;
  box-shadow: none;
}
window.quarrytide headerbar menubar > menuitem { color: %2$s; }
)";

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kPortalSettings = "org.freedesktop.portal.Settings";
constexpr const char* kAppearance = "org.freedesktop.appearance";
// Asked once before the window shows; a portal that does not answer by then
// leaves GTK's own settings in charge.
constexpr int kPortalTimeoutMs = 500;

// What WebKit reads to answer prefers-color-scheme, so frame and page agree:
// the dark variant asked for, a theme named "-dark", or GTK_THEME=name:dark.
bool prefersDark(GtkSettings* settings) {
  gboolean dark = FALSE;
  g_autofree char* theme = nullptr;
  g_object_get(settings, "gtk-application-prefer-dark-theme", &dark, "gtk-theme-name", &theme,
               nullptr);
  if (dark || (theme && g_str_has_suffix(theme, "-dark"))) return true;
  const char* forced = g_getenv("GTK_THEME");
  return forced && g_str_has_suffix(forced, ":dark");
}

}  // namespace

DesktopStyle::~DesktopStyle() {
  if (portalSignal_) g_dbus_connection_signal_unsubscribe(bus_, portalSignal_);
  g_clear_object(&bus_);
  if (frame_) {
    g_signal_handlers_disconnect_by_data(gtk_settings_get_default(), this);
    g_object_unref(frame_);
  }
}

void DesktopStyle::start() {
  frame_ = gtk_css_provider_new();
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(frame_),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  readPortal();
  // The page follows a change by itself (WebKit watches the same settings).
  GtkSettings* settings = gtk_settings_get_default();
  for (const char* name : {"notify::gtk-application-prefer-dark-theme", "notify::gtk-theme-name"})
    g_signal_connect_swapped(settings, name,
                             G_CALLBACK(+[](DesktopStyle* self) { self->styleFrame(); }), this);
  styleFrame();
}

// GNOME's and KDE's "dark style" is published by the settings portal, which
// GTK 3 does not read: it becomes GTK's dark variant, for the page and for
// GTK's own dialogs alike. Without a portal, GTK's settings stand.
void DesktopStyle::readPortal() {
  bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (!bus_) return;
  g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
      bus_, kPortal, kPortalPath, kPortalSettings, "Read",
      g_variant_new("(ss)", kAppearance, "color-scheme"), G_VARIANT_TYPE("(v)"),
      G_DBUS_CALL_FLAGS_NO_AUTO_START, kPortalTimeoutMs, nullptr, nullptr);
  if (!reply) return;
  g_autoptr(GVariant) value = g_variant_get_child_value(reply, 0);
  applyPortal(value);
  portalSignal_ = g_dbus_connection_signal_subscribe(
      bus_, kPortal, kPortalSettings, "SettingChanged", kPortalPath, kAppearance,
      G_DBUS_SIGNAL_FLAGS_NONE,
      +[](GDBusConnection*, const char*, const char*, const char*, const char*,
          GVariant* parameters, gpointer) {
        const char* key = nullptr;
        g_autoptr(GVariant) value = nullptr;
        g_variant_get(parameters, "(&s&sv)", nullptr, &key, &value);
        if (g_strcmp0(key, "color-scheme") == 0) applyPortal(value);
      },
      nullptr, nullptr);
}

void DesktopStyle::applyPortal(GVariant* value) {
  // Read answers a variant inside a variant; a newer portal, one.
  g_autoptr(GVariant) scheme = g_variant_ref(value);
  while (g_variant_is_of_type(scheme, G_VARIANT_TYPE_VARIANT)) {
    GVariant* inner = g_variant_get_variant(scheme);
    g_variant_unref(scheme);
    scheme = inner;
  }
  if (!g_variant_is_of_type(scheme, G_VARIANT_TYPE_UINT32)) return;
  // 1 asks for dark, 2 for light; 0 states no preference and changes nothing.
  guint32 wanted = g_variant_get_uint32(scheme);
  if (wanted == 1 || wanted == 2)
    g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", wanted == 1,
                 nullptr);
}

void DesktopStyle::styleFrame() {
  const FrameColours& colours = prefersDark(gtk_settings_get_default()) ? kDark : kLight;
  g_autofree char* css = g_strdup_printf(kFrameStyle, colours.background, colours.menu);
  gtk_css_provider_load_from_data(frame_, css, -1, nullptr);
}

}  // namespace quarrytide
