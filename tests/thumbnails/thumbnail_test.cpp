// makeThumb: a fresh cache entry or the decoded file on a worker, else the
// type's icon on the main thread; bad files answer too. Then the thumbnail
// command through quarrytide-headless and its shipped icons.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "headless.hpp"
#include "seam_fakes.hpp"
#include "temp_dir.hpp"
#include "thumbnails/thumb_maker.hpp"

namespace quarrytide::testing {
namespace {

namespace fs = std::filesystem;
// Colours as 0xRRGGBBAA.
constexpr guint32 kRed = 0xff0000ff, kBlue = 0x0000ffff, kGreen = 0x00ff00ff, kMagenta = 0xff00ffff;

// Left half `left`, right half `right`.
PixbufPtr halves(int width, int height, guint32 left, guint32 right) {
  PixbufPtr p(gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height));
  gdk_pixbuf_fill(p.get(), left);
  g_autoptr(GdkPixbuf) half =
      gdk_pixbuf_new_subpixbuf(p.get(), width / 2, 0, width - width / 2, height);
  gdk_pixbuf_fill(half, right);
  return p;
}

// Saves as "png" or "jpeg"; `options` are key, value, ... (PNG text chunks).
template <class... Options>
bool save(const PixbufPtr& p, const std::string& path, const char* type, Options... options) {
  return gdk_pixbuf_save(p.get(), path.c_str(), type, nullptr, options..., nullptr);
}

// The colour at (x, y), give or take JPEG and resampling: r, g, b or m; ? for others.
char colourAt(GdkPixbuf* p, int x, int y) {
  if (x >= gdk_pixbuf_get_width(p) || y >= gdk_pixbuf_get_height(p)) return '?';
  const guint8* px = gdk_pixbuf_read_pixels(p) + y * gdk_pixbuf_get_rowstride(p) +
                     x * gdk_pixbuf_get_n_channels(p);
  for (auto [name, rgba] : {std::pair{'r', kRed}, {'g', kGreen}, {'b', kBlue}, {'m', kMagenta}}) {
    bool near = true;
    for (int c = 0; c < 3; ++c)
      near = near && std::abs(px[c] - int(rgba >> (24 - 8 * c) & 255)) <= 40;
    if (near) return name;
  }
  return '?';
}

// What a thumbnail data URL shows: "WxH" then the colour at each of `points`;
// "none" when it is not a one-line PNG data URL.
std::string sketch(const std::string& url, std::initializer_list<std::array<int, 2>> points = {}) {
  const std::string prefix = "data:image/png;base64,";
  if (url.rfind(prefix, 0) != 0 || url.find('\n') != std::string::npos) return "none";
  gsize length = 0;
  g_autofree guchar* png = g_base64_decode(url.c_str() + prefix.size(), &length);
  g_autoptr(GdkPixbufLoader) loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
  if (!gdk_pixbuf_loader_write(loader, png, length, nullptr) ||
      !gdk_pixbuf_loader_close(loader, nullptr))
    return "none";
  GdkPixbuf* p = gdk_pixbuf_loader_get_pixbuf(loader);
  std::string out =
      std::to_string(gdk_pixbuf_get_width(p)) + "x" + std::to_string(gdk_pixbuf_get_height(p));
  if (points.size()) out += ' ';
  for (auto [x, y] : points) out += colourAt(p, x, y);
  return out;
}

// Magenta for every type; records the types asked and whether on the main thread.
struct FakeIcons final : IconSource {
  PixbufPtr icon(const std::string& contentType, int) override {
    asked.push_back(contentType);
    onMain = onMain && std::this_thread::get_id() == main;
    return halves(8, 8, kMagenta, kMagenta);
  }
  std::vector<std::string> asked;
  std::thread::id main = std::this_thread::get_id();
  bool onMain = true;
};

// A ThumbMaker whose main thread is the test thread, and a folder for its files.
class Harness {
 public:
  explicit Harness(const std::string& cacheRoot = "/nonexistent",
                   const std::vector<std::string>& programs = {}, PreviewSource previews = {})
      : maker_(
            icons, [this](std::function<void()> t) { main.post(std::move(t)); }, cacheRoot,
            SystemThumbnailers(programs, std::chrono::milliseconds(500)), std::move(previews), 2) {}

  struct Answer {
    std::string url;
    bool onMain = false;
  };
  // Asks, then plays the main thread until the answer comes.
  Answer make(const std::string& path, std::int64_t size, double scale = 2.0) {
    auto answer = std::make_shared<std::optional<Answer>>();  // outlives a timed-out wait
    maker_.makeThumb(path, size, scale, [this, answer](std::string url) {
      bool onMain = std::this_thread::get_id() == icons.main;
      main.post([answer, url, onMain] { *answer = Answer{url, onMain}; });
    });
    while (!*answer && main.runUntilPosted(++posted_)) {
    }
    EXPECT_TRUE(*answer) << path;
    return answer->value_or(Answer{});
  }
  FakeIcons icons;
  FakeMain main;
  TempDir dir;

 private:
  std::size_t posted_ = 0;
  ThumbMaker maker_;  // last: its workers stop before the queue goes
};

TEST(MakeThumb, PicturesAreStretchedToTheSquareOnAWorker) {
  Harness h;
  const std::string wide = h.dir.at("wide.png"), photo = h.dir.at("photo.jpg");
  ASSERT_TRUE(save(halves(64, 16, kRed, kBlue), wide, "png"));
  ASSERT_TRUE(save(halves(2400, 1800, kRed, kBlue), photo, "jpeg"));
  for (const auto& path : {wide, photo}) {
    auto a = h.make(path, 48);
    EXPECT_FALSE(a.onMain) << path;
    // Stretched, not letter-boxed: every corner is picture.
    EXPECT_EQ(sketch(a.url, {{0, 0}, {0, 95}, {95, 0}, {95, 95}}), "96x96 rrbb") << path;
  }
  EXPECT_EQ(sketch(h.make(wide, 30, 1.0).url), "30x30");
  EXPECT_EQ(h.make(wide, 0).url, "");
  EXPECT_EQ(h.make(wide, INT64_MIN).url, "");
  EXPECT_TRUE(h.icons.asked.empty());
}

TEST(MakeThumb, FilesWithoutAPictureGetTheirTypesIconOnTheMainThread) {
  Harness h;
  const std::string d = h.dir.path();
  h.dir.file("notes.txt", "just words\n");
  h.dir.file("fake.png", "not a picture at all");
  ASSERT_EQ(mkfifo((d + "/pipe").c_str(), 0600), 0);  // reading it would block
  for (const char* type : {"jpg", "png"}) {           // cut in half: loaders pad, not fail
    std::string cut = d + "/cut." + type;
    ASSERT_TRUE(save(halves(300, 300, kRed, kBlue), cut, type[0] == 'j' ? "jpeg" : "png"));
    fs::resize_file(cut, fs::file_size(cut) / 2);
  }
  // The content type asked for, "" where any will do.
  const std::pair<std::string, std::string> cases[] = {
      {d + "/notes.txt", "text/plain"},  {d, "inode/directory"},        {d + "/pipe", "inode/fifo"},
      {d + "/gone.jpg", "image/jpeg"},  // by its name
      {d + "/cut.jpg", "image/jpeg"},    {d + "/cut.png", "image/png"}, {d + "/fake.png", ""},
      {d + std::string("/x\0y", 4), ""},
  };
  for (const auto& [path, type] : cases) {
    h.icons.asked.clear();
    auto a = h.make(path, 48);
    EXPECT_TRUE(a.onMain) << path;
    EXPECT_EQ(sketch(a.url, {{50, 50}}), "96x96 m") << path;
    ASSERT_EQ(h.icons.asked.size(), 1u) << path;
    EXPECT_TRUE(type.empty() || h.icons.asked[0] == type) << path << " asked " << h.icons.asked[0];
  }
  EXPECT_TRUE(h.icons.onMain);
}

TEST(MakeThumb, OnlyAFreshCacheEntryBigEnoughIsUsed) {
  TempDir cache;
  Harness h(cache.path());
  std::string path = h.dir.at("red photo #1.png");  // its URI escapes " " and "#"
  ASSERT_TRUE(save(halves(300, 300, kRed, kRed), path, "png"));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  const std::int64_t mtime = st.st_mtime;
  g_autofree gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  g_autofree gchar* md5 = g_compute_checksum_for_string(G_CHECKSUM_MD5, uri, -1);
  auto entry = [&](const char* sizeClass, const std::string& forUri, std::int64_t forMTime) {
    std::string name = cache.folder(sizeClass) + "/" + md5 + ".png";
    ASSERT_TRUE(save(halves(128, 128, kGreen, kGreen), name, "png", "tEXt::Thumb::URI",
                     forUri.c_str(), "tEXt::Thumb::MTime", std::to_string(forMTime).c_str()));
  };
  auto green = [&](std::int64_t size) {
    return sketch(h.make(path, size).url, {{1, 1}}).ends_with(" g");
  };

  entry("normal", uri, mtime);
  EXPECT_TRUE(green(48));            // 96 px: the 128 class serves
  EXPECT_FALSE(green(100));          // 200 px: too small
  entry("normal", uri, mtime - 60);  // the file changed since
  EXPECT_FALSE(green(48));
  entry("normal", "file:///elsewhere.png", mtime);
  EXPECT_FALSE(green(48));
  entry("large", uri, mtime);
  EXPECT_TRUE(green(100));
  EXPECT_FALSE(green(600));  // beyond every class
}

TEST(MakeThumb, ThumbnailerProgramsServeOtherTypesAndAreStoppedInTime) {
  TempDir programs;
  const std::string green = programs.at("green.png");
  ASSERT_TRUE(save(halves(32, 32, kGreen, kGreen), green, "png"));
  programs.file("copy.thumbnailer",
                "[Thumbnailer Entry]\nExec=cp " + green + " %o\nMimeType=application/pdf;\n");
  programs.file("slow.thumbnailer",
                "[Thumbnailer Entry]\nExec=sleep 600\nMimeType=application/zip;\n");
  programs.file("absent.thumbnailer", "[Thumbnailer Entry]\nTryExec=no-such-program\nExec=cp " +
                                          green + " %o\nMimeType=application/zip;\n");
  Harness h("/nonexistent", {programs.path()});  // reads the programs' folder once, now
  auto pdf = h.make(h.dir.file("doc.pdf", "%PDF-1.4\n"), 48);
  EXPECT_EQ(sketch(pdf.url, {{50, 50}}), "96x96 g");
  EXPECT_FALSE(pdf.onMain);
  // The slow program is killed at its limit and the icon answers instead.
  const std::string zip =
      h.dir.file("a.zip", std::string("PK\x03\x04", 4) + std::string(100, '\0'));
  EXPECT_EQ(sketch(h.make(zip, 48).url, {{50, 50}}), "96x96 m");
  EXPECT_EQ(h.icons.asked, std::vector<std::string>{"application/zip"});
}

// `p` as a JPEG file's bytes.
std::string jpegOf(const PixbufPtr& p) {
  gchar* buffer = nullptr;
  gsize size = 0;
  if (!gdk_pixbuf_save_to_buffer(p.get(), &buffer, &size, "jpeg", nullptr, nullptr)) return {};
  std::string out(buffer, size);
  g_free(buffer);
  return out;
}

// `inner` with black bars of `bar` rows above and below, as cameras pad a
// 3:2 photo's thumbnail to 4:3.
PixbufPtr letterboxed(const PixbufPtr& inner, int bar) {
  const int w = gdk_pixbuf_get_width(inner.get()), h = gdk_pixbuf_get_height(inner.get());
  PixbufPtr out(gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, w, h + 2 * bar));
  gdk_pixbuf_fill(out.get(), 0x000000ff);
  gdk_pixbuf_copy_area(inner.get(), 0, 0, w, h, out.get(), 0, bar);
  return out;
}

TEST(MakeThumb, APhotosOwnPreviewStandsForItWhenItIsBigEnough) {
  // The photo itself is red | blue; its previews are green | blue.
  const std::string green = jpegOf(halves(160, 120, kGreen, kBlue));
  struct Case {
    const char* what;
    std::optional<EmbeddedPreview> preview;
    const char* file;   // the name of the file asked for
    std::string shows;  // corners (0,0) (0,95) (95,0) (95,95) of the 96-pixel square
    int asks;           // how often the source is asked
  };
  const Case cases[] = {
      {"a preview", EmbeddedPreview{green, 1, 4000, 3000}, "a.jpg", "96x96 ggbb", 1},
      {"turned by the photo's orientation", EmbeddedPreview{green, 6, 4000, 3000}, "b.jpg",
       "96x96 gbgb", 1},
      // bars on JPEG's 16-row blocks, so that they do not bleed into the picture
      {"cut to the photo's shape, bars and all",
       EmbeddedPreview{jpegOf(letterboxed(halves(320, 208, kGreen, kBlue), 16)), 1, 4000, 2600},
       "c.jpg", "96x96 ggbb", 1},
      {"too small: the photo is decoded",
       EmbeddedPreview{jpegOf(halves(80, 60, kGreen, kBlue)), 1, 4000, 3000}, "d.jpg", "96x96 rrbb",
       1},
      {"not a picture: the photo is decoded", EmbeddedPreview{"not a jpeg", 1, 0, 0}, "e.jpg",
       "96x96 rrbb", 1},
      {"none", std::nullopt, "f.jpg", "96x96 rrbb", 1},
      {"a PNG has no preview to ask for", EmbeddedPreview{green, 1, 0, 0}, "g.png", "96x96 rrbb",
       0},
  };
  for (const Case& c : cases) {
    int asked = 0;
    Harness h("/nonexistent", {}, [&](const std::string& path, int pixels) {
      ++asked;
      EXPECT_EQ(pixels, 96);
      EXPECT_TRUE(path.ends_with(c.file)) << path;
      return c.preview;
    });
    const std::string file = h.dir.at(c.file);
    ASSERT_TRUE(save(halves(600, 400, kRed, kBlue), file, c.file[2] == 'j' ? "jpeg" : "png"));
    EXPECT_EQ(sketch(h.make(file, 48).url, {{0, 0}, {0, 95}, {95, 0}, {95, 95}}), c.shows)
        << c.what;
    EXPECT_EQ(asked, c.asks) << c.what;
  }
}

// A photo whose Exif thumbnail exiftool wrote: the helper reads it, turned.
TEST(HeadlessThumbnail, APhotosExifThumbnailIsReadByTheHelper) {
  if (std::system("exiftool -ver > /dev/null 2>&1") != 0) GTEST_SKIP() << "no exiftool";
  TempDir dir, cache;
  const std::string photo = dir.at("photo.jpg"), thumb = dir.at("thumb.jpg");
  ASSERT_TRUE(save(halves(600, 400, kRed, kBlue), photo, "jpeg"));
  ASSERT_TRUE(save(halves(160, 120, kGreen, kBlue), thumb, "jpeg"));
  ASSERT_EQ(std::system(("exiftool -q -overwrite_original '-ThumbnailImage<=" + thumb +
                         "' -Orientation#=6 " + photo)
                            .c_str()),
            0);
  auto replies =
      answered({request(1, "thumbnail", {{"path", photo}})}, {"XDG_CACHE_HOME=" + cache.path()});
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(sketch(replies[1]["payload"]["dataUrl"], {{0, 0}, {0, 95}, {95, 0}, {95, 95}}),
            "96x96 gbgb");
}

// The sizes the command passes on: tests/bridge/protocol_test.cpp.
TEST(HeadlessThumbnail, EachFamilyGetsItsShippedIconAtDensityTwo) {
  TempDir dir, cache;
  ASSERT_EQ(mkfifo(dir.at("pipe").c_str(), 0600), 0);
  const std::string paths[] = {dir.file("a.txt", "text\n"), dir.file("b.txt", "other text\n"),
                               dir.at("missing.jpg"), dir.at("pipe"), dir.path()};
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < std::size(paths); ++i)
    lines.push_back(request(i, "thumbnail", {{"path", paths[i]}}));
  auto replies = answered(lines, {"XDG_CACHE_HOME=" + cache.path()});
  ASSERT_EQ(replies.size(), std::size(paths));
  for (auto& [i, r] : replies) {
    EXPECT_EQ(r["ok"], true) << r;
    EXPECT_EQ(sketch(r["payload"]["dataUrl"]), "96x96") << paths[i];
  }
  // Text files share the text icon, which is not the folder's.
  EXPECT_EQ(replies[0]["payload"], replies[1]["payload"]);
  EXPECT_NE(replies[0]["payload"], replies[4]["payload"]);
}

}  // namespace
}  // namespace quarrytide::testing
