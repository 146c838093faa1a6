// The shared thumbnail cache is used only when its entry is fresh and big enough.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "thumb_harness.hpp"
#include "thumbnails/thumb_cache.hpp"

namespace quarrytide::testing {
namespace {

namespace fs = std::filesystem;

struct CachedFile {
  std::string uri;
  std::int64_t mtime = 0;
  std::string md5;
};

CachedFile describe(const std::string& path) {
  GFile* file = g_file_new_for_path(path.c_str());
  GFileInfo* info = g_file_query_info(file, G_FILE_ATTRIBUTE_TIME_MODIFIED, G_FILE_QUERY_INFO_NONE,
                                      nullptr, nullptr);
  gchar* uri = g_file_get_uri(file);
  gchar* md5 = g_compute_checksum_for_string(G_CHECKSUM_MD5, uri, -1);
  CachedFile out{uri, std::int64_t(g_file_info_get_attribute_uint64(info, "time::modified")), md5};
  g_free(md5);
  g_free(uri);
  g_object_unref(info);
  g_object_unref(file);
  return out;
}

// Writes a green cache entry as file managers do (PNG with Thumb:: text chunks).
void writeEntry(const std::string& root, const char* sizeClass, const std::string& uri,
                std::int64_t mtime, const std::string& md5) {
  fs::create_directories(root + "/" + sizeClass);
  PixbufPtr green = halves(128, 128, kGreen, kGreen);
  std::string mtimeText = std::to_string(mtime);
  ASSERT_TRUE(gdk_pixbuf_save(green.get(), (root + "/" + sizeClass + "/" + md5 + ".png").c_str(),
                              "png", nullptr, "tEXt::Thumb::URI", uri.c_str(), "tEXt::Thumb::MTime",
                              mtimeText.c_str(), nullptr));
}

Rgba centre(const Answer& a) {
  PixbufPtr png = decodeDataUrl(a.url);
  return png ? pixel(png.get(), gdk_pixbuf_get_width(png.get()) / 2, 2) : Rgba{};
}

TEST(ThumbCache, AFreshEntryBigEnoughWinsOverDecoding) {
  TempDir dir, cache;
  std::string path = dir.path() + "/red photo #1.png";  // the URI escapes " " and "#"
  ASSERT_TRUE(save(halves(300, 300, kRed, kRed).get(), path, "png"));
  CachedFile f = describe(path);
  ThumbHarness h(cache.path());

  writeEntry(cache.path(), "normal", f.uri, f.mtime, f.md5);
  EXPECT_TRUE(near(centre(h.make(path, 48)), kGreen));  // 96 px: normal (128) serves
  EXPECT_TRUE(near(centre(h.make(path, 100)), kRed));   // 200 px: normal is too small
  writeEntry(cache.path(), "large", f.uri, f.mtime, f.md5);
  EXPECT_TRUE(near(centre(h.make(path, 100)), kGreen));
  EXPECT_TRUE(near(centre(h.make(path, 600)), kRed));  // beyond every class
}

TEST(ThumbCache, StaleOrForeignEntriesAreIgnored) {
  TempDir dir, cache;
  std::string path = dir.path() + "/a.png";
  ASSERT_TRUE(save(halves(64, 64, kRed, kRed).get(), path, "png"));
  CachedFile f = describe(path);
  ThumbHarness h(cache.path());

  writeEntry(cache.path(), "normal", f.uri, f.mtime - 60, f.md5);  // the file changed since
  EXPECT_TRUE(near(centre(h.make(path, 48)), kRed));
  writeEntry(cache.path(), "normal", "file:///elsewhere.png", f.mtime, f.md5);
  EXPECT_TRUE(near(centre(h.make(path, 48)), kRed));
  // A cache entry that is not a PNG, or no cache folder at all, is no entry.
  fs::remove_all(cache.path() + "/normal");
  fs::create_directories(cache.path() + "/normal/" + f.md5 + ".png");
  EXPECT_TRUE(near(centre(h.make(path, 48)), kRed));
  EXPECT_FALSE(cachedThumb(cache.path() + "/missing", f.uri, f.mtime, 96));
}

}  // namespace
}  // namespace quarrytide::testing
