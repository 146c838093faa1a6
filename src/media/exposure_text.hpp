#pragma once
// An exposure time as cameras show it: "1/250" up to a quarter second, above
// it seconds with one decimal at most ("0.3", "0.6", "1.3", "2", "30").

#include <string>

namespace quarrytide {

std::string exposureText(double seconds);

}  // namespace quarrytide
