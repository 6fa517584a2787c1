// Little-endian loads and stores that are correct on any host, and a bounds-checked
// reader with a sticky "ok" flag that callers test once at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zt {

inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t LoadI32(const uint8_t* p) { return static_cast<int32_t>(LoadU32(p)); }
inline uint64_t LoadU64(const uint8_t* p) {
  return static_cast<uint64_t>(LoadU32(p)) | (static_cast<uint64_t>(LoadU32(p + 4)) << 32);
}
inline float LoadF32(const uint8_t* p) {
  uint32_t u = LoadU32(p);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}

inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline void StoreI32(uint8_t* p, int32_t v) { StoreU32(p, static_cast<uint32_t>(v)); }
inline void StoreU64(uint8_t* p, uint64_t v) {
  StoreU32(p, static_cast<uint32_t>(v));
  StoreU32(p + 4, static_cast<uint32_t>(v >> 32));
}
inline void StoreF32(uint8_t* p, float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  StoreU32(p, u);
}

// Reads fields from a byte range; any read past the end clears ok() and yields zero.
class LeReader {
 public:
  LeReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool ok() const { return ok_; }
  size_t pos() const { return pos_; }
  void Skip(size_t n) { Need(n) ? void(pos_ += n) : void(); }
  uint16_t U16() { return Need(2) ? Take(2, LoadU16(data_ + pos_)) : 0; }
  uint32_t U32() { return Need(4) ? Take(4, LoadU32(data_ + pos_)) : 0; }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  uint64_t U64() { return Need(8) ? Take(8, LoadU64(data_ + pos_)) : 0; }
  float F32() { return Need(4) ? Take(4, LoadF32(data_ + pos_)) : 0.0f; }
  void Bytes(void* out, size_t n) {
    if (Need(n)) {
      std::memcpy(out, data_ + pos_, n);
      pos_ += n;
    } else {
      std::memset(out, 0, n);
    }
  }

 private:
  bool Need(size_t n) {
    if (!ok_ || size_ - pos_ < n) {
      ok_ = false;
      return false;
    }
    return true;
  }
  template <typename T>
  T Take(size_t n, T v) {
    pos_ += n;
    return v;
  }
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace zt
