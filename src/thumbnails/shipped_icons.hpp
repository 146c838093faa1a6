#pragma once
// The icons Quarrytide ships, for hosts without an icon theme (no display).

#include <string>

#include "thumbnails/icon_source.hpp"

namespace quarrytide {

// One SVG per freedesktop generic icon name ("text-x-generic.svg",
// "folder.svg", ...) in one folder; a type whose generic icon is not shipped
// gets the nearest family's, else "application-x-generic.svg".
class ShippedIcons final : public IconSource {
 public:
  explicit ShippedIcons(std::string folder);
  // ../share/quarrytide/icons beside the running executable, where the build
  // tree and an installation both keep them.
  static std::string besideExecutable();

  PixbufPtr icon(const std::string& contentType, int pixels) override;
  // The file name (without ".svg") used for `contentType`.
  static std::string iconName(const std::string& contentType);

 private:
  std::string folder_;
};

}  // namespace quarrytide
