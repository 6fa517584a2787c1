// JSON string literals for 8-bit text (timer names are Windows-1252): quotes and backslashes
// escaped, control and non-ASCII bytes written as \u00XX code points.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/short_number.h"

namespace zt {

inline std::string JsonString(const char* data, size_t n) {
  std::string out = "\"";
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(data[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

inline std::string JsonString(const std::string& s) { return JsonString(s.data(), s.size()); }

// JSON has no NaN or infinity: a header float the logger never filled in is null, so that
// every reader still parses the object.
inline std::string JsonNumber(double v) { return std::isfinite(v) ? ShortNumber(v) : "null"; }
inline std::string JsonNumber(float v) { return std::isfinite(v) ? ShortNumber(v) : "null"; }

}  // namespace zt
