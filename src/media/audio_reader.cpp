// Songs through TagLib: the tag every format has, plus the properties map
// for what the common tag lacks (album artist, totals, disc).
#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

#include <cstdlib>
#include <stdexcept>

#include "media/readers.hpp"

namespace quarrytide {

namespace {

std::string text(const TagLib::String& s) { return s.to8Bit(/*unicode=*/true); }

std::string first(const TagLib::PropertyMap& map, const char* key) {
  auto it = map.find(key);
  return it == map.end() || it->second.isEmpty() ? std::string() : text(it->second.front());
}

// "3/12" holds the number and the total; either may be missing (0).
std::pair<long, long> numberPair(const std::string& value) {
  char* end = nullptr;
  long number = std::strtol(value.c_str(), &end, 10);
  long total = end && *end == '/' ? std::strtol(end + 1, nullptr, 10) : 0;
  return {number > 0 ? number : 0, total > 0 ? total : 0};
}

}  // namespace

void readAudio(const std::string& path, nlohmann::json& out) {
  TagLib::FileRef file(path.c_str(), /*readAudioProperties=*/true,
                       TagLib::AudioProperties::Average);
  // A file of noise opens as MPEG with no frame in it: no sound means no song.
  if (file.isNull() || !file.audioProperties() || file.audioProperties()->sampleRate() <= 0)
    throw std::runtime_error("not a sound file this program can read");
  if (const TagLib::Tag* tag = file.tag()) {
    putText(out, "artist", text(tag->artist()));
    putText(out, "album", text(tag->album()));
    putText(out, "title", text(tag->title()));
    putText(out, "genre", text(tag->genre()));
    if (tag->track() > 0) out["track"] = tag->track();
    if (tag->year() > 0) out["year"] = tag->year();
  }
  const TagLib::PropertyMap props = file.file()->properties();
  putText(out, "albumArtist", first(props, "ALBUMARTIST"));
  auto [track, trackTotal] = numberPair(first(props, "TRACKNUMBER"));
  if (!trackTotal) trackTotal = numberPair(first(props, "TRACKTOTAL")).first;
  if (track && !out.contains("track")) out["track"] = track;
  if (trackTotal) out["trackTotal"] = trackTotal;
  if (auto disc = numberPair(first(props, "DISCNUMBER")).first) out["disc"] = disc;
  if (const TagLib::AudioProperties* audio = file.audioProperties()) {
    if (audio->lengthInMilliseconds() > 0) out["duration"] = audio->lengthInMilliseconds() / 1000.0;
    if (audio->bitrate() > 0) out["bitrate"] = audio->bitrate();
    if (audio->sampleRate() > 0) out["sampleRate"] = audio->sampleRate();
  }
}

}  // namespace quarrytide
