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

#include "platform/short_number.h"

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
    if (zero_pad && width == 2 && v >= 0 && v < 100) {  // %02d: dates and times
      if (Room(2)) {
        buf_[len_++] = static_cast<char>('0' + v / 10);
        buf_[len_++] = static_cast<char>('0' + v % 10);
      }
      return *this;
    }
    char tmp[24];
    auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
    return Field(tmp, static_cast<size_t>(r.ptr - tmp), width, false, zero_pad);
  }

  // %W.Pf; `left` is the '-' flag, `plus` the '+' flag.
  TextBuilder& Fixed(double v, int precision, int width = 0, bool left = false,
                     bool plus = false) {
    char tmp[kFixedRoom];
    const char* end = FixedChars(tmp, v, precision, plus);
    if (!end) return Str("?");
    return Field(tmp, static_cast<size_t>(end - tmp), width, left, false);
  }

  // "%u\r\n" for each of n samples: the hottest loop of the text export. Room for the longest
  // lines is checked once, then each 10-bit sample is a table look-up and one 8-byte copy.
  TextBuilder& SampleLines(const uint16_t* samples, int32_t n) {
    if (n <= 0) return *this;
    if (!Room(static_cast<size_t>(n) * 8)) {
      for (int32_t j = 0; j < n && !overflow_; ++j) SampleLine(samples[j]);
      return *this;
    }
    const SampleText* table = SampleTable();
    char* p = buf_ + len_;
    for (int32_t j = 0; j < n; ++j) {
      const uint16_t v = samples[j];
      if (v < kSampleTableSize) {
        std::memcpy(p, table[v].text, 8);
        p += table[v].len;
      } else {
        p = std::to_chars(p, p + 5, v).ptr;
        p[0] = '\r';
        p[1] = '\n';
        p += 2;
      }
    }
    len_ = static_cast<size_t>(p - buf_);
    return *this;
  }

  // "%u\r\n" for one 16-bit sample.
  TextBuilder& SampleLine(uint16_t v) {
    if (!Room(8)) return *this;
    char* p = buf_ + len_;
    if (v < kSampleTableSize) {  // 10-bit samples: a table look-up and one 8-byte copy
      const SampleText& t = SampleTable()[v];
      std::memcpy(p, t.text, 8);
      len_ += t.len;
      return *this;
    }
    auto r = std::to_chars(p, p + 5, v);
    r.ptr[0] = '\r';
    r.ptr[1] = '\n';
    len_ = static_cast<size_t>(r.ptr + 2 - buf_);
    return *this;
  }

 private:
  static constexpr uint16_t kSampleTableSize = 1024;
  struct SampleText {
    char text[8];
    uint8_t len;
  };
  static const SampleText* SampleTable() {
    static const auto* table = [] {
      auto* t = new SampleText[kSampleTableSize];
      for (unsigned v = 0; v < kSampleTableSize; ++v) {
        std::memset(t[v].text, 0, 8);
        auto r = std::to_chars(t[v].text, t[v].text + 5, v);
        r.ptr[0] = '\r';
        r.ptr[1] = '\n';
        t[v].len = static_cast<uint8_t>(r.ptr + 2 - t[v].text);
      }
      return t;
    }();
    return table;
  }

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
      Copy(p, s, n);
      Fill(p + n, ' ', pad);
    } else if (zero_pad && pad > 0 && n > 0 && (s[0] == '-' || s[0] == '+')) {
      *p = s[0];
      Fill(p + 1, '0', pad);
      Copy(p + 1 + pad, s + 1, n - 1);
    } else {
      Fill(p, zero_pad ? '0' : ' ', pad);
      Copy(p + pad, s, n);
    }
    len_ += n + pad;
    return *this;
  }

  // Fields and pads are a few bytes: two overlapping moves of a fixed size each, rather than
  // a library call per field.
  static void Copy(char* p, const char* s, size_t n) {
    if (n >= 8) {
      if (n > 16) {
        std::memcpy(p, s, n);
        return;
      }
      std::memcpy(p, s, 8);
      std::memcpy(p + n - 8, s + n - 8, 8);
    } else if (n >= 4) {
      std::memcpy(p, s, 4);
      std::memcpy(p + n - 4, s + n - 4, 4);
    } else if (n > 0) {
      p[0] = s[0];
      p[n / 2] = s[n / 2];
      p[n - 1] = s[n - 1];
    }
  }
  static void Fill(char* p, char c, size_t n) {
    if (n >= 8) {
      if (n > 16) {
        std::memset(p, c, n);
        return;
      }
      std::memset(p, c, 8);
      std::memset(p + n - 8, c, 8);
    } else if (n >= 4) {
      std::memset(p, c, 4);
      std::memset(p + n - 4, c, 4);
    } else if (n > 0) {
      p[0] = c;
      p[n / 2] = c;
      p[n - 1] = c;
    }
  }

  char* buf_;
  size_t cap_;
  size_t len_ = 0;
  bool overflow_ = false;
};

}  // namespace zt
