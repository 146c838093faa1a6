// The libraries' process-wide set-up, once, before the first reader.
#include <exiv2/exiv2.hpp>

#include "media/readers.hpp"

namespace quarrytide {

void initReaders() {
  Exiv2::XmpParser::initialize();
  Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
#ifdef EXV_ENABLE_BMFF
  Exiv2::enableBMFF(true);  // HEIF, AVIF and CR3
#endif
}

}  // namespace quarrytide
