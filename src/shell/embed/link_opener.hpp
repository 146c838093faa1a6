#pragma once
// Opens web links in the user's browser, outside the app. Main thread only.

#include <gtk/gtk.h>

#include <string>

namespace quarrytide {

class LinkOpener {
 public:
  virtual ~LinkOpener() = default;
  virtual void open(const std::string& uri) = 0;
};

// The desktop's default handler for the link's scheme.
class DesktopLinkOpener final : public LinkOpener {
 public:
  void setParent(GtkWindow* parent) { parent_ = parent; }
  void open(const std::string& uri) override;

 private:
  GtkWindow* parent_ = nullptr;
};

}  // namespace quarrytide
