// The echogram as a PNG file: 8-bit RGB, each row filtered against the one above and
// compressed for speed (one pass, greedy matches, the fixed codes of deflate, two halves at
// once), so that the picture of a 1 GiB recording takes less time than reading it once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zt::cli {

// A zlib stream (RFC 1950) of `n` bytes: greedy LZ77 matches of 4 to 258 bytes within
// 32 KiB, in one block of fixed Huffman codes, then the Adler-32 of the data.
std::vector<uint8_t> DeflateFast(const uint8_t* data, size_t n);
// The same, appended to `out`.
void DeflateFastInto(const uint8_t* data, size_t n, std::vector<uint8_t>* out);

// The CRC-32 of PNG chunks and zip files.
uint32_t Crc32(const uint8_t* data, size_t n);

// The PNG of a W x H image whose pixels, top-down row by row, are indices into a table of
// colours (red, green, blue), as the echogram's amplitudes are. False when memory runs short.
bool EncodePng(const uint16_t* pixels, const uint8_t (*colours)[3], int width, int height,
               std::vector<uint8_t>* png);

}  // namespace zt::cli
