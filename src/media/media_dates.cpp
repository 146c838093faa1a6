#include "media/media_dates.hpp"

#include <cstdio>
#include <ctime>

namespace quarrytide {

namespace {

// Reads `count` digits at `at`; -1 when any is not a digit or the text ends.
int digits(std::string_view s, std::size_t at, int count) {
  if (at + count > s.size()) return -1;
  int v = 0;
  for (int k = 0; k < count; ++k) {
    char c = s[at + k];
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

bool leapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool validDay(int y, int mo, int d) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1 || mo < 1 || mo > 12 || d < 1) return false;
  return d <= kDays[mo - 1] + (mo == 2 && leapYear(y) ? 1 : 0);
}

struct Parts {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  std::string fraction;  // up to three digits, padded
};

std::string format(const Parts& p) {
  char out[32];
  std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02d", p.y, p.mo, p.d, p.h, p.mi, p.s);
  return p.fraction.empty() ? std::string(out) : std::string(out) + "." + p.fraction;
}

std::string threeDigits(std::string_view digitsText) {
  std::string f(digitsText.substr(0, 3));
  while (f.size() < 3) f += '0';
  return f;
}

bool allDigits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}

// "YYYY?MM?DD" then, when `timeRequired`, "?hh:mm:ss"; separators as given.
std::optional<Parts> dateTime(std::string_view s, char dateSep, bool timeRequired,
                              std::size_t* end) {
  Parts p;
  p.y = digits(s, 0, 4);
  if (p.y < 0 || s.size() < 10 || s[4] != dateSep || s[7] != dateSep) return std::nullopt;
  p.mo = digits(s, 5, 2);
  p.d = digits(s, 8, 2);
  if (!validDay(p.y, p.mo, p.d)) return std::nullopt;
  *end = 10;
  if (s.size() < 16 || (s[10] != ' ' && s[10] != 'T')) {
    if (timeRequired) return std::nullopt;
    return p;
  }
  p.h = digits(s, 11, 2);
  p.mi = digits(s, 14, 2);
  if (s[13] != ':' || p.h < 0 || p.h > 23 || p.mi < 0 || p.mi > 59) return std::nullopt;
  *end = 16;
  if (s.size() >= 19 && s[16] == ':') {
    p.s = digits(s, 17, 2);
    if (p.s < 0 || p.s > 60) return std::nullopt;
    *end = 19;
  }
  return p;
}

// A moment as the wall clock of this system's time zone, with its offset then.
MediaDate localDate(std::time_t moment) {
  std::tm local{};
  localtime_r(&moment, &local);
  Parts p{local.tm_year + 1900,
          local.tm_mon + 1,
          local.tm_mday,
          local.tm_hour,
          local.tm_min,
          local.tm_sec,
          {}};
  int minutes = int(local.tm_gmtoff / 60);
  int size = minutes < 0 ? -minutes : minutes;
  char zone[16];
  std::snprintf(zone, sizeof zone, "%c%02d:%02d", minutes < 0 ? '-' : '+', size / 60 % 100,
                size % 60);
  return {format(p), std::string(zone)};
}

}  // namespace

std::optional<std::string> exifDate(std::string_view text, std::string_view subSeconds) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
  std::size_t end = 0;
  auto p = dateTime(text, ':', true, &end);
  if (!p) p = dateTime(text, '-', true, &end);
  if (!p || end != text.size()) return std::nullopt;
  while (!subSeconds.empty() && (subSeconds.back() == ' ' || subSeconds.back() == '\0'))
    subSeconds.remove_suffix(1);
  if (allDigits(subSeconds)) p->fraction = threeDigits(subSeconds);
  return format(*p);
}

std::optional<std::string> offsetText(std::string_view s) {
  int h = digits(s, 1, 2), m = -1;
  if (s.size() == 6 && s[3] == ':') m = digits(s, 4, 2);
  if (s.size() == 5) m = digits(s, 3, 2);
  if ((s.empty() || (s[0] != '+' && s[0] != '-')) || h < 0 || h > 14 || m < 0 || m > 59)
    return std::nullopt;
  char out[8];
  std::snprintf(out, sizeof out, "%c%02d:%02d", s[0], h, m);
  return std::string(out);
}

std::optional<MediaDate> isoDate(std::string_view s) {
  std::size_t end = 0;
  auto p = dateTime(s, '-', false, &end);
  if (!p) p = dateTime(s, ':', false, &end);
  if (!p) return std::nullopt;
  if (end < s.size() && s[end] == '.') {
    std::size_t k = end + 1;
    while (k < s.size() && s[k] >= '0' && s[k] <= '9') ++k;
    if (k == end + 1) return std::nullopt;
    p->fraction = threeDigits(s.substr(end + 1, k - end - 1));
    end = k;
  }
  MediaDate out{format(*p), std::nullopt};
  std::string_view zone = s.substr(end);
  if (zone == "Z") {
    out.offset = "+00:00";
  } else if (!zone.empty()) {
    out.offset = offsetText(zone);
    if (!out.offset) return std::nullopt;
  }
  return out;
}

std::optional<MediaDate> utcToLocal(std::string_view text) {
  auto parsed = isoDate(text);
  if (!parsed || parsed->offset != "+00:00") return std::nullopt;
  const std::string& w = parsed->wallClock;
  std::tm utc{};
  utc.tm_year = digits(w, 0, 4) - 1900;
  utc.tm_mon = digits(w, 5, 2) - 1;
  utc.tm_mday = digits(w, 8, 2);
  utc.tm_hour = digits(w, 11, 2);
  utc.tm_min = digits(w, 14, 2);
  utc.tm_sec = digits(w, 17, 2);
  // Cameras without a clock write the container's zero date.
  if (utc.tm_year + 1900 <= 1904) return std::nullopt;
  // Containers keep whole seconds: the fraction their text shows is always zero.
  return localDate(timegm(&utc));
}

}  // namespace quarrytide
