#include "media/av_input.hpp"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <stdexcept>

#include "media/lazy_library.hpp"
#include "media/readers.hpp"

namespace quarrytide {

namespace {

// The calls made here, from the library loaded with the first container.
// libavcodec's come with it (it is libavformat's own dependency).
struct AvFormat {
  decltype(&avformat_open_input) openInput;
  decltype(&avformat_close_input) closeInput;
  decltype(&avformat_find_stream_info) findStreamInfo;
  decltype(&av_read_frame) readFrame;
  decltype(&av_dict_get) dictGet;
  decltype(&av_strerror) strerror;
  decltype(&av_strdup) strdup;
  decltype(&av_log_set_level) logLevel;
  decltype(&avcodec_get_name) codecName;
  decltype(&av_parser_init) parserInit;
  decltype(&av_parser_parse2) parse;
  decltype(&av_parser_close) parserClose;
  decltype(&avcodec_alloc_context3) contextAlloc;
  decltype(&avcodec_free_context) contextFree;
  decltype(&avcodec_parameters_to_context) toContext;
  decltype(&av_packet_alloc) packetAlloc;
  decltype(&av_packet_free) packetFree;
  decltype(&av_packet_unref) packetUnref;
};

const AvFormat& avformat() {
  static const AvFormat* api = []() -> const AvFormat* {
    static const LazyLibrary lib(QUARRYTIDE_AVFORMAT_SONAME);
    static AvFormat a;
    bool ok =
        lib.bind(a.openInput, "avformat_open_input") &&
        lib.bind(a.closeInput, "avformat_close_input") &&
        lib.bind(a.findStreamInfo, "avformat_find_stream_info") &&
        lib.bind(a.readFrame, "av_read_frame") && lib.bind(a.dictGet, "av_dict_get") &&
        lib.bind(a.strerror, "av_strerror") && lib.bind(a.strdup, "av_strdup") &&
        lib.bind(a.logLevel, "av_log_set_level") && lib.bind(a.codecName, "avcodec_get_name") &&
        lib.bind(a.parserInit, "av_parser_init") && lib.bind(a.parse, "av_parser_parse2") &&
        lib.bind(a.parserClose, "av_parser_close") &&
        lib.bind(a.contextAlloc, "avcodec_alloc_context3") &&
        lib.bind(a.contextFree, "avcodec_free_context") &&
        lib.bind(a.toContext, "avcodec_parameters_to_context") &&
        lib.bind(a.packetAlloc, "av_packet_alloc") && lib.bind(a.packetFree, "av_packet_free") &&
        lib.bind(a.packetUnref, "av_packet_unref");
    if (!ok) return nullptr;
    a.logLevel(AV_LOG_QUIET);
    return &a;
  }();
  if (!api) throw std::runtime_error("videos cannot be read: " QUARRYTIDE_AVFORMAT_SONAME " is missing");
  return *api;
}

// How much of a file the look at its first packets may read.
constexpr std::int64_t kProbeBytes = 1 << 20;
constexpr std::int64_t kProbeDuration = AV_TIME_BASE;  // one second
constexpr int kParsedPackets = 256;

AVStream* sizelessPicture(AVFormatContext* input) {
  for (unsigned k = 0; k < input->nb_streams; ++k) {
    AVStream* s = input->streams[k];
    if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && s->codecpar->width <= 0 &&
        !(s->disposition & AV_DISPOSITION_ATTACHED_PIC))
      return s;
  }
  return nullptr;
}

// The picture size from the parameter sets in the stream's first packets,
// as its parser reads them (H.264 in MPEG-TS, MPEG-4 Part 2).
void parsePictureSize(AVFormatContext* input, AVStream* stream) {
  const AvFormat& av = avformat();
  auto closeParser = [&av](AVCodecParserContext* p) { av.parserClose(p); };
  std::unique_ptr<AVCodecParserContext, decltype(closeParser)> parser(
      av.parserInit(stream->codecpar->codec_id), closeParser);
  auto freeContext = [&av](AVCodecContext* c) { av.contextFree(&c); };
  std::unique_ptr<AVCodecContext, decltype(freeContext)> context(av.contextAlloc(nullptr),
                                                                 freeContext);
  auto freePacket = [&av](AVPacket* p) { av.packetFree(&p); };
  std::unique_ptr<AVPacket, decltype(freePacket)> packet(av.packetAlloc(), freePacket);
  if (!parser || !context || !packet || av.toContext(context.get(), stream->codecpar) < 0) return;
  parser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
  for (int n = 0; n < kParsedPackets && av.readFrame(input, packet.get()) >= 0; ++n) {
    if (packet->stream_index == stream->index) {
      std::uint8_t* frame = nullptr;
      int frameSize = 0;
      av.parse(parser.get(), context.get(), &frame, &frameSize, packet->data, packet->size,
               packet->pts, packet->dts, packet->pos);
    }
    av.packetUnref(packet.get());
    const bool byParser = parser->width > 0 && parser->height > 0;
    const int width = byParser ? parser->width : context->width;
    const int height = byParser ? parser->height : context->height;
    if (width > 0 && height > 0) {
      stream->codecpar->width = width;
      stream->codecpar->height = height;
      return;
    }
  }
}

}  // namespace

void AvInputCloser::operator()(AVFormatContext* input) const { avformat().closeInput(&input); }

AvInput openAvInput(const std::string& path) {
  const AvFormat& av = avformat();
  AVFormatContext* raw = nullptr;
  if (int err = av.openInput(&raw, path.c_str(), nullptr, nullptr); err < 0) {
    char message[AV_ERROR_MAX_STRING_SIZE] = {};
    av.strerror(err, message, sizeof message);
    throw std::runtime_error(message);
  }
  AvInput input(raw);
  // AVI, MPEG-TS and MPEG-4 Part 2 leave these to the packets. A small look
  // gives the duration; with no decoder allowed, nothing is decoded.
  if (input->duration <= 0 || sizelessPicture(input.get())) {
    input->probesize = kProbeBytes;
    input->max_analyze_duration = kProbeDuration;
    input->codec_whitelist = av.strdup("none");
    if (av.findStreamInfo(input.get(), nullptr) < 0) return input;
    if (AVStream* stream = sizelessPicture(input.get())) parsePictureSize(input.get(), stream);
  }
  return input;
}

void putAvTags(const AVDictionary* dict, nlohmann::json* all) {
  if (!all) return;
  for (const AVDictionaryEntry* e = nullptr;
       (e = avformat().dictGet(dict, "", e, AV_DICT_IGNORE_SUFFIX));)
    putTag(all, e->key, e->value ? e->value : "");
}

std::string avTag(const AVDictionary* dict, const char* key) {
  const AVDictionaryEntry* e = avformat().dictGet(dict, key, nullptr, 0);
  return e && e->value ? e->value : "";
}

const char* avCodecName(AVCodecID id) { return avformat().codecName(id); }

}  // namespace quarrytide
