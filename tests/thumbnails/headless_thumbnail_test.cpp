// The thumbnail command end to end through quarrytide-headless.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "headless.hpp"
#include "pictures.hpp"
#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string request(int id, const std::string& path, const json& size = nullptr) {
  json args{{"path", path}};
  if (!size.is_null()) args["size"] = size;
  return json{{"id", id}, {"cmd", "thumbnail"}, {"args", args}}.dump();
}

int side(const json& reply) {
  PixbufPtr png = decodeDataUrl(reply["payload"]["dataUrl"].get<std::string>());
  return png && gdk_pixbuf_get_width(png.get()) == gdk_pixbuf_get_height(png.get())
             ? gdk_pixbuf_get_width(png.get())
             : -1;
}

TEST(HeadlessThumbnail, PicturesIconsAndBadFilesAllGetTheirAnswer) {
  TempDir dir, cache;
  const std::string d = dir.path();
  ASSERT_TRUE(save(halves(1600, 1200, kRed, kBlue).get(), d + "/photo.jpg", "jpeg"));
  ASSERT_TRUE(save(halves(40, 40, kRed, kRed).get(), d + "/cached.png", "png"));
  std::ofstream(d + "/a.txt") << "text\n";
  std::ofstream(d + "/b.txt") << "other text\n";
  ASSERT_EQ(mkfifo((d + "/pipe").c_str(), 0600), 0);
  fs::copy_file(d + "/photo.jpg", d + "/cut.jpg");
  fs::resize_file(d + "/cut.jpg", 2000);

  // A stale cache entry for cached.png, which must not be used.
  GFile* file = g_file_new_for_path((d + "/cached.png").c_str());
  gchar* uri = g_file_get_uri(file);
  gchar* md5 = g_compute_checksum_for_string(G_CHECKSUM_MD5, uri, -1);
  fs::create_directories(cache.path() + "/thumbnails/normal");
  PixbufPtr green = halves(128, 128, kGreen, kGreen);
  ASSERT_TRUE(
      gdk_pixbuf_save(green.get(), (cache.path() + "/thumbnails/normal/" + md5 + ".png").c_str(),
                      "png", nullptr, "tEXt::Thumb::URI", uri, "tEXt::Thumb::MTime", "1", nullptr));
  g_free(md5);
  g_free(uri);
  g_object_unref(file);

  auto run = runHeadless(
      {request(1, d + "/photo.jpg"), request(2, d + "/photo.jpg", "64"),
       request(3, d + "/photo.jpg", 32), request(4, d + "/a.txt"), request(5, d + "/b.txt"),
       request(6, d + "/missing.jpg"), request(7, d + "/photo.jpg", 0), request(8, d + "/pipe"),
       request(9, d + "/cut.jpg"), request(10, d + "/cached.png"), request(11, d)},
      {}, {"XDG_CACHE_HOME=" + cache.path()});
  EXPECT_EQ(run.status, 0) << run.err;
  std::map<int, json> byId;
  for (const auto& r : run.replies()) {
    EXPECT_EQ(r["ok"], true) << r;
    byId[r["id"]] = r;
  }
  ASSERT_EQ(byId.size(), 11u);
  EXPECT_EQ(side(byId[1]), 96);  // 48 points at density 2
  EXPECT_EQ(side(byId[2]), 96);  // "size" as a string counts as absent
  EXPECT_EQ(side(byId[3]), 64);
  // Text files share the text icon, which is not the photo.
  EXPECT_EQ(side(byId[4]), 96);
  EXPECT_EQ(byId[4]["payload"], byId[5]["payload"]);
  EXPECT_NE(byId[4]["payload"], byId[1]["payload"]);
  EXPECT_EQ(side(byId[6]), 96);
  EXPECT_EQ(byId[7]["payload"]["dataUrl"], "");
  for (int id : {8, 9, 11}) EXPECT_EQ(side(byId[id]), 96) << id;
  PixbufPtr decoded = decodeDataUrl(byId[10]["payload"]["dataUrl"]);
  ASSERT_TRUE(decoded);
  EXPECT_TRUE(near(pixel(decoded.get(), 48, 48), kRed));
}

}  // namespace
}  // namespace quarrytide::testing
