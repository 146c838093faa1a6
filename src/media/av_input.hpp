#pragma once
// Containers through libavformat, loaded with the first video or unusual
// sound file (see lazy_library.hpp): the header, and the first packets when
// the header leaves the duration or the picture size unknown. No frame is
// ever decoded. Parses untrusted data: quarrytide-probe only.
extern "C" {
#include <libavformat/avformat.h>
}

#include <memory>
#include <string>

#include <nlohmann/json.hpp>

namespace quarrytide {

struct AvInputCloser {
  void operator()(AVFormatContext* input) const;
};
using AvInput = std::unique_ptr<AVFormatContext, AvInputCloser>;

// Opens `path` and completes what its header lacks; throws
// std::runtime_error with libavformat's reason when it is no container.
AvInput openAvInput(const std::string& path);

// A metadata value, "" when missing.
std::string avTag(const AVDictionary* dict, const char* key);
// Every metadata value into `all` (see putTag), by its own name.
void putAvTags(const AVDictionary* dict, nlohmann::json* all);
const char* avCodecName(AVCodecID id);

}  // namespace quarrytide
