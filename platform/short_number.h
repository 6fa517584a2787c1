// The shortest text that reads back as the same number ("1500", "0.3", "280.6"): for
// messages, summaries and logs, where the value matters rather than a fixed layout.
#pragma once

#include <charconv>
#include <string>

namespace zt {

inline std::string ShortNumber(double v) {
  char tmp[64];
  auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
  return std::string(tmp, r.ptr);
}

inline std::string ShortNumber(float v) {
  char tmp[64];
  auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
  return std::string(tmp, r.ptr);
}

}  // namespace zt
