// makeThumb: the file's picture decoded on a worker, else its type's icon on the main thread.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "thumb_harness.hpp"

namespace quarrytide::testing {
namespace {

namespace fs = std::filesystem;

TEST(MakeThumb, PicturesAreStretchedToTheSquareOnAWorker) {
  TempDir dir;
  ThumbHarness h;
  // A wide PNG and a large 4:3 JPEG (decoded at 1/8), both red left and blue right.
  ASSERT_TRUE(save(halves(64, 16, kRed, kBlue).get(), dir.path() + "/wide.png", "png"));
  ASSERT_TRUE(save(halves(2400, 1800, kRed, kBlue).get(), dir.path() + "/photo.jpg", "jpeg"));
  for (const char* name : {"/wide.png", "/photo.jpg"}) {
    SCOPED_TRACE(name);
    Answer a = h.make(dir.path() + name, 48);
    ASSERT_TRUE(a.came);
    EXPECT_FALSE(a.onMain);
    PixbufPtr png = decodeDataUrl(a.url);
    ASSERT_TRUE(png);
    EXPECT_EQ(gdk_pixbuf_get_width(png.get()), 96);
    EXPECT_EQ(gdk_pixbuf_get_height(png.get()), 96);
    // Stretched, not letter-boxed: every corner is picture.
    EXPECT_TRUE(near(pixel(png.get(), 0, 0), kRed));
    EXPECT_TRUE(near(pixel(png.get(), 0, 95), kRed));
    EXPECT_TRUE(near(pixel(png.get(), 95, 0), kBlue));
    EXPECT_TRUE(near(pixel(png.get(), 95, 95), kBlue));
  }
  // The scale sets the pixel density.
  PixbufPtr one = decodeDataUrl(h.make(dir.path() + "/wide.png", 30, 1.0).url);
  ASSERT_TRUE(one);
  EXPECT_EQ(gdk_pixbuf_get_width(one.get()), 30);
  EXPECT_TRUE(h.icons.asked.empty());
}

TEST(MakeThumb, FilesWithoutAPictureGetTheirTypesIconOnTheMainThread) {
  TempDir dir;
  ThumbHarness h;
  std::ofstream(dir.path() + "/notes.txt") << "just words\n";
  fs::create_directory(dir.path() + "/folder");
  ASSERT_EQ(mkfifo((dir.path() + "/pipe").c_str(), 0600), 0);  // opening it for reading would block
  ASSERT_TRUE(save(halves(800, 600, kRed, kBlue).get(), dir.path() + "/whole.jpg", "jpeg"));
  fs::copy_file(dir.path() + "/whole.jpg", dir.path() + "/cut.jpg");
  fs::resize_file(dir.path() + "/cut.jpg", fs::file_size(dir.path() + "/whole.jpg") / 2);
  ASSERT_TRUE(save(halves(300, 300, kRed, kBlue).get(), dir.path() + "/whole.png", "png"));
  fs::copy_file(dir.path() + "/whole.png", dir.path() + "/cut.png");
  fs::resize_file(dir.path() + "/cut.png", fs::file_size(dir.path() + "/whole.png") / 2);
  std::ofstream(dir.path() + "/fake.png") << "not a picture at all";

  struct Case {
    std::string path;
    std::string type;  // "" where the sniffed type is the platform's business
  };
  const Case cases[] = {
      {dir.path() + "/notes.txt", "text/plain"},
      {dir.path() + "/folder", "inode/directory"},
      {dir.path() + "/pipe", "inode/fifo"},
      {dir.path() + "/gone.jpg", "image/jpeg"},  // missing: named by its extension
      {dir.path() + "/cut.jpg", "image/jpeg"},   // truncated
      {dir.path() + "/cut.png", "image/png"},
      {dir.path() + "/fake.png", ""},
      {dir.path() + std::string("/x\0y", 4), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    h.icons.asked.clear();
    Answer a = h.make(c.path, 48);
    ASSERT_TRUE(a.came);
    EXPECT_TRUE(a.onMain);
    ASSERT_EQ(h.icons.asked.size(), 1u);
    if (!c.type.empty()) {
      EXPECT_EQ(h.icons.asked[0], c.type);
    }
    PixbufPtr png = decodeDataUrl(a.url);
    ASSERT_TRUE(png);
    EXPECT_EQ(gdk_pixbuf_get_width(png.get()), 96);
    EXPECT_TRUE(near(pixel(png.get(), 50, 50), FakeIcons::kMagenta, 0));
  }
  EXPECT_TRUE(h.icons.onMain);
}

TEST(MakeThumb, NoSquareToDrawAnswersEmptyLater) {
  TempDir dir;
  ThumbHarness h;
  ASSERT_TRUE(save(halves(16, 16, kRed, kRed).get(), dir.path() + "/a.png", "png"));
  for (std::int64_t size : {std::int64_t(0), std::int64_t(-5), INT64_MIN}) {
    Answer a = h.make(dir.path() + "/a.png", size);
    EXPECT_TRUE(a.came);
    EXPECT_EQ(a.url, "");
  }
  // A size no page means is drawn at the largest square, not at gigabytes.
  PixbufPtr huge = decodeDataUrl(h.make(dir.path() + "/a.png", INT64_MAX).url);
  ASSERT_TRUE(huge);
  EXPECT_EQ(gdk_pixbuf_get_width(huge.get()), kMaxThumbPixels);
  EXPECT_TRUE(h.icons.asked.empty());
}

}  // namespace
}  // namespace quarrytide::testing
