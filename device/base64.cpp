#include "device/base64.h"

namespace zt {
namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

uint32_t Value(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<uint32_t>(c - 'A');
  if (c >= 'a' && c <= 'z') return static_cast<uint32_t>(c - 'a' + 26);
  if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0' + 52);
  if (c == '+') return 62;
  if (c == '/') return 63;
  return 0;  // "=", CR, control characters and bytes 0x80 and above
}

}  // namespace

void base64_encode(const uint8_t* in, size_t n, char* out) {
  size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    const uint32_t v = (uint32_t{in[i]} << 16) | (uint32_t{in[i + 1]} << 8) | in[i + 2];
    *out++ = kAlphabet[(v >> 18) & 63];
    *out++ = kAlphabet[(v >> 12) & 63];
    *out++ = kAlphabet[(v >> 6) & 63];
    *out++ = kAlphabet[v & 63];
  }
  if (n - i == 1) {
    const uint32_t v = uint32_t{in[i]} << 16;
    *out++ = kAlphabet[(v >> 18) & 63];
    *out++ = kAlphabet[(v >> 12) & 63];
    *out++ = '=';
    *out++ = '=';
  } else if (n - i == 2) {
    const uint32_t v = (uint32_t{in[i]} << 16) | (uint32_t{in[i + 1]} << 8);
    *out++ = kAlphabet[(v >> 18) & 63];
    *out++ = kAlphabet[(v >> 12) & 63];
    *out++ = kAlphabet[(v >> 6) & 63];
    *out++ = '=';
  }
  *out = '\0';
}

size_t base64_decode(const char* text, size_t length, uint8_t* out) {
  const size_t groups = length / 4;
  for (size_t g = 0; g < groups; ++g) {
    const char* c = text + 4 * g;
    const uint32_t v =
        (Value(c[0]) << 18) | (Value(c[1]) << 12) | (Value(c[2]) << 6) | Value(c[3]);
    out[0] = static_cast<uint8_t>(v >> 16);
    out[1] = static_cast<uint8_t>(v >> 8);
    out[2] = static_cast<uint8_t>(v);
    // Only the position of the padding zeroes bytes; it never shortens the output.
    if (c[3] == '=') {
      out[2] = 0;
      if (c[2] == '=') out[1] = 0;
    }
    out += 3;
  }
  *out = 0;
  return groups;
}

}  // namespace zt
