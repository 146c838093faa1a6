#pragma once
// Sample media files made on the spot: pictures through GdkPixbuf with their
// metadata written by exiv2, sounds and videos by ffmpeg, a PDF, a HEIF
// picture and what no tool writes by hand.

#include <map>
#include <string>

namespace quarrytide::testing {

// Exif, XMP and IPTC keys to their values, as exiv2 spells them; the values
// of Xmp.dc.subject are separated by "|".
using MetadataValues = std::map<std::string, std::string>;

// A width x height picture in `format` ("jpeg", "png" or "tiff") at `path`,
// then `values` written into it.
void makePicture(const std::string& path, const char* format, int width, int height,
                 const MetadataValues& values);
// Runs ffmpeg with `args` (after the input options) to make `path`.
void makeWithFfmpeg(const std::string& path, const std::string& input, const std::string& args);
// A one-page PDF whose information dictionary holds `info` (PDF syntax).
void makePdf(const std::string& path, const std::string& info, int pages);
// A HEIC whose picture is `width` x `height`, turned a quarter to the left,
// and whose Exif says it is 6000 x 4000. Its coded picture is a stand-in.
void makeHeic(const std::string& path, int width, int height);
// Adds the camera's clock to an AVI as its IDIT chunk, "Wed Jul 13 12:14:00 2022".
void addAviDate(const std::string& path, const std::string& date);
// An MP3 of one frame behind an ID3v2.2 tag of `title`, `artist`, `album`.
void makeOneFrameMp3(const std::string& path, const std::string& title, const std::string& artist,
                     const std::string& album);

}  // namespace quarrytide::testing
