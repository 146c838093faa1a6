#include "media/exposure_text.hpp"

#include <cmath>
#include <cstdio>

namespace quarrytide {

std::string exposureText(double seconds) {
  char out[32];
  // Just over a quarter: 1/4 stored as 2500/10000 and the like.
  if (seconds > 0 && seconds < 0.2501) {
    std::snprintf(out, sizeof out, "1/%.0f", std::round(1 / seconds));
    return out;
  }
  std::snprintf(out, sizeof out, "%.1f", seconds);
  std::string text = out;
  if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) text.resize(text.size() - 2);
  return text;
}

}  // namespace quarrytide
