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

namespace detail {

// a * b - p exactly, for p the rounded product a * b (Dekker's product by halves; no
// overflow or underflow for the values FastFixed takes).
inline double ProductError(double a, double b, double p) {
  const double split = 134217729.0;  // 2^27 + 1
  double t = split * a;
  const double ah = t - (t - a);
  const double al = a - ah;
  t = split * b;
  const double bh = t - (t - b);
  const double bl = b - bh;
  return ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}

// Fixed notation by integer arithmetic for everyday values (up to 4 decimals, below 1e6),
// else nullptr. The result is the correctly rounded one, as std::to_chars gives: where the
// scaled fraction lies so close to a half that the one rounding of the scaling could tip it,
// the scaling's exact error decides, and an exact half goes to the even digit. Recorded
// values are floats, whose few fraction bits make exact halves common.
inline char* FastFixed(double v, int precision, char* out) {
  static const double kScale[] = {1.0, 10.0, 100.0, 1000.0, 10000.0};
  static const uint64_t kIntScale[] = {1, 10, 100, 1000, 10000};
  if (precision < 0 || precision > 4) return nullptr;
  const double a = std::fabs(v);
  if (!(a < 1e6)) return nullptr;  // also NaN and infinity
  const double x = a * kScale[precision];
  // x is below 1e10, so truncating to an integer is its floor, and exact.
  const double whole = static_cast<double>(static_cast<uint64_t>(x));
  const double frac = x - whole;
  uint64_t q = static_cast<uint64_t>(whole);
  if (std::fabs(frac - 0.5) < 1e-6) {
    // The exact scaled value is x + error, so its fraction is (frac - 0.5) + error above
    // a half; the first difference is exact, and a sum's sign is always right.
    const double above = (frac - 0.5) + ProductError(a, kScale[precision], x);
    q += above > 0.0 ? 1 : above < 0.0 ? 0 : (q & 1);
  } else {
    q += frac > 0.5 ? 1 : 0;
  }
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

}  // namespace detail

// "%.Nf" of v into out[0, kFixedRoom) ("+" in front of a value without a minus sign when
// `plus`, as printf's '+' flag); returns the end of the text, or nullptr for a precision
// outside 0 .. kFixedMaxPrecision.
inline char* FixedChars(char* out, double v, int precision, bool plus = false) {
  if (precision < 0 || precision > kFixedMaxPrecision) return nullptr;
  char* const end = out + kFixedRoom;
  if (plus && !std::signbit(v)) *out++ = '+';
  if (char* fast = detail::FastFixed(v, precision, out)) return fast;
  return std::to_chars(out, end, v, std::chars_format::fixed, precision).ptr;
}

inline std::string FixedNumber(double v, int precision) {
  char tmp[kFixedRoom];
  const char* end = FixedChars(tmp, v, precision);
  return end ? std::string(tmp, static_cast<size_t>(end - tmp)) : std::string();
}

}  // namespace zt
