// Photos and raw files through exiv2: Exif, XMP and IPTC, and the small
// pictures they carry.
#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "media/exposure_text.hpp"
#include "media/file_bytes.hpp"
#include "media/heif_size.hpp"
#include "media/media_dates.hpp"
#include "media/readers.hpp"

namespace quarrytide {

namespace {

// Keys are parsed once: parsing one costs more than finding it.
const Exiv2::ExifKey& exifKey(const char* name) {
  static std::map<std::string_view, Exiv2::ExifKey> parsed;
  auto it = parsed.find(name);
  if (it == parsed.end()) it = parsed.emplace(name, Exiv2::ExifKey(name)).first;
  return it->second;
}

const Exiv2::Exifdatum* exif(const Exiv2::ExifData& data, const char* key) {
  auto it = data.findKey(exifKey(key));
  return it == data.end() || it->count() == 0 ? nullptr : &*it;
}

const Exiv2::Xmpdatum* xmp(const Exiv2::XmpData& data, const char* key) {
  auto it = data.findKey(Exiv2::XmpKey(key));
  return it == data.end() || it->count() == 0 ? nullptr : &*it;
}

std::string exifText(const Exiv2::ExifData& data, const char* key) {
  const auto* d = exif(data, key);
  return d ? d->toString() : std::string();
}

std::optional<double> rational(const Exiv2::Exifdatum* d, long n = 0) {
  if (!d || d->count() <= n) return std::nullopt;
  auto r = d->toRational(n);
  if (r.second == 0) return std::nullopt;
  return double(r.first) / double(r.second);
}

// Degrees, minutes and seconds and the hemisphere letter as a signed number.
std::optional<double> coordinate(const Exiv2::ExifData& data, const char* key, const char* refKey,
                                 char negative) {
  const auto* d = exif(data, key);
  if (!d || d->count() < 3) return std::nullopt;
  auto deg = rational(d, 0), min = rational(d, 1), sec = rational(d, 2);
  if (!deg || !min || !sec) return std::nullopt;
  double v = *deg + *min / 60 + *sec / 3600;
  std::string ref = exifText(data, refKey);
  return !ref.empty() && ref[0] == negative ? -v : v;
}

// The satellites' time (UTC) of the fix: GPSDateStamp "YYYY:MM:DD" and
// GPSTimeStamp's hours, minutes and seconds, as "YYYY-MM-DDThh:mm:ssZ".
std::optional<std::string> gpsTime(const Exiv2::ExifData& data) {
  const std::string day = exifText(data, "Exif.GPSInfo.GPSDateStamp");
  const auto* t = exif(data, "Exif.GPSInfo.GPSTimeStamp");
  int y = 0, mo = 0, d = 0;
  if (!t || t->count() < 3 || std::sscanf(day.c_str(), "%4d:%2d:%2d", &y, &mo, &d) != 3)
    return std::nullopt;
  auto h = rational(t, 0), mi = rational(t, 1), s = rational(t, 2);
  if (!h || !mi || !s || mo < 1 || mo > 12 || d < 1 || d > 31 || *h < 0 || *h >= 24 || *mi < 0 ||
      *mi >= 60 || *s < 0 || *s >= 61)
    return std::nullopt;
  char out[32];
  std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02dZ", y, mo, d, int(*h), int(*mi),
                int(*s));
  return out;
}

std::string xmpText(const Exiv2::XmpData& data, const char* key) {
  const auto* d = xmp(data, key);
  if (!d) return {};
  // Language alternatives print as 'lang="x-default" text'.
  if (d->typeId() == Exiv2::langAlt) return d->toString(0);
  return d->toString();
}

void putDate(nlohmann::json& out, const Exiv2::ExifData& exifData, const Exiv2::XmpData& xmpData) {
  // The moment the picture was taken, before the dates editors rewrite.
  if (auto d = exifDate(exifText(exifData, "Exif.Photo.DateTimeOriginal"),
                        exifText(exifData, "Exif.Photo.SubSecTimeOriginal"))) {
    out["dateTaken"] = *d;
    if (auto o = offsetText(exifText(exifData, "Exif.Photo.OffsetTimeOriginal")))
      out["offset"] = *o;
    return;
  }
  for (const char* key : {"Xmp.exif.DateTimeOriginal", "Xmp.photoshop.DateCreated"}) {
    if (auto d = isoDate(xmpText(xmpData, key))) {
      out["dateTaken"] = d->wallClock;
      if (d->offset) out["offset"] = *d->offset;
      return;
    }
  }
  if (auto d = exifDate(exifText(exifData, "Exif.Photo.DateTimeDigitized"),
                        exifText(exifData, "Exif.Photo.SubSecTimeDigitized"))) {
    out["dateTaken"] = *d;
    return;
  }
  if (auto d = exifDate(exifText(exifData, "Exif.Image.DateTime"),
                        exifText(exifData, "Exif.Photo.SubSecTime")))
    out["dateTaken"] = *d;
}

void putKeywords(nlohmann::json& out, const Exiv2::XmpData& xmpData,
                 const Exiv2::IptcData& iptcData) {
  nlohmann::json words = nlohmann::json::array();
  if (const auto* d = xmp(xmpData, "Xmp.dc.subject")) {
    for (long k = 0; k < d->count(); ++k) words.push_back(d->toString(k));
  } else {
    for (const auto& d : iptcData)
      if (d.key() == "Iptc.Application2.Keywords") words.push_back(d.toString());
  }
  if (!words.empty()) out["keywords"] = std::move(words);
}

// Every field: Exif before XMP before IPTC. Exif blobs (maker notes,
// previews) are no text and are left out; a repeated IPTC field (keywords)
// joins its values.
void putEveryTag(const Exiv2::ExifData& e, const Exiv2::XmpData& x, const Exiv2::IptcData& i,
                 nlohmann::json* all) {
  for (const auto& d : e) {
    const bool bytes = d.typeId() == Exiv2::undefined || d.typeId() == Exiv2::unsignedByte;
    if (!(bytes && d.size() > 64)) putTag(all, d.key(), d.toString());
  }
  for (const auto& d : x) putTag(all, d.key(), d.toString());
  std::map<std::string, std::string> joined;
  for (const auto& d : i) {
    std::string& v = joined[d.key()];
    v += (v.empty() ? "" : ", ") + d.toString();
  }
  for (auto& [key, value] : joined) putTag(all, key, std::move(value));
}

// The photo at `path` with its metadata read, from `bytes` (the file's,
// which must outlive the image) when they could be mapped.
auto openImage(const std::string& path, const FileBytes& bytes) {
  // A file of no type exiv2 knows is refused by the path, whose message names a file.
  const bool known =
      bytes.data() &&
      Exiv2::ImageFactory::getType(bytes.data(), long(bytes.size())) != Exiv2::ImageType::none;
  auto image = known ? Exiv2::ImageFactory::open(bytes.data(), long(bytes.size()))
                     : Exiv2::ImageFactory::open(path, /*useCurl=*/false);
  if (!image.get()) throw std::runtime_error("not an image this program can read");
  try {
    image->readMetadata();
  } catch (const Exiv2::AnyError&) {
    // A file cut short (half copied from a failing card) keeps what came
    // before the cut: the Exif block alone holds the date, the camera and
    // the thumbnail.
    if (image->exifData().empty() && image->xmpData().empty() && image->iptcData().empty()) throw;
  }
  return image;
}

// The picture's size as stored, before its orientation turns it; 0 x 0 when unknown.
std::pair<long, long> storedSize(const Exiv2::Image& image) {
  long width = image.pixelWidth(), height = image.pixelHeight();
  if (width > 0 && height > 0) return {width, height};
  const auto* w = exif(image.exifData(), "Exif.Photo.PixelXDimension");
  const auto* h = exif(image.exifData(), "Exif.Photo.PixelYDimension");
  return {w ? w->toLong() : 0, h ? h->toLong() : 0};
}

}  // namespace

void readImage(const std::string& path, nlohmann::json& out, nlohmann::json* all) {
  try {
    const FileBytes bytes(path);
    auto image = openImage(path, bytes);
    const auto& e = image->exifData();
    const auto& x = image->xmpData();
    const auto& i = image->iptcData();
    if (all) putEveryTag(e, x, i, all);

    putDate(out, e, x);
    putText(out, "make", exifText(e, "Exif.Image.Make"));
    putText(out, "model", exifText(e, "Exif.Image.Model"));
    putText(out, "lens", exifText(e, "Exif.Photo.LensModel"));
    putText(out, "serial", exifText(e, "Exif.Photo.BodySerialNumber"));

    long orientation = 1;
    if (const auto* d = exif(e, "Exif.Image.Orientation")) {
      orientation = d->toLong();
      if (orientation >= 1 && orientation <= 8) out["orientation"] = orientation;
    }
    // HEIF pictures carry their size and rotation themselves: the size is
    // the displayed one already.
    auto heif = image->imageType() == Exiv2::ImageType::bmff ? heifPictureSize(path) : std::nullopt;
    auto [width, height] = heif ? *heif : storedSize(*image);
    if (width > 0 && height > 0) {
      // As displayed: orientations 5 to 8 turn the picture a quarter.
      if (!heif && orientation >= 5 && orientation <= 8) std::swap(width, height);
      out["width"] = width;
      out["height"] = height;
    }
    if (const auto* d = exif(e, "Exif.Photo.ISOSpeedRatings"); d && d->toLong() > 0)
      out["iso"] = d->toLong();
    if (auto f = rational(exif(e, "Exif.Photo.FNumber")); f && *f > 0)
      out["fNumber"] = std::round(*f * 10) / 10;
    if (auto t = rational(exif(e, "Exif.Photo.ExposureTime")); t && *t > 0)
      out["exposure"] = exposureText(*t);
    if (auto f = rational(exif(e, "Exif.Photo.FocalLength")); f && *f > 0)
      out["focalLength"] = std::round(*f * 10) / 10;
    if (auto v = coordinate(e, "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLatitudeRef", 'S'))
      out["gpsLat"] = *v;
    if (auto v = coordinate(e, "Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSLongitudeRef", 'W'))
      out["gpsLon"] = *v;
    if (auto when = gpsTime(e)) out["gpsTime"] = *when;
    if (auto v = rational(exif(e, "Exif.GPSInfo.GPSAltitude"))) {
      const auto* ref = exif(e, "Exif.GPSInfo.GPSAltitudeRef");
      out["gpsAlt"] = ref && ref->toLong() == 1 ? -*v : *v;  // 1: below sea level
    }
    const auto* rating = xmp(x, "Xmp.xmp.Rating");
    long stars = rating ? rating->toLong() : -1;
    if (!rating)
      if (const auto* d = exif(e, "Exif.Image.Rating")) stars = d->toLong();
    if (stars >= 0 && stars <= 5) out["rating"] = stars;
    std::string title = xmpText(x, "Xmp.dc.title");
    if (title.empty())
      if (auto it = i.findKey(Exiv2::IptcKey("Iptc.Application2.ObjectName")); it != i.end())
        title = it->toString();
    putText(out, "title", title);
    std::string artist = exifText(e, "Exif.Image.Artist");
    if (artist.empty()) artist = xmpText(x, "Xmp.dc.creator");
    putText(out, "artist", artist);
    putKeywords(out, x, i);
  } catch (const Exiv2::AnyError& e) {
    throw std::runtime_error(e.what());
  }
}

nlohmann::json readPreview(const std::string& path, int pixels, std::string& bytes) {
  try {
    const FileBytes file(path);
    auto image = openImage(path, file);
    Exiv2::PreviewManager previews(*image);
    // smallest first: the first one that covers the square is the cheapest
    for (const auto& p : previews.getPreviewProperties()) {
      if (p.mimeType_ != "image/jpeg" || std::min(p.width_, p.height_) < std::size_t(pixels))
        continue;
      Exiv2::PreviewImage preview = previews.getPreviewImage(p);
      if (preview.size() == 0) continue;
      bytes.assign(reinterpret_cast<const char*>(preview.pData()), preview.size());
      nlohmann::json out = {{"previewWidth", p.width_}, {"previewHeight", p.height_}};
      if (const auto* d = exif(image->exifData(), "Exif.Image.Orientation"))
        out["orientation"] = d->toLong();
      // The picture's own shape: a thumbnail padded to 4:3 is cut to it.
      if (auto [width, height] = storedSize(*image); width > 0 && height > 0)
        out["width"] = width, out["height"] = height;
      return out;
    }
    return nlohmann::json::object();
  } catch (const Exiv2::AnyError& e) {
    throw std::runtime_error(e.what());
  }
}

}  // namespace quarrytide
