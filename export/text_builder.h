// Builds output text into a bounded buffer with printf's field rules (%d, %02d, %6.3f,
// %-8.3f, %+5.3f ...) but our own digit conversion (std::to_chars), so that the native and
// the Windows build write the same bytes. Appends that would pass the limit set overflow().
#pragma once

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace zt {

class TextBuilder {
 public:
  TextBuilder(char* buf, size_t capacity) : buf_(buf), cap_(capacity) {}

  size_t size() const { return len_; }
  bool overflow() const { return overflow_; }
  const char* data() const { return buf_; }
  void Clear() {
    len_ = 0;
    overflow_ = false;
  }

  TextBuilder& Str(std::string_view s) {
    if (Room(s.size())) {
      std::memcpy(buf_ + len_, s.data(), s.size());
      len_ += s.size();
    }
    return *this;
  }
  TextBuilder& Char(char c) {
    if (Room(1)) buf_[len_++] = c;
    return *this;
  }

  // %d with a minimum width; zero_pad gives %0Nd (the sign comes before the zeros).
  TextBuilder& Int(int64_t v, int width = 0, bool zero_pad = false) {
    char tmp[24];
    auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
    return Field(tmp, static_cast<size_t>(r.ptr - tmp), width, false, zero_pad);
  }

  // %W.Pf; `left` is the '-' flag, `plus` the '+' flag.
  TextBuilder& Fixed(double v, int precision, int width = 0, bool left = false,
                     bool plus = false) {
    char tmp[400];
    char* p = tmp;
    if (plus && !std::signbit(v)) *p++ = '+';
    auto r = std::to_chars(p, tmp + sizeof tmp, v, std::chars_format::fixed, precision);
    if (r.ec != std::errc()) return Str("?");
    return Field(tmp, static_cast<size_t>(r.ptr - tmp), width, left, false);
  }

  // "%u\r\n" for a 16-bit sample: the hottest line of the text export.
  TextBuilder& SampleLine(uint16_t v) {
    if (!Room(7)) return *this;
    char* p = buf_ + len_;
    auto r = std::to_chars(p, p + 5, v);
    r.ptr[0] = '\r';
    r.ptr[1] = '\n';
    len_ = static_cast<size_t>(r.ptr + 2 - buf_);
    return *this;
  }

 private:
  bool Room(size_t n) {
    if (overflow_ || cap_ - len_ < n) {
      overflow_ = true;
      return false;
    }
    return true;
  }
  TextBuilder& Field(const char* s, size_t n, int width, bool left, bool zero_pad) {
    size_t pad = width > 0 && static_cast<size_t>(width) > n ? static_cast<size_t>(width) - n : 0;
    if (!Room(n + pad)) return *this;
    char* p = buf_ + len_;
    if (left) {
      std::memcpy(p, s, n);
      std::memset(p + n, ' ', pad);
    } else if (zero_pad && pad > 0 && n > 0 && (s[0] == '-' || s[0] == '+')) {
      *p = s[0];
      std::memset(p + 1, '0', pad);
      std::memcpy(p + 1 + pad, s + 1, n - 1);
    } else {
      std::memset(p, zero_pad ? '0' : ' ', pad);
      std::memcpy(p + pad, s, n);
    }
    len_ += n + pad;
    return *this;
  }

  char* buf_;
  size_t cap_;
  size_t len_ = 0;
  bool overflow_ = false;
};

}  // namespace zt
