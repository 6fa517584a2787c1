#include "platform/time.h"

#include <charconv>
#include <climits>

namespace zt::platform {

// Days from civil and back (Howard Hinnant's algorithms), valid far beyond 2106.
static int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

CivilTime UtcCivil(int64_t t) {
  int64_t days = t >= 0 ? t / 86400 : -((-t + 86399) / 86400);
  int64_t secs = t - days * 86400;
  // Pings come in time order: the date of the previous call usually holds.
  thread_local int64_t cached_days = INT64_MIN;
  thread_local CivilTime cached;
  if (days == cached_days) {
    CivilTime c = cached;
    c.hour = static_cast<int>(secs / 3600);
    c.minute = static_cast<int>(secs / 60 % 60);
    c.second = static_cast<int>(secs % 60);
    return c;
  }
  int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  CivilTime c;
  c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  c.year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (c.month <= 2));
  c.hour = static_cast<int>(secs / 3600);
  c.minute = static_cast<int>(secs / 60 % 60);
  c.second = static_cast<int>(secs % 60);
  cached_days = days;
  cached = c;
  return c;
}

int64_t SecondsFromCivil(const CivilTime& c) {
  return DaysFromCivil(c.year, static_cast<unsigned>(c.month), static_cast<unsigned>(c.day)) *
             86400 +
         c.hour * 3600 + c.minute * 60 + c.second;
}

size_t CivilText(const CivilTime& c, std::string_view pattern, int fraction, char* out,
                 size_t room) {
  size_t len = 0;
  size_t i = 0;
  while (i < pattern.size()) {
    const char token = pattern[i];
    int value = 0;
    switch (token) {
      case 'Y': value = c.year; break;
      case 'M': value = c.month; break;
      case 'D': value = c.day; break;
      case 'h': value = c.hour; break;
      case 'm': value = c.minute; break;
      case 's': value = c.second; break;
      case 'f': value = fraction; break;
      default:
        if (len < room) out[len++] = token;
        ++i;
        continue;
    }
    size_t width = 0;
    while (i < pattern.size() && pattern[i] == token) ++width, ++i;
    // %0Nd: the sign, then zeros up to the width, then the digits.
    char digits[16];
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const char* p = digits;
    if (*p == '-' && len < room) out[len++] = *p;
    if (*p == '-') ++p, --width;
    const size_t n = static_cast<size_t>(end - p);
    for (size_t k = n; k < width && len < room; ++k) out[len++] = '0';
    for (; p < end && len < room; ++p) out[len++] = *p;
  }
  return len;
}

std::string CivilText(const CivilTime& c, std::string_view pattern, int fraction) {
  // Each field is at most 11 characters however short its run.
  std::string text(pattern.size() * 11, '\0');
  text.resize(CivilText(c, pattern, fraction, text.data(), text.size()));
  return text;
}

CivilTime LocalCivil(int64_t t) { return UtcCivil(t + LocalOffsetSeconds(t)); }

}  // namespace zt::platform
