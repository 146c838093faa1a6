#include "icon_theme_source.hpp"

#include <gtk/gtk.h>

namespace quarrytide {

PixbufPtr IconThemeSource::icon(const std::string& contentType, int pixels) {
  GIcon* themed = g_content_type_get_icon(contentType.c_str());
  GtkIconInfo* info = themed ? gtk_icon_theme_lookup_by_gicon(gtk_icon_theme_get_default(), themed,
                                                              pixels, GTK_ICON_LOOKUP_FORCE_SIZE)
                             : nullptr;
  if (themed) g_object_unref(themed);
  PixbufPtr image;
  if (info) {
    image.reset(gtk_icon_info_load_icon(info, nullptr));
    g_object_unref(info);
  }
  return image ? std::move(image) : shipped_.icon(contentType, pixels);
}

}  // namespace quarrytide
