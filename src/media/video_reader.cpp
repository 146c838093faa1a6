// Videos through libavformat: the container's header only, no decoding.
extern "C" {
#include <libavformat/avformat.h>
}

#include <memory>
#include <stdexcept>

#include "media/media_dates.hpp"
#include "media/readers.hpp"

namespace quarrytide {

namespace {

std::string tag(const AVDictionary* dict, const char* key) {
  const AVDictionaryEntry* e = av_dict_get(dict, key, nullptr, 0);
  return e && e->value ? e->value : "";
}

struct InputCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};

}  // namespace

void readVideo(const std::string& path, nlohmann::json& out) {
  AVFormatContext* raw = nullptr;
  if (int err = avformat_open_input(&raw, path.c_str(), nullptr, nullptr); err < 0) {
    char message[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, message, sizeof message);
    throw std::runtime_error(message);
  }
  std::unique_ptr<AVFormatContext, InputCloser> input(raw);
  const AVDictionary* meta = input->metadata;

  // The phone's own local time first; the container's time is UTC.
  if (auto d = isoDate(tag(meta, "com.apple.quicktime.creationdate"))) {
    out["dateTaken"] = d->wallClock;
    if (d->offset) out["offset"] = *d->offset;
  } else if (auto local = utcToLocal(tag(meta, "creation_time"))) {
    out["dateTaken"] = local->wallClock;
    out["offset"] = *local->offset;
  }
  if (input->duration > 0) out["duration"] = double(input->duration) / AV_TIME_BASE;
  for (unsigned k = 0; k < input->nb_streams; ++k) {
    const AVCodecParameters* codec = input->streams[k]->codecpar;
    if (codec->codec_type != AVMEDIA_TYPE_VIDEO || codec->width <= 0) continue;
    if (input->streams[k]->disposition & AV_DISPOSITION_ATTACHED_PIC) continue;
    out["width"] = codec->width;
    out["height"] = codec->height;
    putText(out, "codec", avcodec_get_name(codec->codec_id));
    break;
  }
  putText(out, "make", tag(meta, "com.apple.quicktime.make"));
  putText(out, "model", tag(meta, "com.apple.quicktime.model"));
}

}  // namespace quarrytide
