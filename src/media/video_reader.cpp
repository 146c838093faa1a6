// Videos through libavformat: the container's header only, no decoding.
extern "C" {
#include <libavformat/avformat.h>
}

#include <memory>
#include <stdexcept>

#include "media/lazy_library.hpp"
#include "media/media_dates.hpp"
#include "media/readers.hpp"

namespace quarrytide {

namespace {

// The calls this reader makes, from the library loaded with the first video.
struct AvFormat {
  decltype(&avformat_open_input) openInput;
  decltype(&avformat_close_input) closeInput;
  decltype(&av_dict_get) dictGet;
  decltype(&av_strerror) strerror;
  decltype(&avcodec_get_name) codecName;
  decltype(&av_log_set_level) logLevel;
};

const AvFormat& avformat() {
  static const AvFormat* api = []() -> const AvFormat* {
    static const LazyLibrary lib(QT_AVFORMAT_SONAME);
    static AvFormat a;
    bool ok = lib.bind(a.openInput, "avformat_open_input") &&
              lib.bind(a.closeInput, "avformat_close_input") &&
              lib.bind(a.dictGet, "av_dict_get") && lib.bind(a.strerror, "av_strerror") &&
              lib.bind(a.codecName, "avcodec_get_name") && lib.bind(a.logLevel, "av_log_set_level");
    if (!ok) return nullptr;
    a.logLevel(AV_LOG_QUIET);
    return &a;
  }();
  if (!api) throw std::runtime_error("videos cannot be read: " QT_AVFORMAT_SONAME " is missing");
  return *api;
}

std::string tag(const AVDictionary* dict, const char* key) {
  const AVDictionaryEntry* e = avformat().dictGet(dict, key, nullptr, 0);
  return e && e->value ? e->value : "";
}

struct InputCloser {
  void operator()(AVFormatContext* c) const { avformat().closeInput(&c); }
};

}  // namespace

void readVideo(const std::string& path, nlohmann::json& out) {
  const AvFormat& av = avformat();
  AVFormatContext* raw = nullptr;
  if (int err = av.openInput(&raw, path.c_str(), nullptr, nullptr); err < 0) {
    char message[AV_ERROR_MAX_STRING_SIZE] = {};
    av.strerror(err, message, sizeof message);
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
    putText(out, "codec", av.codecName(codec->codec_id));
    break;
  }
  putText(out, "make", tag(meta, "com.apple.quicktime.make"));
  putText(out, "model", tag(meta, "com.apple.quicktime.model"));
}

}  // namespace quarrytide
