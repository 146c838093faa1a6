// The thumbnail command end to end through quarrytide-headless.
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

TEST(HeadlessThumbnail, EveryRequestGetsItsPictureIconOrEmptyAnswer) {
  TempDir dir, cache;
  const std::string d = dir.path(), photo = d + "/photo.jpg";
  ASSERT_TRUE(save(halves(1600, 1200, kRed, kBlue), photo, "jpeg"));
  std::ofstream(d + "/a.txt") << "text\n";
  std::ofstream(d + "/b.txt") << "other text\n";
  ASSERT_EQ(mkfifo((d + "/pipe").c_str(), 0600), 0);
  fs::copy_file(photo, d + "/cut.jpg");
  fs::resize_file(d + "/cut.jpg", 2000);

  const std::pair<json, json> requests[] = {
      // args, then the side or the payload
      {{{"path", photo}}, 96},                  // 48 points at density 2
      {{{"path", photo}, {"size", "64"}}, 96},  // not an integer: 48
      {{{"path", photo}, {"size", 32}}, 64},
      {{{"path", photo}, {"size", 5000000000}}, 2048},  // clamped to 1024
      {{{"path", photo}, {"size", 0}}, {{"dataUrl", ""}}},
      {{{"path", d + "/a.txt"}}, 96},
      {{{"path", d + "/b.txt"}}, 96},
      {{{"path", d + "/missing.jpg"}}, 96},
      {{{"path", d + "/pipe"}}, 96},
      {{{"path", d + "/cut.jpg"}}, 96},
      {{{"path", d}}, 96},
      {{{"size", 48}}, "missing path"},
  };
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < std::size(requests); ++i)
    lines.push_back(json{{"id", i}, {"cmd", "thumbnail"}, {"args", requests[i].first}}.dump());
  auto run = runHeadless(lines, {}, {"XDG_CACHE_HOME=" + cache.path()});
  EXPECT_EQ(run.status, 0) << run.err;
  std::map<std::size_t, json> payloads;
  for (const auto& r : run.replies()) {
    EXPECT_EQ(r["ok"], !r["payload"].is_string()) << r;
    payloads[r["id"]] = r["payload"];
  }
  ASSERT_EQ(payloads.size(), std::size(requests));
  for (std::size_t i = 0; i < std::size(requests); ++i) {
    const json& want = requests[i].second;
    if (want.is_number())
      EXPECT_EQ(sketch(payloads[i]["dataUrl"]), want.dump() + "x" + want.dump())
          << requests[i].first;
    else
      EXPECT_EQ(payloads[i], want) << requests[i].first;
  }
  // Text files share the text icon, which is not the photo.
  EXPECT_EQ(payloads[5], payloads[6]);
  EXPECT_NE(payloads[5], payloads[0]);
}

}  // namespace
}  // namespace quarrytide::testing
