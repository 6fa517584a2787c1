#include "platform/utf8.h"

#include <cstdint>
#include <type_traits>

namespace zt::platform {
namespace {

constexpr uint32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

uint32_t Unit(wchar_t w) { return static_cast<std::make_unsigned_t<wchar_t>>(w); }

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendWide(std::wstring& out, uint32_t c) {
  if (sizeof(wchar_t) == 2 && c >= 0x10000) {
    c -= 0x10000;
    out += static_cast<wchar_t>(0xD800 + (c >> 10));
    out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
  } else {
    out += static_cast<wchar_t>(c);
  }
}

// The continuation bytes a lead byte takes (0: not a lead byte), and the range its first
// continuation byte must lie in, which rules out overlong forms, surrogates and values
// beyond U+10FFFF.
struct Lead {
  int more;
  uint8_t low, high;
};
Lead LeadOf(uint8_t b) {
  if (b >= 0xC2 && b <= 0xDF) return {1, 0x80, 0xBF};
  if (b == 0xE0) return {2, 0xA0, 0xBF};
  if (b == 0xED) return {2, 0x80, 0x9F};
  if (b >= 0xE1 && b <= 0xEF) return {2, 0x80, 0xBF};
  if (b == 0xF0) return {3, 0x90, 0xBF};
  if (b >= 0xF1 && b <= 0xF3) return {3, 0x80, 0xBF};
  if (b == 0xF4) return {3, 0x80, 0x8F};
  return {0, 0, 0};
}

}  // namespace

std::string Utf8FromWide(std::wstring_view wide) {
  std::string out;
  out.reserve(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    uint32_t c = Unit(wide[i]);
    if (IsHighSurrogate(c) && i + 1 < wide.size() && IsLowSurrogate(Unit(wide[i + 1]))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (Unit(wide[i + 1]) - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > 0x10FFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::wstring WideFromUtf8(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const uint8_t b = static_cast<uint8_t>(utf8[i]);
    if (b < 0x80) {
      out += static_cast<wchar_t>(b);
      ++i;
      continue;
    }
    const Lead lead = LeadOf(b);
    uint32_t c = lead.more == 1 ? b & 0x1F : lead.more == 2 ? b & 0x0F : b & 0x07;
    size_t taken = 1;
    bool whole = lead.more > 0;
    for (int k = 0; k < lead.more; ++k) {
      const size_t at = i + taken;
      const uint8_t low = k == 0 ? lead.low : 0x80;
      const uint8_t high = k == 0 ? lead.high : 0xBF;
      if (at >= utf8.size() || static_cast<uint8_t>(utf8[at]) < low ||
          static_cast<uint8_t>(utf8[at]) > high) {
        whole = false;
        break;
      }
      c = (c << 6) | (static_cast<uint8_t>(utf8[at]) & 0x3F);
      ++taken;
    }
    AppendWide(out, whole ? c : kReplacement);
    i += taken;
  }
  return out;
}

}  // namespace zt::platform
