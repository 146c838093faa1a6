#pragma once
// DesktopStyle: the desktop's light or dark preference. The page follows it
// through GTK's settings, which WebKit reads for prefers-color-scheme; the
// window's frame is styled here to match. Main thread only.

#include <gtk/gtk.h>

namespace quarrytide {

class DesktopStyle {
 public:
  DesktopStyle() = default;
  ~DesktopStyle();
  DesktopStyle(const DesktopStyle&) = delete;
  DesktopStyle& operator=(const DesktopStyle&) = delete;

  // Styles the frame for the current preference and follows its changes.
  void start();

 private:
  void readPortal();
  static void applyPortal(GVariant* value);
  void styleFrame();

  GtkCssProvider* frame_ = nullptr;
  GDBusConnection* bus_ = nullptr;
  guint portalSignal_ = 0;
};

}  // namespace quarrytide
