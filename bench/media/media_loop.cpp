// The media benchmark's helper. "make DIR N": N photos with Exif (one made
// with GdkPixbuf and exiv2, then copied). "exiv2 DIR" and "taglib DIR": the
// least a reader can do, one thread, one file after another: the date taken
// and the camera of each photo, or the artist and title of each song.
#include <dirent.h>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <taglib/fileref.h>
#include <exiv2/exiv2.hpp>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> filesIn(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path());
  return out;
}

int make(const std::string& dir, int count) {
  const std::string first = dir + "/IMG_00000.jpg";
  GdkPixbuf* picture = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 64, 48);
  gdk_pixbuf_fill(picture, 0x3366aaff);
  bool saved = gdk_pixbuf_save(picture, first.c_str(), "jpeg", nullptr, nullptr);
  g_object_unref(picture);
  if (!saved) return 1;
  auto image = Exiv2::ImageFactory::open(first);
  image->readMetadata();
  image->exifData()["Exif.Image.Make"] = "Canon";
  image->exifData()["Exif.Image.Model"] = "EOS R5";
  image->exifData()["Exif.Photo.DateTimeOriginal"] = "2024:07:13 14:02:11";
  image->exifData()["Exif.Photo.ExposureTime"] = "1/250";
  image->writeMetadata();
  for (int k = 1; k < count; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "/IMG_%05d.jpg", k);
    std::filesystem::copy_file(first, dir + name);
  }
  return 0;
}

int exiv2Loop(const std::string& dir) {
  int found = 0;
  for (const auto& path : filesIn(dir)) {
    auto image = Exiv2::ImageFactory::open(path, false);
    image->readMetadata();
    auto& exif = image->exifData();
    auto date = exif.findKey(Exiv2::ExifKey("Exif.Photo.DateTimeOriginal"));
    auto model = exif.findKey(Exiv2::ExifKey("Exif.Image.Model"));
    if (date != exif.end() && model != exif.end() && !date->toString().empty()) ++found;
  }
  std::printf("%d\n", found);
  return 0;
}

int taglibLoop(const std::string& dir) {
  int found = 0;
  for (const auto& path : filesIn(dir)) {
    TagLib::FileRef file(path.c_str());
    if (!file.isNull() && file.tag() && !file.tag()->artist().isEmpty()) ++found;
  }
  std::printf("%d\n", found);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[1] : "";
  Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
  if (mode == "make" && argc > 3) return make(argv[2], std::stoi(argv[3]));
  if (mode == "exiv2") return exiv2Loop(argv[2]);
  if (mode == "taglib") return taglibLoop(argv[2]);
  std::fprintf(stderr, "usage: bench-media-loop make DIR N | exiv2 DIR | taglib DIR\n");
  return 2;
}
