// The icons shipped for hosts without an icon theme.
#include <gtest/gtest.h>

#include "temp_dir.hpp"
#include "thumbnails/shipped_icons.hpp"

namespace quarrytide::testing {
namespace {

TEST(ShippedIcons, EveryFamilyHasAnIconThatRenders) {
  ShippedIcons icons(ShippedIcons::besideExecutable());
  const std::pair<const char*, const char*> families[] = {
      {"inode/directory", "folder"},
      {"text/plain", "text-x-generic"},
      {"application/x-shellscript", "text-x-generic"},
      {"image/jpeg", "image-x-generic"},
      {"audio/mpeg", "audio-x-generic"},
      {"video/mp4", "video-x-generic"},
      {"application/pdf", "x-office-document"},
      {"application/vnd.ms-excel", "x-office-document"},
      {"application/zip", "package-x-generic"},
      {"inode/fifo", "application-x-generic"},
      {"no such/type", "application-x-generic"},
  };
  for (const auto& [type, name] : families) {
    SCOPED_TRACE(type);
    EXPECT_EQ(ShippedIcons::iconName(type), name);
    PixbufPtr icon = icons.icon(type, 96);
    ASSERT_TRUE(icon);
    EXPECT_EQ(gdk_pixbuf_get_width(icon.get()), 96);
  }
}

TEST(ShippedIcons, AFolderWithoutIconsGivesNone) {
  TempDir empty;
  EXPECT_FALSE(ShippedIcons(empty.path()).icon("text/plain", 48));
}

}  // namespace
}  // namespace quarrytide::testing
