// Numbers as text by our own digit conversion (std::to_chars), never the C library's printf,
// so that the native and the Windows build write the same characters in every locale.
//
// ShortNumber: the shortest text that reads back as the same number ("1500", "0.3",
// "280.6"), for messages, summaries and logs, where the value matters rather than a fixed
// layout. FixedNumber: printf's "%.Nf", a fixed number of decimals, correctly rounded
// ("1500.00", "-0.5", "0.125" to 2 decimals is "0.12"), for texts with a fixed layout.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
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

// Room for "%.Nf" of any double with up to kFixedMaxPrecision decimals: a sign, 309 whole
// digits, the point and the decimals.
inline constexpr int kFixedMaxPrecision = 80;
inline constexpr size_t kFixedRoom = 1 + 309 + 1 + kFixedMaxPrecision;

// "%.Nf" of v into out[0, kFixedRoom) ("+" in front of a value without a minus sign when
// `plus`, as printf's '+' flag); returns the end of the text, or nullptr for a precision
// outside 0 .. kFixedMaxPrecision.
inline char* FixedChars(char* out, double v, int precision, bool plus = false) {
  if (precision < 0 || precision > kFixedMaxPrecision) return nullptr;
  char* const end = out + kFixedRoom;
  if (plus && !std::signbit(v)) *out++ = '+';
  // Everyday values by integer arithmetic: the same correctly rounded result as
  // std::to_chars, several times faster. Values whose scaled fraction lies so close to a
  // half that the one rounding of the scaling could tip it take the exact path below.
  static const double kScale[] = {1.0, 10.0, 100.0, 1000.0, 10000.0};
  static const uint64_t kIntScale[] = {1, 10, 100, 1000, 10000};
  const double a = std::fabs(v);
  if (precision <= 4 && a < 1e6) {  // also rules out NaN and infinity
    const double x = a * kScale[precision];
    // x is below 1e10, so truncating to an integer is its floor, and exact.
    const double whole = static_cast<double>(static_cast<uint64_t>(x));
    const double frac = x - whole;
    if (!(std::fabs(frac - 0.5) < 1e-6)) {
      const uint64_t q = static_cast<uint64_t>(whole) + (frac > 0.5 ? 1 : 0);
      if (std::signbit(v)) *out++ = '-';
      out = std::to_chars(out, out + 24, q / kIntScale[precision]).ptr;
      if (precision > 0) {
        *out++ = '.';
        uint64_t f = q % kIntScale[precision];
        for (int k = precision - 1; k >= 0; --k) {
          out[k] = static_cast<char>('0' + f % 10);
          f /= 10;
        }
        out += precision;
      }
      return out;
    }
  }
  return std::to_chars(out, end, v, std::chars_format::fixed, precision).ptr;
}

inline std::string FixedNumber(double v, int precision) {
  char tmp[kFixedRoom];
  const char* end = FixedChars(tmp, v, precision);
  return end ? std::string(tmp, static_cast<size_t>(end - tmp)) : std::string();
}

}  // namespace zt
