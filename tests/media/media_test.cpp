// readMedia through quarrytide-headless, on sample files of every kind made
// here; the dates the readers convert; the probe's sandbox.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cairo-pdf.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>
#include <exiv2/exiv2.hpp>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "files.hpp"
#include "headless.hpp"
#include "media/exposure_text.hpp"
#include "media/file_bytes.hpp"
#include "media/media_dates.hpp"
#include "media/sandbox.hpp"
#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;

// Sample media files made on the spot: pictures through GdkPixbuf with their
// metadata written by exiv2, sounds and videos by ffmpeg, a PDF by cairo, a
// HEIF picture and what no tool writes by hand.

// "a|b" as an XMP bag of two.
void addBag(Exiv2::XmpData& xmp, const std::string& key, const std::string& values) {
  auto bag = Exiv2::Value::create(Exiv2::xmpBag);
  std::stringstream in(values);
  for (std::string one; std::getline(in, one, '|');) bag->read(one);
  xmp.add(Exiv2::XmpKey(key), bag.get());
}

// Big-endian numbers and ISO-BMFF boxes.
std::string be(std::uint64_t value, int bytes) {
  std::string out;
  for (int k = bytes - 1; k >= 0; --k) out += char(value >> (8 * k));
  return out;
}
std::string box(const char* type, const std::string& body) {
  return be(8 + body.size(), 4) + type + body;
}
std::string fullBox(const char* type, const std::string& body, int version = 0) {
  return box(type, be(version, 1) + be(0, 3) + body);
}

// A width x height picture in `format` ("jpeg", "png" or "tiff") at `path`,
// then `values` written into it: Exif, XMP and IPTC keys as exiv2 spells them,
// to their values; those of Xmp.dc.subject separated by "|".
void makePicture(const std::string& path, const char* format, int width, int height,
                 const json& values) {
  GdkPixbuf* picture = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  gdk_pixbuf_fill(picture, 0x3366aaff);
  bool saved = gdk_pixbuf_save(picture, path.c_str(), format, nullptr, nullptr);
  g_object_unref(picture);
  if (!saved) throw std::runtime_error("could not save " + path);
  if (values.empty()) return;
  auto image = Exiv2::ImageFactory::open(path);
  image->readMetadata();
  for (const auto& [key, text] : values.items()) {
    const std::string value = text;
    if (key.rfind("Exif.", 0) == 0)
      image->exifData()[key] = value;
    else if (key == "Xmp.dc.subject")
      addBag(image->xmpData(), key, value);
    else if (key.rfind("Xmp.", 0) == 0)
      image->xmpData()[key] = value;
    else
      image->iptcData()[key] = value;
  }
  image->writeMetadata();
}

// Runs ffmpeg with `args` (after the input options) to make `path`.
void makeWithFfmpeg(const std::string& path, const std::string& input, const std::string& args) {
  std::string command = "ffmpeg -nostdin -v error -y " + input + " " + args + " '" + path + "'";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("ffmpeg failed: " + command);
}

// A PDF of `pages` pages with `info` (cairo's keys) in its information dictionary.
void makePdf(const std::string& path, int pages,
             const std::vector<std::pair<cairo_pdf_metadata_t, const char*>>& info) {
  cairo_surface_t* pdf = cairo_pdf_surface_create(path.c_str(), 200, 200);
  for (const auto& [key, value] : info) cairo_pdf_surface_set_metadata(pdf, key, value);
  cairo_t* cr = cairo_create(pdf);
  for (int p = 0; p < pages; ++p) cairo_show_page(cr);
  cairo_destroy(cr);
  cairo_surface_destroy(pdf);
}

// A HEIC whose picture is `width` x `height`, turned a quarter to the left,
// and whose Exif says it is 6000 x 4000. Its coded picture is a stand-in.
void makeHeic(const std::string& path, int width, int height) {
  // Exif as a TIFF: IFD0 points to the Exif IFD, which holds the size.
  auto entry = [](int tag, int type, std::uint64_t value) {
    return be(tag, 2) + be(type, 2) + be(1, 4) + be(value, 4);
  };
  const std::string exif = be(0, 4) + "MM" + be(42, 2) + be(8, 4) + be(1, 2) +
                           entry(0x8769, 4, 26) + be(0, 4) + be(2, 2) + entry(0xa002, 4, 6000) +
                           entry(0xa003, 4, 4000) + be(0, 4);
  const std::string picture(16, '\0');
  auto item = [](int id, const char* type) {
    return fullBox("infe", be(id, 2) + be(0, 2) + type + std::string(1, '\0'), 2);
  };
  // Item 1, the picture: its codec's set-up, its size, a quarter turn.
  const std::string properties = box("hvcC", "\x01" + std::string(22, '\0')) +
                                 fullBox("ispe", be(width, 4) + be(height, 4)) +
                                 box("irot", be(1, 1));
  const std::string meta =
      fullBox("hdlr", be(0, 4) + "pict" + std::string(13, '\0')) + fullBox("pitm", be(1, 2)) +
      fullBox("iinf", be(2, 2) + item(1, "hvc1") + item(2, "Exif")) +
      box("iprp",
          box("ipco", properties) + fullBox("ipma", be(1, 4) + be(1, 2) + "\x03\x81\x02\x83"));
  // Where each item's bytes are: both in mdat, which follows the meta box.
  auto locations = [&](std::size_t at) {
    return fullBox("iloc", "\x44" + std::string(1, '\0') + be(2, 2) + be(1, 2) + be(0, 2) +
                               be(1, 2) + be(at, 4) + be(picture.size(), 4) + be(2, 2) + be(0, 2) +
                               be(1, 2) + be(at + picture.size(), 4) + be(exif.size(), 4));
  };
  const std::string ftyp = box("ftyp", std::string("heic") + be(0, 4) + "mif1heic");
  const std::size_t data = ftyp.size() + fullBox("meta", meta + locations(0)).size() + 8;
  std::ofstream(path, std::ios::binary)
      << ftyp + fullBox("meta", meta + locations(data)) + box("mdat", picture + exif);
}

// Adds the camera's clock to an AVI as its IDIT chunk, "Wed Jul 13 12:14:00 2022".
void addAviDate(const std::string& path, const std::string& date) {
  auto le = [](std::uint32_t v) {
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  };
  std::string avi = read(path), text = date + '\0';
  if (text.size() % 2) text += '\0';
  avi.insert(avi.find("movi") - 8, "IDIT" + le(std::uint32_t(date.size() + 1)) + text);
  avi.replace(4, 4, le(std::uint32_t(avi.size() - 8)));
  std::ofstream(path, std::ios::binary) << avi;
}

// An MP3 of one frame behind an ID3v2.2 tag of `title`, `artist`, `album`.
void makeOneFrameMp3(const std::string& path, const std::string& title, const std::string& artist,
                     const std::string& album) {
  makeWithFfmpeg(path, "-f lavfi -i sine=duration=0.1:sample_rate=48000",
                 "-b:a 64k -write_xing 0 -id3v2_version 0 -f mp3");
  // One frame of MPEG-1 Layer III: 144 x 64 kbit/s / 48 kHz bytes.
  const std::string frame = read(path).substr(0, 192);
  auto text = [](const char* id, const std::string& value) {
    return id + be(value.size() + 1, 3) + '\0' + value;
  };
  const std::string frames = text("TT2", title) + text("TP1", artist) + text("TAL", album);
  std::string size;  // four 7-bit bytes
  for (int shift : {21, 14, 7, 0}) size += char((frames.size() >> shift) & 0x7f);
  std::ofstream(path, std::ios::binary) << "ID3" + be(0x0200, 2) + '\0' + size + frames + frame;
}

// The payload of one readMedia request (or the reply, when it failed).
json readMedia(const json& args, std::vector<std::string> env = {}) {
  env.push_back("TZ=Europe/Berlin");
  auto run = runHeadless({request(1, "readMedia", args)}, {}, env);
  EXPECT_EQ(run.status, 0) << run.err;
  auto reply = run.replies().at(0);
  return reply["ok"] == true ? reply["payload"] : reply;
}

class ReadMedia : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new TempDir;
    makePicture(dir->at("photo.jpg"), "jpeg", 640, 480, json::parse(R"({
        "Exif.Image.Make": "Canon", "Exif.Image.Model": "EOS R5", "Exif.Image.Orientation": "6",
        "Exif.Image.DateTime": "2025:01:01 00:00:00",
        "Exif.Photo.DateTimeOriginal": "2024:07:13 14:02:11",
        "Exif.Photo.SubSecTimeOriginal": "25", "Exif.Photo.OffsetTimeOriginal": "+02:00",
        "Exif.Photo.LensModel": "RF50mm F1.8 STM", "Exif.Photo.BodySerialNumber": "0123",
        "Exif.Photo.ISOSpeedRatings": "200", "Exif.Photo.FNumber": "28/10",
        "Exif.Photo.ExposureTime": "1/250", "Exif.Photo.FocalLength": "50/1",
        "Exif.GPSInfo.GPSLatitude": "48/1 30/1 0/1", "Exif.GPSInfo.GPSLatitudeRef": "N",
        "Exif.GPSInfo.GPSLongitude": "2/1 15/1 0/1", "Exif.GPSInfo.GPSLongitudeRef": "W",
        "Exif.GPSInfo.GPSAltitude": "35/1", "Exif.GPSInfo.GPSAltitudeRef": "1",
        "Exif.GPSInfo.GPSDateStamp": "2024:07:13", "Exif.GPSInfo.GPSTimeStamp": "12/1 2/1 1150/100",
        "Exif.Image.Artist": "Ana", "Xmp.xmp.Rating": "4", "Xmp.dc.title": "Harbour",
        "Xmp.dc.subject": "Sea|Boats"})"));
    makePicture(dir->at("xmp.png"), "png", 32, 16,
                {{"Xmp.exif.DateTimeOriginal", "2023-12-31T23:59:58+01:00"},
                 {"Exif.Image.DateTime", "2025:01:01 00:00:00"}});
    makePicture(dir->at("edited.tiff"), "tiff", 20, 10,
                {{"Exif.Image.DateTime", "2020:02:29 10:00:00"},
                 {"Xmp.photoshop.DateCreated", "2021:08:19 18:48:53"},
                 {"Exif.Photo.ExposureTime", "6/10"}});
    // Cut just after its Exif block, as a half-copied file from a failing card.
    const std::string jpeg = read(dir->at("photo.jpg"));
    std::size_t at = 2;  // past the start; each segment: marker, length, body
    auto segment = [&] {
      return 2 + (std::uint8_t(jpeg[at + 2]) << 8 | std::uint8_t(jpeg[at + 3]));
    };
    while (jpeg.compare(at + 4, 4, "Exif") != 0) at += segment();
    dir->file("cut.jpg", jpeg.substr(0, at + segment() + 10));
    makeHeic(dir->at("small.heic"), 300, 200);
    const std::string tags =
        "-metadata artist=Ana -metadata album=Harbour -metadata 'title=First Light' "
        "-metadata album_artist=Various -metadata track=3/12 -metadata disc=1/2 "
        "-metadata date=2021 -metadata genre=Jazz -metadata composer=Bea";
    const std::string tone = "-f lavfi -i sine=frequency=440:duration=2:sample_rate=48000";
    makeWithFfmpeg(dir->at("song.mp3"), tone, tags + " -b:a 128k");
    // a total in a user-defined frame (TXXX), as some taggers write it
    makeWithFfmpeg(dir->at("totals.mp3"), tone,
                   "-metadata title=Count -metadata track=3 -metadata TRACKTOTAL=12");
    makeWithFfmpeg(dir->at("song.flac"), tone, tags);
    makeWithFfmpeg(dir->at("song.ogg"), tone, tags + " -c:a libvorbis");
    makeWithFfmpeg(dir->at("song.m4a"), tone, tags + " -c:a aac");
    for (std::string codec : {"flac", "opus", "ac3", "eac3"})
      makeWithFfmpeg(dir->at(codec + ".m4a"), tone, tags + " -strict -2 -f mp4 -c:a " + codec);
    makeWithFfmpeg(dir->at("rf64.wav"), tone, tags + " -rf64 always");
    makeOneFrameMp3(dir->at("one-frame.mp3"), "First Light", "Ana", "Harbour");
    const std::string frames = "-f lavfi -i testsrc=size=320x240:rate=10:duration=1";
    makeWithFfmpeg(dir->at("clip.mp4"), frames,
                   "-c:v libx264 -metadata creation_time=2024-07-13T12:02:11Z");
    makeWithFfmpeg(dir->at("phone.mov"), frames,
                   "-c:v libx264 -movflags use_metadata_tags "
                   "-metadata com.apple.quicktime.creationdate=2024-07-13T14:02:11+0200 "
                   "-metadata com.apple.quicktime.make=Apple "
                   "-metadata 'com.apple.quicktime.model=iPhone 15'");
    makeWithFfmpeg(dir->at("camera.avi"), frames, "-c:v mjpeg");
    addAviDate(dir->at("camera.avi"), "Wed Jul 13 12:14:00 2022");
    makeWithFfmpeg(dir->at("part2.mov"), frames, "-c:v mpeg4");
    makeWithFfmpeg(dir->at("hd.mts"), "-f lavfi -i testsrc=size=1920x1080:rate=25:duration=0.2",
                   "-c:v libx264 -preset ultrafast");
    makePdf(dir->at("plans.pdf"), 3,
            {{CAIRO_PDF_METADATA_TITLE, "Harbour Plans"},
             {CAIRO_PDF_METADATA_AUTHOR, "Ana"},
             {CAIRO_PDF_METADATA_SUBJECT, "Boats"},
             {CAIRO_PDF_METADATA_CREATE_DATE, "2024-07-13T14:02:11+02:00"}});
    makePdf(dir->at("scan.pdf"), 1, {{CAIRO_PDF_METADATA_CREATE_DATE, "2022-04-15T11:42:09"}});
    dir->file("notes.txt", "just text");
    dir->folder("album.jpg");
  }
  static void TearDownTestSuite() { delete dir; }
  static TempDir* dir;
};
TempDir* ReadMedia::dir = nullptr;

TEST_F(ReadMedia, EachKindGivesTheFieldsItsFileHas) {
  // What the page gets for each file, less its path; durations and bit rates
  // depend on encoders and are compared within a margin, bit rates only where given.
  const std::string song = R"({"kind":"audio","artist":"Ana","album":"Harbour",
      "title":"First Light","albumArtist":"Various","track":3,"trackTotal":12,"disc":1,
      "discTotal":2,"composer":"Bea",
      "year":2021,"genre":"Jazz","sampleRate":48000,"duration":2})";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"photo.jpg", R"({"kind":"image","dateTaken":"2024-07-13T14:02:11.250","offset":"+02:00",
         "make":"Canon","model":"EOS R5","lens":"RF50mm F1.8 STM","serial":"0123","orientation":6,
         "width":480,"height":640,"iso":200,"fNumber":2.8,"exposure":"1/250","focalLength":50.0,
         "gpsLat":48.5,"gpsLon":-2.25,"gpsAlt":-35.0,"gpsTime":"2024-07-13T12:02:11Z","rating":4,"title":"Harbour","artist":"Ana",
         "keywords":["Sea","Boats"]})"},
      // What came before the cut: the Exif block, without the picture's size.
      {"cut.jpg", R"({"kind":"image","dateTaken":"2024-07-13T14:02:11.250","offset":"+02:00",
         "make":"Canon","model":"EOS R5","lens":"RF50mm F1.8 STM","serial":"0123","orientation":6,
         "iso":200,"fNumber":2.8,"exposure":"1/250","focalLength":50.0,"gpsLat":48.5,
         "gpsLon":-2.25,"gpsAlt":-35.0,"gpsTime":"2024-07-13T12:02:11Z","artist":"Ana"})"},
      // Never the date an editor rewrites while an earlier one is there, in
      // ISO or in Exif's form; 0.6 s as cameras show it.
      {"xmp.png", R"({"kind":"image","dateTaken":"2023-12-31T23:59:58","offset":"+01:00",
         "width":32,"height":16})"},
      {"edited.tiff", R"({"kind":"image","dateTaken":"2021-08-19T18:48:53","exposure":"0.6",
         "width":20,"height":10})"},
      {"small.heic", R"({"kind":"image","width":200,"height":300})"},  // the picture's, turned
      {"song.mp3", R"({"bitrate":128,)" + song.substr(1)},  // the constant rate asked for
      {"totals.mp3",
       R"({"kind":"audio","title":"Count","track":3,"trackTotal":12,"sampleRate":48000,"duration":2})"},
      {"song.flac", song},
      {"song.ogg", song},
      {"song.m4a", song},
      // Sound TagLib cannot measure, or whose file it cannot open: libavformat's.
      {"flac.m4a", song},
      {"opus.m4a", song},
      {"ac3.m4a", song},
      {"eac3.m4a", song},
      {"rf64.wav", R"({"kind":"audio","artist":"Ana","album":"Harbour","title":"First Light",
         "track":3,"trackTotal":12,"year":2021,"genre":"Jazz","sampleRate":48000,"duration":2})"},
      {"one-frame.mp3",
       R"({"kind":"audio","artist":"Ana","album":"Harbour","title":"First Light"})"},
      // The container's UTC time as this system's wall clock (TZ=Europe/Berlin).
      {"clip.mp4", R"({"kind":"video","dateTaken":"2024-07-13T14:02:11","offset":"+02:00",
         "width":320,"height":240,"codec":"h264","duration":1})"},
      {"phone.mov", R"({"kind":"video","dateTaken":"2024-07-13T14:02:11","offset":"+02:00",
         "width":320,"height":240,"codec":"h264","make":"Apple","model":"iPhone 15","duration":1})"},
      // The rest from the first packets; an AVI's date is the camera's own clock.
      {"camera.avi", R"({"kind":"video","dateTaken":"2022-07-13T12:14:00","width":320,
         "height":240,"codec":"mjpeg","duration":1})"},
      {"part2.mov", R"({"kind":"video","width":320,"height":240,"codec":"mpeg4","duration":1})"},
      {"hd.mts", R"({"kind":"video","width":1920,"height":1080,"codec":"h264","duration":0.2})"},
      // A date as written: with a zone, its offset; without, the author's wall clock.
      {"plans.pdf", R"({"kind":"document","title":"Harbour Plans","author":"Ana",
         "subject":"Boats","pages":3,"dateCreated":"2024-07-13T14:02:11","offset":"+02:00"})"},
      {"scan.pdf", R"({"kind":"document","pages":1,"dateCreated":"2022-04-15T11:42:09"})"},
      {"notes.txt", R"({"kind":"other"})"},
      {"album.jpg", R"({"kind":"other"})"},  // a folder
      {"missing.jpg", R"({"kind":"image","error":"No such file or directory"})"},
  };
  json paths = json::array();
  for (const auto& [name, fields] : cases) paths.push_back(dir->at(name));
  const auto before = std::filesystem::last_write_time(dir->at("photo.jpg"));
  const json items = readMedia({{"paths", paths}})["items"];
  ASSERT_EQ(items.size(), cases.size()) << items.dump();
  for (std::size_t k = 0; k < cases.size(); ++k) {
    json item = items[k], want = json::parse(cases[k].second);
    want["path"] = dir->at(cases[k].first);
    for (auto [key, within] : {std::pair{"duration", 0.1}, std::pair{"bitrate", 6.0}}) {
      if (want.contains(key)) {
        EXPECT_NEAR(item.value(key, -1e9), want[key].get<double>(), within) << key << item.dump();
        item.erase(key);
      }
      if (key[0] == 'b') item.erase(key);
      want.erase(key);
    }
    EXPECT_EQ(item, want) << cases[k].first;
  }
  EXPECT_EQ(std::filesystem::last_write_time(dir->at("photo.jpg")), before);  // read, never written
}

TEST_F(ReadMedia, BrokenFilesAreErrorsOfTheirOwnAndHashesAreOfTheWholeContent) {
  // {name, content, the error: the library's reason, without the path}.
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"cut.jpg", read(dir->at("photo.jpg")).substr(0, 300), "Failed to read image data"},
      {"noise.mp3", std::string(5000, '\x7f'), "not a sound file this program can read"},
      {"noise.pdf", "%PDF-1.4\n garbage", "PDF document is damaged"},
      {"empty.mp4", "", "Invalid data found when processing input"},
      {"text.tiff", std::string(64, 't'), "The file contains data of an unknown image type"},
      {"abc.txt", "abc", ""},
  };
  json paths = json::array();
  for (const auto& [name, content, error] : cases)
    paths.push_back(dir->file("broken/" + name, content));
  paths.push_back(dir->at("missing.txt"));
  json items = readMedia({{"paths", paths}, {"hash", "sha256"}})["items"];
  for (std::size_t k = 0; k < std::size(cases); ++k)
    EXPECT_EQ(items[k].value("error", ""), std::get<2>(cases[k])) << items[k].dump();
  EXPECT_EQ(items[5],
            json({{"path", paths[5]},
                  {"kind", "other"},
                  {"hash", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"}}));
  EXPECT_EQ(items[6], json({{"path", dir->at("missing.txt")},
                            {"kind", "other"},
                            {"error", "No such file or directory"}}));
  // xxHash's digests as xxhsum writes them
  for (const auto& [hash, hex] : {std::pair{"xxh32", "32d153ff"},
                                  {"xxh64", "44bc2cf5ad770999"},
                                  {"xxh3", "78af5f94892f3950"}})
    EXPECT_EQ(readMedia({{"paths", {paths[5]}}, {"hash", hash}})["items"][0]["hash"], hex);
}

TEST_F(ReadMedia, WithAllEveryFieldComesByItsLibraryKeyAsText) {
  // {file, key, its text}: exiv2's keys, TagLib's properties, the container's
  // and the streams' names, the PDF information dictionary's.
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"photo.jpg", "Exif.Photo.LensModel", "RF50mm F1.8 STM"},
      {"photo.jpg", "Exif.Photo.ExposureTime", "1/250"},
      {"photo.jpg", "Xmp.dc.subject", "Sea, Boats"},
      {"song.mp3", "ALBUMARTIST", "Various"},
      {"song.flac", "DISCNUMBER", "1/2"},
      {"phone.mov", "com.apple.quicktime.model", "iPhone 15"},
      {"clip.mp4", "handler_name", "VideoHandler"},
      {"plans.pdf", "Subject", "Boats"},
  };
  json paths = json::array();
  for (const auto& [name, key, value] : cases) paths.push_back(dir->at(name));
  const json items = readMedia({{"paths", paths}, {"all", true}})["items"];
  for (std::size_t k = 0; k < std::size(cases); ++k)
    EXPECT_EQ(items[k]["tags"].value(std::get<1>(cases[k]), "(none)"), std::get<2>(cases[k]))
        << std::get<0>(cases[k]);
  EXPECT_FALSE(readMedia({{"paths", {paths[0]}}})["items"][0].contains("tags"));
}

TEST_F(ReadMedia, ArgumentsFollowTheRulesAndAPathWithNulNamesNoItem) {
  EXPECT_EQ(readMedia(json::object())["payload"], "missing paths");
  EXPECT_EQ(readMedia({{"paths", {"a", 1}}})["payload"], "missing paths");
  EXPECT_EQ(readMedia({{"paths", {"a"}}, {"hash", "crc32"}})["payload"], "unknown hash: crc32");
  EXPECT_EQ(readMedia({{"paths", json::array()}}), json({{"items", json::array()}}));
  const std::string cut = dir->at("notes.txt") + std::string(1, '\0') + "x.jpg";
  EXPECT_EQ(readMedia({{"paths", {cut}}})["items"][0],
            json({{"path", cut}, {"kind", "image"}, {"error", "No such file or directory"}}));
  // a name that is not UTF-8 goes by its bytes and comes back by them; bytes
  // that are not base64 name no item
  const std::string legacy = dir->file("caf\xe9.jpg", read(dir->at("photo.jpg")));
  g_autofree char* b64 =
      g_base64_encode(reinterpret_cast<const guchar*>(legacy.data()), legacy.size());
  const json items =
      readMedia({{"paths", {dir->at("notes.txt")}}, {"rawPaths", {b64, "@"}}})["items"];
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(std::tuple(items[1]["rawPath"], items[1]["kind"], items[1].contains("error"),
                       items[2]["rawPath"]),
            std::tuple(json(b64), json("image"), false, json("@")));
}

TEST_F(ReadMedia, ACrashingOrHangingReaderCostsOnlyItsFileAndHoldsUpNoOtherRequest) {
  const std::string fake = std::string(std::getenv("QUARRYTIDE_BIN")) + "/quarrytide_fake_probe";
  // {name, the error it gets, if any}. First as many slow files as there are
  // helpers, which the second request's file releases.
  std::vector<std::pair<std::string, std::string>> cases = {
      {"a.jpg", ""},     {"crash.jpg", "the reader failed on this file"},
      {"b.jpg", ""},     {"hang.jpg", "took too long to read"},
      {"c.jpg", ""},     {"crash2.jpg", "the reader failed on this file"},
      {"d.jpg", ""},     {"garble.jpg", "the reader failed on this file"},
      {"spoof.jpg", ""}, {"e.jpg", ""}};
  for (unsigned k = 0; k < std::max(1u, std::thread::hardware_concurrency()); ++k)
    cases.insert(cases.begin(), {"wait" + std::to_string(k) + ".jpg", ""});
  json paths = json::array();
  for (const auto& [name, error] : cases) paths.push_back(dir->file("fake/" + name, ""));
  // The second request is answered while the first waits for its hanging file.
  auto run = runHeadless({request(1, "readMedia", {{"paths", paths}, {"hash", "md5"}}),
                          request(2, "readMedia", {{"paths", {dir->file("fake/release.jpg")}}})},
                         {}, {"QUARRYTIDE_PROBE=" + fake});
  ASSERT_EQ(run.replies().size(), 2u) << run.err;
  EXPECT_EQ(run.replies()[0]["id"], 2);
  json items = run.byId().at(1)["payload"]["items"];
  ASSERT_EQ(items.size(), cases.size());
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const auto& [name, error] = cases[k];
    // The digest is the app's own: a reader that fails does not take it along.
    json want = {
        {"path", paths[k]}, {"kind", "image"}, {"hash", "d41d8cd98f00b204e9800998ecf8427e"}};
    want.update(error.empty() ? json{{"read", true}} : json{{"error", error}});
    EXPECT_EQ(items[k], want) << name;
  }
  // No reader at all: every file says so, and the request is still answered.
  items = readMedia({{"paths", {dir->at("a.jpg")}}}, {"QUARRYTIDE_PROBE=/nonexistent"})["items"];
  EXPECT_EQ(items[0]["error"], "the media reader could not be started");
}

TEST(ProbeSandbox, OnlyReadingIsLeft) {
  TempDir dir;
  const std::string kept = dir.file("kept.txt", "kept");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int failures = enterReadOnlySandbox().empty() ? 0 : 1;
    auto refused = [&](bool failed) { failures += failed && errno == EACCES ? 0 : 1; };
    refused(open(dir.at("new.txt").c_str(), O_WRONLY | O_CREAT, 0644) < 0);
    refused(open(kept.c_str(), O_RDWR) < 0);
    refused(open(kept.c_str(), O_RDONLY | O_TRUNC) < 0);
    refused(rename(kept.c_str(), dir.at("moved.txt").c_str()) < 0);
    refused(unlink(kept.c_str()) < 0);
    refused(socket(AF_INET, SOCK_STREAM, 0) < 0);
    int fd = open(kept.c_str(), O_RDONLY);
    char c = 0;
    failures += fd >= 0 && ::read(fd, &c, 1) == 1 && c == 'k' ? 0 : 1;
    _exit(failures);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_FALSE(access(dir.at("new.txt").c_str(), F_OK) == 0);
}

TEST(MediaDates, StoredTextBecomesTheWallClockAndItsOffset) {
  // {text, sub-seconds, the wall clock}
  const std::tuple<const char*, const char*, const char*> exif[] = {
      {"2024:07:13 14:02:11", "", "2024-07-13T14:02:11"},
      {"2024:07:13 14:02:11", "5", "2024-07-13T14:02:11.500"},
      {"2024:07:13 14:02:11", "123456", "2024-07-13T14:02:11.123"},
      {"2024-07-13T14:02:11 ", "x", "2024-07-13T14:02:11"}};
  for (auto [text, sub, want] : exif) EXPECT_EQ(exifDate(text, sub), want) << text;
  for (const char* bad : {"0000:00:00 00:00:00", "2023:02:29 10:00:00", "2024:07:13 24:00:00",
                          "2024:07:13", "    :  :     :  :  "})
    EXPECT_FALSE(exifDate(bad)) << bad;

  // A date as "wall clock offset", "-" for no offset.
  auto shown = [](std::optional<MediaDate> d) {
    return d ? d->wallClock + " " + d->offset.value_or("-") : "none";
  };
  for (auto [text, want] : {std::pair{"2024-07-13", "2024-07-13T00:00:00 -"},
                            {"2024-07-13T14:02", "2024-07-13T14:02:00 -"},
                            {"2024-07-13T14:02:11.5Z", "2024-07-13T14:02:11.500 +00:00"},
                            {"2024-07-13T14:02:11-0530", "2024-07-13T14:02:11 -05:30"},
                            {"2021:08:19 18:48:53", "2021-08-19T18:48:53 -"}})
    EXPECT_EQ(shown(isoDate(text)), want) << text;
  for (const char* bad :
       {"", "2024", "2024-13-01", "2024-07-13T14:02:11+2", "2024-07-13T14:02:11."})
    EXPECT_FALSE(isoDate(bad)) << bad;
  EXPECT_EQ(offsetText("+02:00"), "+02:00");
  EXPECT_EQ(offsetText("-0330"), "-03:30");
  EXPECT_FALSE(offsetText("02:00"));

  setenv("TZ", "America/New_York", 1);
  tzset();
  EXPECT_EQ(shown(utcToLocal("2024-01-15T17:00:00.000000Z")), "2024-01-15T12:00:00 -05:00");
  EXPECT_FALSE(utcToLocal("1904-01-01T00:00:00Z"));  // a camera without a clock
  EXPECT_FALSE(utcToLocal("2024-01-15 17:00:00"));   // a wall clock already (AVI)
  EXPECT_FALSE(utcToLocal("2024-01-15T17:00:00+01:00"));
}

TEST(ExposureText, AsCamerasShowIt) {
  const std::pair<double, const char*> cases[] = {
      {1.0 / 250, "1/250"}, {1.0 / 4, "1/4"}, {1.0 / 3, "0.3"}, {0.4, "0.4"}, {0.6, "0.6"},
      {0.8, "0.8"},         {1, "1"},         {1.3, "1.3"},     {2, "2"},     {30, "30"}};
  for (auto [seconds, text] : cases) EXPECT_EQ(exposureText(seconds), text) << seconds;
}

TEST(FileBytes, TagLibReadsAFileFromMemoryAsFromDisk) {
  TempDir dir;
  // a small file is read whole, a large one mapped; a FIFO is not waited for
  std::string large(300 * 1024, 'x');
  for (std::size_t k = 0; k < large.size(); k += 7) large[k] = char('a' + k % 26);
  const std::string fifo = dir.at("pipe.mp3");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(FileBytes(fifo).data(), nullptr);
  EXPECT_EQ(FileBytes(dir.at("none.mp3")).data(), nullptr);
  for (const std::string& content : {std::string("0123456789"), large}) {
    const FileBytes bytes(dir.file("f.mp3", content));
    ByteStream s(dir.at("f.mp3"), bytes);
    ASSERT_EQ(s.length(), long(content.size()));
    const long n = s.length();
    // {seek to, from, read, then at}: reads past the end stop at it
    const std::tuple<long, TagLib::IOStream::Position, unsigned long, long> steps[] = {
        {3, TagLib::IOStream::Beginning, 4, 7},  {-2, TagLib::IOStream::Current, 1, 6},
        {-4, TagLib::IOStream::End, 10, n},      {5, TagLib::IOStream::End, 1, n},
        {-9, TagLib::IOStream::Beginning, 2, 2}, {n - 1, TagLib::IOStream::Beginning, 5, n}};
    for (const auto& [offset, from, length, after] : steps) {
      s.seek(offset, from);
      const long at = s.tell();
      const TagLib::ByteVector block = s.readBlock(length);
      EXPECT_EQ(std::string(block.data(), block.size()),
                content.substr(std::size_t(at), std::size_t(length)))
          << offset << " from " << from;
      EXPECT_EQ(s.tell(), after) << offset << " from " << from;
    }
  }
}

}  // namespace
}  // namespace quarrytide::testing
