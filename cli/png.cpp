#include "cli/png.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "platform/scoped_thread.h"

namespace zt::cli {

namespace {

// ---- the fixed codes of deflate (RFC 1951, 3.2.6), written least significant bit first --

uint32_t Reversed(uint32_t code, int bits) {
  uint32_t r = 0;
  for (int k = 0; k < bits; ++k) r |= ((code >> k) & 1u) << (bits - 1 - k);
  return r;
}

struct Code {
  uint32_t bits;  // code and extra bits, ready to write
  uint8_t count;  // how many
};

struct FixedCodes {
  Code literal[256];
  Code length[259];    // 3 ... 258: length symbol and its extra bits
  Code distance[32769];  // 1 ... 32768: distance symbol and its extra bits
  Code end_of_block;

  static Code Symbol(int s) {
    if (s < 144) return {Reversed(0x30 + s, 8), 8};
    if (s < 256) return {Reversed(0x190 + s - 144, 9), 9};
    if (s < 280) return {Reversed(s - 256, 7), 7};
    return {Reversed(0xC0 + s - 280, 8), 8};
  }

  FixedCodes() {
    static const int kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                        31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                         2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const int kDistanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                          33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                          1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    for (int v = 0; v < 256; ++v) literal[v] = Symbol(v);
    end_of_block = Symbol(256);
    for (int s = 0; s < 29; ++s) {
      const int top = s == 28 ? 258 : kLengthBase[s + 1] - 1;
      const int extra = kLengthExtra[s];
      for (int len = kLengthBase[s]; len <= top; ++len) {
        const Code c = Symbol(257 + s);
        length[len] = {c.bits | static_cast<uint32_t>(len - kLengthBase[s]) << c.count,
                       static_cast<uint8_t>(c.count + extra)};
      }
    }
    for (int s = 0; s < 30; ++s) {
      const int extra = s < 4 ? 0 : s / 2 - 1;
      const int top = s == 29 ? 32768 : kDistanceBase[s + 1] - 1;
      for (int d = kDistanceBase[s]; d <= top; ++d)
        distance[d] = {Reversed(static_cast<uint32_t>(s), 5) |
                           static_cast<uint32_t>(d - kDistanceBase[s]) << 5,
                       static_cast<uint8_t>(5 + extra)};
    }
  }
};

const FixedCodes& Codes() {
  static const FixedCodes* codes = new FixedCodes();
  return *codes;
}

// Bits written least significant first into a buffer made large enough beforehand (no
// check per write: this is the compressor's inner loop; nor is the buffer cleared first).
class BitWriter {
 public:
  explicit BitWriter(size_t most) : buffer_start_(new uint8_t[most + 8]), at_(buffer_start_.get()) {}
  // Up to 32 bits at a time.
  void Put(uint32_t bits, int count) {
    bits_ |= static_cast<uint64_t>(bits) << filled_;
    filled_ += count;
    if (filled_ >= 32) {
      for (int k = 0; k < 4; ++k) at_[k] = static_cast<uint8_t>(bits_ >> (8 * k));
      at_ += 4;
      bits_ >>= 32;
      filled_ -= 32;
    }
  }
  void Put(const Code& c) { Put(c.bits, c.count); }
  // To a byte boundary.
  void Flush() {
    while (filled_ > 0) {
      *at_++ = static_cast<uint8_t>(bits_);
      bits_ >>= 8;
      filled_ = std::max(filled_ - 8, 0);
    }
  }
  void Byte(uint8_t b) { *at_++ = b; }
  // Flushed, and appended to `out`.
  void AppendTo(std::vector<uint8_t>* out) {
    Flush();
    out->insert(out->end(), buffer_start_.get(), at_);
  }

 private:
  std::unique_ptr<uint8_t[]> buffer_start_;
  uint8_t* at_;
  uint64_t bits_ = 0;
  int filled_ = 0;
};

uint32_t Adler32(const uint8_t* data, size_t n) {
  uint32_t a = 1, b = 0;
  while (n > 0) {
    const size_t chunk = std::min<size_t>(n, 5552);  // the sums cannot overflow before
    for (size_t k = 0; k < chunk; ++k) {
      a += data[k];
      b += a;
    }
    a %= 65521;
    b %= 65521;
    data += chunk;
    n -= chunk;
  }
  return b << 16 | a;
}

inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

}  // namespace

namespace {

// How many bytes from `a` and `b` on are equal, up to `most`.
size_t MatchLength(const uint8_t* a, const uint8_t* b, size_t most) {
  size_t len = 0;
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  while (len + 8 <= most) {
    uint64_t x, y;
    std::memcpy(&x, a + len, 8);
    std::memcpy(&y, b + len, 8);
    if (x != y) return len + static_cast<size_t>(__builtin_ctzll(x ^ y)) / 8;
    len += 8;
  }
#endif
  while (len < most && a[len] == b[len]) ++len;
  return len;
}

// Deflate blocks of fixed codes for data[0, n): matches only within this part. `last`: the
// final block; otherwise the part ends with an empty stored block, on a byte boundary, so
// that the next part's blocks can follow it.
void CompressPart(const uint8_t* data, size_t n, bool last, std::vector<uint8_t>* out) {
  const FixedCodes& codes = Codes();
  // At most 9 bits a byte (a literal's longest code), a match never more than 8.
  BitWriter w(n + n / 8 + 64);
  w.Put(last ? 1 : 0, 1);
  w.Put(1, 2);  // fixed codes
  constexpr int kHashBits = 15;
  std::vector<uint32_t> head(size_t{1} << kHashBits, 0);  // position + 1 of the last 4 bytes
  size_t i = 0;
  while (i + 4 <= n) {
    const uint32_t v = Load32(data + i);
    const uint32_t h = (v * 2654435761u) >> (32 - kHashBits);
    const size_t candidate = head[h];
    head[h] = static_cast<uint32_t>(i + 1);
    if (candidate != 0 && i + 1 - candidate <= 32768 && Load32(data + candidate - 1) == v) {
      const size_t len = 4 + MatchLength(data + candidate + 3, data + i + 4,
                                         std::min<size_t>(258, n - i) - 4);
      w.Put(codes.length[len]);
      w.Put(codes.distance[i + 1 - candidate]);
      i += len;
    } else {
      w.Put(codes.literal[data[i]]);
      ++i;
    }
  }
  for (; i < n; ++i) w.Put(codes.literal[data[i]]);
  w.Put(codes.end_of_block);
  if (!last) {
    w.Put(0, 3);  // a stored block, not the final one, of 0 bytes
    w.Flush();
    for (uint8_t b : {0x00, 0x00, 0xFF, 0xFF}) w.Byte(b);
  }
  w.AppendTo(out);
}

// The Adler-32 of two pieces one after the other, from theirs and the second's length.
uint32_t CombineAdler32(uint32_t first, uint32_t second, size_t second_length) {
  constexpr uint32_t kBase = 65521;
  const uint32_t rem = static_cast<uint32_t>(second_length % kBase);
  uint32_t sum1 = first & 0xFFFF;
  uint32_t sum2 = static_cast<uint32_t>((uint64_t{rem} * sum1) % kBase);
  sum1 += (second & 0xFFFF) + kBase - 1;
  sum2 += (first >> 16) + (second >> 16) + kBase - rem;
  if (sum1 >= kBase) sum1 -= kBase;
  if (sum1 >= kBase) sum1 -= kBase;
  if (sum2 >= 2 * kBase) sum2 -= 2 * kBase;
  if (sum2 >= kBase) sum2 -= kBase;
  return sum1 | sum2 << 16;
}

}  // namespace

void DeflateFastInto(const uint8_t* data, size_t n, std::vector<uint8_t>* out) {
  out->insert(out->end(), {0x78, 0x01});  // deflate, 32 KiB window, the fastest level
  // A large picture is compressed in two halves at once, each with its checksum.
  constexpr size_t kSplitAbove = 256 << 10;
  if (n <= kSplitAbove) {
    CompressPart(data, n, true, out);
    const uint32_t adler = Adler32(data, n);
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(adler >> shift));
    return;
  }
  const size_t half = n / 2;
  std::vector<uint8_t> second;
  uint32_t second_adler = 0;
  bool second_failed = false;
  uint32_t first_adler = 0;
  auto compress_second = [&] {
    try {
      CompressPart(data + half, n - half, true, &second);
      second_adler = Adler32(data + half, n - half);
    } catch (const std::bad_alloc&) {
      second_failed = true;
    }
  };
  {
    platform::ScopedThread helper;
    if (!helper.Start(compress_second)) compress_second();  // no thread: one after the other
    CompressPart(data, half, false, out);
    first_adler = Adler32(data, half);
  }
  if (second_failed) throw std::bad_alloc();
  out->insert(out->end(), second.begin(), second.end());
  const uint32_t adler = CombineAdler32(first_adler, second_adler, n - half);
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(adler >> shift));
}

std::vector<uint8_t> DeflateFast(const uint8_t* data, size_t n) {
  std::vector<uint8_t> out;
  DeflateFastInto(data, n, &out);
  return out;
}

uint32_t Crc32(const uint8_t* data, size_t n) {
  // Eight table look-ups a step instead of one a byte.
  static const auto* tables = [] {
    auto* t = new uint32_t[8][256];
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
      for (int k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
  }();
  uint32_t crc = ~0u;
  for (; n >= 8; n -= 8, data += 8) {
    const uint32_t lo = crc ^ (uint32_t{data[0]} | uint32_t{data[1]} << 8 |
                               uint32_t{data[2]} << 16 | uint32_t{data[3]} << 24);
    crc = tables[7][lo & 0xFF] ^ tables[6][(lo >> 8) & 0xFF] ^ tables[5][(lo >> 16) & 0xFF] ^
          tables[4][lo >> 24] ^ tables[3][data[4]] ^ tables[2][data[5]] ^ tables[1][data[6]] ^
          tables[0][data[7]];
  }
  for (; n > 0; --n, ++data) crc = tables[0][(crc ^ *data) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

}  // namespace zt::cli

namespace zt::cli {

namespace {

void PutBigEndian(std::vector<uint8_t>* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(v >> shift));
}

// A chunk: length, type, data, and the CRC of type and data.
void PutChunk(std::vector<uint8_t>* out, const char* type, const uint8_t* data, size_t n) {
  PutBigEndian(out, static_cast<uint32_t>(n));
  const size_t start = out->size();
  out->insert(out->end(), type, type + 4);
  out->insert(out->end(), data, data + n);
  PutBigEndian(out, Crc32(out->data() + start, n + 4));
}

// Rows [y0, y1) of the image, each as its difference from the row above (filter "Up"; the
// first row as it is), into `rows`.
void FilterRows(const uint16_t* pixels, const uint8_t (*colours)[3], size_t w, size_t y0,
                size_t y1, uint8_t* rows) {
  const size_t row_bytes = 3 * w + 1;
  for (size_t y = y0; y < y1; ++y) {
    uint8_t* out = rows + y * row_bytes;
    const uint16_t* px = pixels + y * w;
    out[0] = y > 0 ? 2 : 0;
    if (y == 0) {
      for (size_t x = 0; x < w; ++x) std::memcpy(out + 1 + 3 * x, colours[px[x]], 3);
      continue;
    }
    const uint16_t* above = px - w;
    for (size_t x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c)
        out[1 + 3 * x + c] = static_cast<uint8_t>(colours[px[x]][c] - colours[above[x]][c]);
  }
}

}  // namespace

bool EncodePng(const uint16_t* pixels, const uint8_t (*colours)[3], int width, int height,
               std::vector<uint8_t>* png) {
  try {
    // Each row from the one above: an echogram changes little from one depth to the next,
    // and one filter for every row costs one pass, not five. Two threads take half each.
    const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
    std::vector<uint8_t> rows((3 * w + 1) * h);
    {
      platform::ScopedThread helper;
      auto lower = [&] { FilterRows(pixels, colours, w, h / 2, h, rows.data()); };
      if (!helper.Start(lower)) lower();
      FilterRows(pixels, colours, w, 0, h / 2, rows.data());
    }
    png->clear();
    png->reserve(rows.size() / 2);
    const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    png->insert(png->end(), signature, signature + 8);
    std::vector<uint8_t> header;
    PutBigEndian(&header, static_cast<uint32_t>(width));
    PutBigEndian(&header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, filters, no interlace
    PutChunk(png, "IHDR", header.data(), header.size());
    // The image data compressed straight into its chunk; its length filled in afterwards.
    const size_t idat = png->size();
    PutBigEndian(png, 0);
    png->insert(png->end(), {'I', 'D', 'A', 'T'});
    DeflateFastInto(rows.data(), rows.size(), png);
    rows = {};
    const uint32_t length = static_cast<uint32_t>(png->size() - idat - 8);
    for (int k = 0; k < 4; ++k) (*png)[idat + k] = static_cast<uint8_t>(length >> (24 - 8 * k));
    PutBigEndian(png, Crc32(png->data() + idat + 4, length + 4));
    PutChunk(png, "IEND", nullptr, 0);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace zt::cli
