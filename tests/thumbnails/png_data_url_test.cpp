// pngDataURL: the one output form, whatever the source.
#include <gtest/gtest.h>

#include "pictures.hpp"
#include "thumbnails/png_data_url.hpp"

namespace quarrytide::testing {
namespace {

TEST(PngDataUrl, WholeSourceStretchedIntoOneLineOfBase64) {
  // A tall source keeps its left/right halves and its transparency.
  PixbufPtr tall = halves(10, 200, kRed, Rgba{0, 0, 255, 0});
  std::string url = pngDataURL(tall.get(), 300);
  EXPECT_EQ(url.find('\n'), std::string::npos);  // 300 px is long enough to wrap if it did
  PixbufPtr png = decodeDataUrl(url);
  ASSERT_TRUE(png);
  EXPECT_EQ(gdk_pixbuf_get_width(png.get()), 300);
  EXPECT_EQ(gdk_pixbuf_get_height(png.get()), 300);
  EXPECT_TRUE(near(pixel(png.get(), 0, 0), kRed, 0));
  EXPECT_TRUE(near(pixel(png.get(), 0, 299), kRed, 0));
  EXPECT_EQ(pixel(png.get(), 299, 150)[3], 0);

  PixbufPtr dot = halves(1, 1, kGreen, kGreen);
  PixbufPtr big = decodeDataUrl(pngDataURL(dot.get(), 64));
  ASSERT_TRUE(big);
  EXPECT_TRUE(near(pixel(big.get(), 63, 63), kGreen, 0));
}

TEST(PngDataUrl, NothingToDrawGivesTheEmptyString) {
  PixbufPtr dot = halves(1, 1, kGreen, kGreen);
  EXPECT_EQ(pngDataURL(nullptr, 48), "");
  EXPECT_EQ(pngDataURL(dot.get(), 0), "");
}

}  // namespace
}  // namespace quarrytide::testing
