#pragma once
// The icon fallback of thumbnails from the desktop's icon theme, so a file
// without a picture shows the icon the user's file manager shows.

#include "thumbnails/icon_source.hpp"
#include "thumbnails/shipped_icons.hpp"

namespace quarrytide {

class IconThemeSource final : public IconSource {
 public:
  // Main thread only, like the icon theme itself.
  PixbufPtr icon(const std::string& contentType, int pixels) override;

 private:
  // For types the theme has no icon for (a minimal theme, a broken install).
  ShippedIcons shipped_{ShippedIcons::besideExecutable()};
};

}  // namespace quarrytide
