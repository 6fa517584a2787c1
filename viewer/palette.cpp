// The amplitude colours: Rainbow (violet to red) and Yellow (black to yellow through a
// gamma), 65536 entries, computed in single precision step by step as the viewer always
// has, so that the colours stay the same to the byte.
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "platform/trace.h"
#include "viewer/echogram.h"

namespace zt::viewer {

void HsvToRgb(float h, float s, float v, float* r, float* g, float* b) {
  float red = v, green = v, blue = v;
  if (s != 0.0f) {
    const float hh = h / 60.0f;
    const float floor_hh = std::floor(hh);
    // A hue that is no number, or far outside the circle, takes the last sector's colours.
    const int sector = floor_hh >= 0.0f && floor_hh < 6.0f ? static_cast<int>(floor_hh) : 5;
    const float f = hh - floor_hh;
    const float p = v * (1.0f - s);
    const float q = v * (1.0f - f * s);
    const float t = v * (1.0f - (1.0f - f) * s);
    switch (sector) {
      case 0: red = v, green = t, blue = p; break;
      case 1: red = q, green = v, blue = p; break;
      case 2: red = p, green = v, blue = t; break;
      case 3: red = p, green = q, blue = v; break;
      case 4: red = t, green = p, blue = v; break;
      default: red = v, green = p, blue = q; break;
    }
  }
  if (r != nullptr) *r = red;
  if (g != nullptr) *g = green;
  if (b != nullptr) *b = blue;
}

namespace {

// Entry i (33 ... 65535) of a palette, as 0 ... 255 values in single precision.
void PaletteEntry(float hue, float saturation, float gamma, int32_t kind, int i, float* rgb) {
  float r, g, b;
  if (kind == kRainbow) {
    const float h = 274.0f - static_cast<float>(274 * i) / 65535.0f;
    HsvToRgb(h, 1.0f, 0.999f, &r, &g, &b);
  } else {
    const float x = static_cast<float>(i) / 65535.0f;
    // The power in double precision, rounded once to single: the nearest single value, the
    // same from every C library (their single-precision powers differ in the last place
    // now and then).
    const float value =
        static_cast<float>(std::pow(static_cast<double>(x), static_cast<double>(gamma)));
    HsvToRgb(hue, saturation, value, &r, &g, &b);
  }
  rgb[0] = r * 255.0f;
  rgb[1] = g * 255.0f;
  rgb[2] = b * 255.0f;
}

uint8_t ColourByte(float component) {
  const double v = static_cast<double>(component) + 0.5;
  // Only a NaN or a component outside 0 ... 255 (an all-zero value, say) comes here.
  if (!(v >= 0.0)) return 0;
  if (v >= 255.0) return 255;
  return static_cast<uint8_t>(v);
}

}  // namespace

std::vector<float> BuildPalette(float hue, float saturation, float gamma, int32_t kind) {
  std::vector<float> table(static_cast<size_t>(kPaletteSize) * 3, 0.0f);
  if (kind != kRainbow && kind != kYellow) return table;  // all black
  // Entries 0 ... 32 stay black whatever the palette.
  for (int i = 33; i < kPaletteSize; ++i)
    PaletteEntry(hue, saturation, gamma, kind, i, &table[static_cast<size_t>(i) * 3]);
  return table;
}

void ImageColours(int32_t kind, float gamma, uint8_t (*colours)[3]) {
  for (int a = 0; a < 1024; ++a) {
    float rgb[3] = {0.0f, 0.0f, 0.0f};
    if ((kind == kRainbow || kind == kYellow) && 64 * a >= 33)
      PaletteEntry(kPaletteHue, kPaletteSaturation, kind == kYellow ? gamma : 0.0f, kind,
                   64 * a, rgb);
    for (int c = 0; c < 3; ++c) colours[a][c] = ColourByte(rgb[c]);
  }
}

namespace {

struct CachedPalette {
  int32_t kind;
  uint32_t gamma_bits;
  std::shared_ptr<const PaletteBytes> bytes;
};

}  // namespace

std::shared_ptr<const PaletteBytes> PaletteFor(int32_t kind, float gamma) {
  // Rainbow ignores the gamma and any other kind is black: one entry serves each.
  if (kind != kRainbow && kind != kYellow) kind = -1;
  if (kind != kYellow) gamma = 0.0f;
  uint32_t bits;
  std::memcpy(&bits, &gamma, sizeof bits);

  // The window asks for one of a handful; the command line may ask for any gamma, so the
  // list keeps the most recent few.
  static std::mutex mu;
  static std::vector<CachedPalette> cache;
  // Made on the first call, while memory is still to be had.
  static const std::shared_ptr<const PaletteBytes> black = std::make_shared<PaletteBytes>();
  constexpr size_t kKept = 8;
  std::lock_guard<std::mutex> lock(mu);
  for (size_t k = 0; k < cache.size(); ++k) {
    if (cache[k].kind == kind && cache[k].gamma_bits == bits) {
      CachedPalette hit = cache[k];
      cache.erase(cache.begin() + static_cast<std::ptrdiff_t>(k));
      cache.push_back(hit);
      return hit.bytes;
    }
  }
  try {
    auto bytes = std::make_shared<PaletteBytes>();
    const std::vector<float> table = BuildPalette(kPaletteHue, kPaletteSaturation, gamma, kind);
    for (int i = 0; i < kPaletteSize; ++i)
      for (int c = 0; c < 3; ++c)
        bytes->rgb[i][c] = ColourByte(table[static_cast<size_t>(i) * 3 + c]);
    if (cache.size() == kKept) cache.erase(cache.begin());
    cache.push_back({kind, bits, bytes});
    return bytes;
  } catch (const std::bad_alloc&) {
    platform::DebugTrace("PaletteFor: no memory for a palette\n");
    return black;
  }
}

}  // namespace zt::viewer
