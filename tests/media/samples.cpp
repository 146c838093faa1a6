#include "samples.hpp"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <exiv2/exiv2.hpp>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "files.hpp"

namespace quarrytide::testing {

namespace {

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

}  // namespace

void makePicture(const std::string& path, const char* format, int width, int height,
                 const MetadataValues& values) {
  GdkPixbuf* picture = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  gdk_pixbuf_fill(picture, 0x3366aaff);
  bool saved = gdk_pixbuf_save(picture, path.c_str(), format, nullptr, nullptr);
  g_object_unref(picture);
  if (!saved) throw std::runtime_error("could not save " + path);
  if (values.empty()) return;
  auto image = Exiv2::ImageFactory::open(path);
  image->readMetadata();
  for (const auto& [key, value] : values) {
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

void makeWithFfmpeg(const std::string& path, const std::string& input, const std::string& args) {
  std::string command = "ffmpeg -nostdin -v error -y " + input + " " + args + " '" + path + "'";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("ffmpeg failed: " + command);
}

void makePdf(const std::string& path, const std::string& info, int pages) {
  std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", "", info};
  std::string kids;
  for (int p = 0; p < pages; ++p) {
    kids += std::to_string(4 + p) + " 0 R ";
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>");
  }
  objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>";
  std::ostringstream pdf;
  pdf << "%PDF-1.4\n";
  std::vector<long> offsets;
  for (std::size_t k = 0; k < objects.size(); ++k) {
    offsets.push_back(long(pdf.tellp()));
    pdf << k + 1 << " 0 obj\n" << objects[k] << "\nendobj\n";
  }
  long xref = long(pdf.tellp());
  pdf << "xref\n0 " << objects.size() + 1 << "\n0000000000 65535 f \n";
  for (long offset : offsets) {
    char line[24];
    std::snprintf(line, sizeof line, "%010ld 00000 n \n", offset);
    pdf << line;
  }
  pdf << "trailer\n<< /Size " << objects.size() + 1 << " /Root 1 0 R /Info 3 0 R >>\nstartxref\n"
      << xref << "\n%%EOF\n";
  std::ofstream(path, std::ios::binary) << pdf.str();
}

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

}  // namespace quarrytide::testing
