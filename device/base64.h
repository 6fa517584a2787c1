// The Base64 of the logger's line protocol. Not a general-purpose codec: decoding counts
// any byte outside the alphabet (including "=") as 0, padding never shortens the output,
// and up to three trailing characters (the CR among them) are ignored.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zt {

// Output size of base64_encode for n bytes, without the NUL.
constexpr size_t Base64EncodedLength(size_t n) { return 4 * ((n + 2) / 3); }
// Output size of base64_decode for a text of `length` characters, without the NUL.
constexpr size_t Base64DecodedLength(size_t length) { return 3 * (length / 4); }

// Writes 4 x ceil(n/3) characters and a NUL to `out`
// (room for Base64EncodedLength(n) + 1 bytes).
void base64_encode(const uint8_t* in, size_t n, char* out);

// Writes 3 x floor(length/4) bytes and a NUL to `out`
// (room for Base64DecodedLength(length) + 1 bytes); returns floor(length/4).
size_t base64_decode(const char* text, size_t length, uint8_t* out);

}  // namespace zt
