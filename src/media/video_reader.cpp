// Videos through libavformat: the container only, no decoding.
#include "media/av_input.hpp"
#include "media/media_dates.hpp"
#include "media/readers.hpp"

namespace quarrytide {

void readVideo(const std::string& path, nlohmann::json& out, nlohmann::json* all) {
  AvInput input = openAvInput(path);
  const AVDictionary* meta = input->metadata;
  // the container's names first, then each stream's
  putAvTags(meta, all);
  for (unsigned k = 0; k < input->nb_streams; ++k) putAvTags(input->streams[k]->metadata, all);

  // The phone's own local time first; the container's time in UTC as this
  // system's; a time without a zone (AVI's IDIT) is the camera's wall clock.
  const std::string created = avTag(meta, "creation_time");
  if (auto d = isoDate(avTag(meta, "com.apple.quicktime.creationdate"))) {
    out["dateTaken"] = d->wallClock;
    if (d->offset) out["offset"] = *d->offset;
  } else if (auto local = utcToLocal(created)) {
    out["dateTaken"] = local->wallClock;
    out["offset"] = *local->offset;
  } else if (auto wall = isoDate(created); wall && !wall->offset) {
    out["dateTaken"] = wall->wallClock;
  }
  if (input->duration > 0) out["duration"] = double(input->duration) / AV_TIME_BASE;
  for (unsigned k = 0; k < input->nb_streams; ++k) {
    const AVCodecParameters* codec = input->streams[k]->codecpar;
    if (codec->codec_type != AVMEDIA_TYPE_VIDEO || codec->width <= 0) continue;
    if (input->streams[k]->disposition & AV_DISPOSITION_ATTACHED_PIC) continue;
    out["width"] = codec->width;
    out["height"] = codec->height;
    putText(out, "codec", avCodecName(codec->codec_id));
    break;
  }
  putText(out, "make", avTag(meta, "com.apple.quicktime.make"));
  putText(out, "model", avTag(meta, "com.apple.quicktime.model"));
}

}  // namespace quarrytide
