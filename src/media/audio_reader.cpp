// Songs through TagLib: the tag every format has, plus the properties map
// for what the common tag lacks (album artist, totals, disc). What TagLib
// cannot give comes from libavformat.
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>

#include <cstdlib>
#include <optional>
#include <stdexcept>

#include "media/av_input.hpp"
#include "media/file_bytes.hpp"
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

// An MP3's fields beyond the common tag, from its ID3v2 frames by their ids,
// as the property map names them: building the whole map took a third of
// reading a small song. Nullopt where the map could say more (user-defined
// text frames), or for another kind of file.
std::optional<TagLib::PropertyMap> id3v2Fields(TagLib::File* file) {
  auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file);
  TagLib::ID3v2::Tag* id3 = mpeg && mpeg->hasID3v2Tag() ? mpeg->ID3v2Tag() : nullptr;
  // an empty ID3v2 tag gives way to the file's other tags
  if (!id3 || id3->isEmpty()) return std::nullopt;
  const TagLib::ID3v2::FrameListMap& frames = id3->frameListMap();
  if (frames.contains("TXXX")) return std::nullopt;
  TagLib::PropertyMap map;
  for (const auto& [id, key] : {std::pair{"TPE2", "ALBUMARTIST"},
                                {"TRCK", "TRACKNUMBER"},
                                {"TPOS", "DISCNUMBER"},
                                {"TCOM", "COMPOSER"}}) {
    auto it = frames.find(id);
    if (it == frames.end() || it->second.isEmpty()) continue;
    auto* frame = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(it->second.front());
    if (frame && !frame->fieldList().isEmpty()) map.insert(key, frame->fieldList().front());
  }
  return map;
}

void readTags(const TagLib::FileRef& file, nlohmann::json& out) {
  if (const TagLib::Tag* tag = file.tag()) {
    putText(out, "artist", text(tag->artist()));
    putText(out, "album", text(tag->album()));
    putText(out, "title", text(tag->title()));
    putText(out, "genre", text(tag->genre()));
    if (tag->track() > 0) out["track"] = tag->track();
    if (tag->year() > 0) out["year"] = tag->year();
  }
  std::optional<TagLib::PropertyMap> quick = id3v2Fields(file.file());
  const TagLib::PropertyMap props = quick ? std::move(*quick) : file.file()->properties();
  putText(out, "albumArtist", first(props, "ALBUMARTIST"));
  auto [track, trackTotal] = numberPair(first(props, "TRACKNUMBER"));
  if (!trackTotal) trackTotal = numberPair(first(props, "TRACKTOTAL")).first;
  if (track && !out.contains("track")) out["track"] = track;
  if (trackTotal) out["trackTotal"] = trackTotal;
  auto [disc, discTotal] = numberPair(first(props, "DISCNUMBER"));
  if (!discTotal) discTotal = numberPair(first(props, "DISCTOTAL")).first;
  if (disc) out["disc"] = disc;
  if (discTotal) out["discTotal"] = discTotal;
  putText(out, "composer", first(props, "COMPOSER"));
}

// What TagLib could not give: the sound of short or unusual streams (a
// single frame, FLAC, Opus or AC-3 in MP4) and the tags of files it cannot
// open (RF64), as libavformat reads them. Keeps what is there.
void addFromContainer(const std::string& path, nlohmann::json& out, nlohmann::json* all) {
  AvInput input = openAvInput(path);
  putAvTags(input->metadata, all);
  for (unsigned k = 0; k < input->nb_streams; ++k) {
    const AVCodecParameters* codec = input->streams[k]->codecpar;
    if (codec->codec_type != AVMEDIA_TYPE_AUDIO || codec->sample_rate <= 0) continue;
    if (!out.contains("duration") && input->duration > 0)
      out["duration"] = double(input->duration) / AV_TIME_BASE;
    const std::int64_t bits = input->bit_rate > 0 ? input->bit_rate : codec->bit_rate;
    if (!out.contains("bitrate") && bits >= 1000) out["bitrate"] = int((bits + 500) / 1000);
    out["sampleRate"] = codec->sample_rate;
    break;
  }
  if (out.contains("artist") || out.contains("title") || out.contains("album")) return;
  const AVDictionary* meta = input->metadata;
  for (const char* key : {"artist", "album", "title", "genre"}) putText(out, key, avTag(meta, key));
  putText(out, "albumArtist", avTag(meta, "album_artist"));
  auto [track, trackTotal] = numberPair(avTag(meta, "track"));
  if (track) out["track"] = track;
  if (trackTotal) out["trackTotal"] = trackTotal;
  auto [disc, discTotal] = numberPair(avTag(meta, "disc"));
  if (disc) out["disc"] = disc;
  if (discTotal) out["discTotal"] = discTotal;
  putText(out, "composer", avTag(meta, "composer"));
  if (auto year = numberPair(avTag(meta, "date")).first) out["year"] = year;
}

}  // namespace

void readAudio(const std::string& path, nlohmann::json& out, nlohmann::json* all) {
  const std::size_t before = out.size();
  const FileBytes bytes(path);
  ByteStream stream(path, bytes);
  TagLib::FileRef file = bytes.data() ? TagLib::FileRef(&stream, /*readAudioProperties=*/true,
                                                        TagLib::AudioProperties::Average)
                                      : TagLib::FileRef(path.c_str(), /*readAudioProperties=*/true,
                                                        TagLib::AudioProperties::Average);
  if (!file.isNull()) readTags(file, out);
  if (all && !file.isNull())
    for (const auto& [key, values] : file.file()->properties())
      putTag(all, key.to8Bit(true), values.toString(", ").to8Bit(true));
  const TagLib::AudioProperties* audio = file.isNull() ? nullptr : file.audioProperties();
  if (audio && audio->sampleRate() > 0) {
    if (audio->lengthInMilliseconds() > 0) out["duration"] = audio->lengthInMilliseconds() / 1000.0;
    if (audio->bitrate() > 0) out["bitrate"] = audio->bitrate();
    out["sampleRate"] = audio->sampleRate();
  } else {
    try {
      addFromContainer(path, out, all);
    } catch (const std::exception&) {
      // Not a container either: what TagLib read is all there is.
    }
  }
  // A file of noise opens as MPEG with no frame and no tag in it.
  if (out.size() == before) throw std::runtime_error("not a sound file this program can read");
}

}  // namespace quarrytide
