#pragma once
// The dates stored in media files, as the page reads them: the local wall
// clock "YYYY-MM-DDThh:mm:ss" (plus ".sss" when sub-seconds are recorded) and,
// apart, the offset from UTC ("+02:00") when it is known. Pure text work.

#include <optional>
#include <string>
#include <string_view>

namespace quarrytide {

struct MediaDate {
  std::string wallClock;
  std::optional<std::string> offset;
};

// Exif's "YYYY:MM:DD hh:mm:ss" (dashes or a "T" accepted too), with the
// digits of a SubSecTime tag; nullopt for blank, zero or impossible dates.
std::optional<std::string> exifDate(std::string_view text, std::string_view subSeconds = {});
// An ISO 8601 date as XMP and QuickTime write it: "YYYY-MM-DD", optionally
// "Thh:mm[:ss[.fff]]" and "Z", "+hh:mm" or "+hhmm". The wall clock as
// written, with its offset. Exif's colons ("YYYY:MM:DD hh:mm:ss") are
// accepted too: some raw converters write XMP dates so.
std::optional<MediaDate> isoDate(std::string_view text);
// "+hh:mm" or "-hh:mm" as Exif's OffsetTime tags hold it; nullopt otherwise.
std::optional<std::string> offsetText(std::string_view text);
// A moment in UTC (ISO 8601 text ending in "Z" or "+00:00") as the wall
// clock of this system's time zone, with that zone's offset then. Text
// without a zone is a wall clock already: nullopt.
std::optional<MediaDate> utcToLocal(std::string_view text);

}  // namespace quarrytide
