#include "icon_theme_source.hpp"

#include <gtk/gtk.h>

namespace quarrytide {

PixbufPtr IconThemeSource::icon(const std::string& contentType, int pixels) {
  g_autoptr(GIcon) themed = g_content_type_get_icon(contentType.c_str());
  g_autoptr(GtkIconInfo) info =
      themed ? gtk_icon_theme_lookup_by_gicon(gtk_icon_theme_get_default(), themed, pixels,
                                              GTK_ICON_LOOKUP_FORCE_SIZE)
             : nullptr;
  PixbufPtr image;
  if (info) image.reset(gtk_icon_info_load_icon(info, nullptr));
  return image ? std::move(image) : shipped_.icon(contentType, pixels);
}

}  // namespace quarrytide
