#include "thumbnails/shipped_icons.hpp"

#include <gio/gio.h>

#include <algorithm>
#include <iterator>

namespace quarrytide {
namespace {

constexpr const char* kShipped[] = {
    "folder",          "text-x-generic",    "image-x-generic",   "audio-x-generic",
    "video-x-generic", "x-office-document", "package-x-generic", "application-x-generic"};

bool shipped(const std::string& name) {
  return std::find(std::begin(kShipped), std::end(kShipped), name) != std::end(kShipped);
}

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

}  // namespace

ShippedIcons::ShippedIcons(std::string folder) : folder_(std::move(folder)) {}

std::string ShippedIcons::besideExecutable() {
  g_autofree gchar* exe = g_file_read_link("/proc/self/exe", nullptr);
  if (!exe) return "share/quarrytide/icons";
  g_autofree gchar* bin = g_path_get_dirname(exe);
  g_autofree gchar* folder = g_build_filename(bin, "..", "share", "quarrytide", "icons", nullptr);
  return folder;
}

std::string ShippedIcons::iconName(const std::string& contentType) {
  g_autofree gchar* generic = g_content_type_get_generic_icon_name(contentType.c_str());
  const std::string name = generic ? generic : "";
  if (shipped(name)) return name;
  // Generic names the set does not ship fall back to their family.
  if (startsWith(name, "text-") || startsWith(contentType, "text/")) return "text-x-generic";
  if (startsWith(name, "x-office-")) return "x-office-document";
  if (startsWith(contentType, "image/")) return "image-x-generic";
  if (startsWith(contentType, "audio/")) return "audio-x-generic";
  if (startsWith(contentType, "video/")) return "video-x-generic";
  return "application-x-generic";
}

PixbufPtr ShippedIcons::icon(const std::string& contentType, int pixels) {
  for (const std::string& name : {iconName(contentType), std::string("application-x-generic")}) {
    std::string file = folder_ + "/" + name + ".svg";
    if (GdkPixbuf* p =
            gdk_pixbuf_new_from_file_at_scale(file.c_str(), pixels, pixels, TRUE, nullptr))
      return PixbufPtr(p);
  }
  return {};
}

}  // namespace quarrytide
