#include "export/altitude.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define ZT_ALTITUDE_SSE2 1
#endif

namespace zt {
namespace {

// The first index from i on (below n) whose sample opens an echo (is at least `opens`), or n.
// Between echoes this scan is nearly all of the detection's work, so whole cache lines of
// samples are tested at a time where the processor can.
int32_t FirstOpening(const uint16_t* samples, int32_t i, int32_t n, int32_t opens) {
  if (opens > 65535) return n;  // no 16-bit sample reaches the level
#ifdef ZT_ALTITUDE_SSE2
  if (opens > 0) {
    // A sample opens when it is above opens - 1: the saturating difference is not zero.
    const __m128i below = _mm_set1_epi16(static_cast<short>(opens - 1));
    const __m128i zero = _mm_setzero_si128();
    auto over = [&](int32_t at) {
      return _mm_subs_epu16(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + at)), below);
    };
    for (; n - i >= 32; i += 32) {
      const __m128i any = _mm_or_si128(_mm_or_si128(over(i), over(i + 8)),
                                       _mm_or_si128(over(i + 16), over(i + 24)));
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(any, zero)) != 0xFFFF) break;
    }
    for (; n - i >= 8; i += 8)
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(over(i), zero)) != 0xFFFF) break;
  }
#else
  while (n - i >= 16) {  // sixteen at a time: the compiler makes vector compares of it
    int any = 0;
    for (int k = 0; k < 16; ++k) any |= samples[i + k] >= opens;
    if (any) break;
    i += 16;
  }
#endif
  while (i < n && samples[i] < opens) ++i;
  return i;
}

// In an echo: the first index from i on (below n) whose sample closes it (is below
// `closes`), or n. The highest sample up to and including that one is kept in *peak, as the
// sample-by-sample scan keeps it. The bottom echo's long tail is most of an echo's samples.
int32_t EchoEnd(const uint16_t* samples, int32_t i, int32_t n, int32_t closes, int32_t* peak) {
  int32_t p = *peak;
#ifdef ZT_ALTITUDE_SSE2
  if (closes > 0 && closes <= 65535) {
    // A sample closes when closes minus it, saturated, is not zero. The unsigned maximum is
    // the signed one with the top bit turned over.
    const __m128i limit = _mm_set1_epi16(static_cast<short>(closes));
    const __m128i flip = _mm_set1_epi16(static_cast<short>(0x8000));
    const __m128i zero = _mm_setzero_si128();
    __m128i high = flip;  // 0, flipped
    for (; n - i >= 8; i += 8) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + i));
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_subs_epu16(limit, v), zero)) != 0xFFFF) break;
      high = _mm_max_epi16(high, _mm_xor_si128(v, flip));
    }
    high = _mm_max_epi16(high, _mm_srli_si128(high, 8));
    high = _mm_max_epi16(high, _mm_srli_si128(high, 4));
    high = _mm_max_epi16(high, _mm_srli_si128(high, 2));
    const int32_t h = (_mm_cvtsi128_si32(high) & 0xFFFF) ^ 0x8000;
    if (h > p) p = h;
  }
#endif
  for (; i < n; ++i) {
    const int32_t v = samples[i];
    if (v > p) p = v;
    if (v < closes) break;
  }
  *peak = p;
  return i;
}

}  // namespace

float FindAltitude(const uint16_t* samples, int32_t n, int32_t threshold_pct, float deadzone_m,
                   float offset_m, float sound_speed, int32_t tx_length_us,
                   float* peak_amplitude) {
  const float level = static_cast<float>(threshold_pct * 0.01 * 1023);
  const float res = static_cast<float>(sound_speed * 0.5 * 10 / 1000000);

  // First sample past the deadzone. A quotient beyond the samples (or not a number) means
  // nothing is scanned; converting it to an integer first would overflow.
  const float first = deadzone_m / res;
  int32_t i;
  if (!(first < static_cast<float>(n))) {
    i = n < 0 ? 0 : n;
  } else {
    i = first > 0.0f ? static_cast<int32_t>(first) : 0;
  }

  // Samples are whole numbers, so the float comparisons with the level are exact as integer
  // comparisons: v > level <=> v >= opens, and v < level <=> v < closes. Peaks are samples too.
  const int32_t opens = static_cast<int32_t>(std::clamp(std::floor(level) + 1.0f, 0.0f, 65536.0f));
  const int32_t closes = static_cast<int32_t>(std::clamp(std::ceil(level), 0.0f, 65536.0f));
  const float min_length = static_cast<float>(tx_length_us * 0.05);
  int32_t g = 0;
  int32_t peak = 0;
  int32_t previous_peak = 0;
  float range = 0.0f;
  for (; i < n; ++i) {
    if (g == 0) {
      // Between echoes only a sample above the level matters. The sample at index 0 cannot
      // open an echo (an echo start of 0 means "none").
      if (i == 0) i = 1;
      i = FirstOpening(samples, i, n, opens);
      if (i >= n) break;
      g = i;  // the sample that opens an echo does not update the peak
      continue;
    }
    i = EchoEnd(samples, i, n, closes, &peak);
    if (i >= n) break;
    if (peak > previous_peak && static_cast<float>(i - g) > min_length) {
      const float below = samples[g - 1];
      const float rise = static_cast<float>(samples[g] - samples[g - 1]);
      range = res * static_cast<float>(g - 1) + res * (level - below) / rise;
      break;
    }
    // Rejected; the peak is kept, so a later echo must rise above every earlier one.
    previous_peak = peak;
    g = 0;
  }

  // The pulse-long window after an accepted echo. Without one, i ends at n (or started
  // beyond it) and the window is empty.
  float amp = 0.0f;
  const int64_t end = std::min<int64_t>(static_cast<int64_t>(i) + tx_length_us / 10, n);
  for (int64_t j = i; j < end; ++j) amp = std::max(amp, static_cast<float>(samples[j]));
  *peak_amplitude = amp;

  if (range > 110.0f || !(range > 0.0f)) return 0.0f;
  return range + offset_m;
}

int32_t AmplitudePercent(float peak_amplitude) {
  return static_cast<int32_t>(peak_amplitude) * 100 / 1024;
}

float AmplitudeGate(float altitude, int32_t amp_pct, int32_t amplitude_over_pct) {
  return amp_pct < amplitude_over_pct ? 0.0f : altitude;
}

float MedianOf15::Add(float value) {
  if (!primed_) {
    std::fill(std::begin(slots_), std::end(slots_), value);
    std::fill(std::begin(sorted_), std::end(sorted_), value);
    primed_ = true;
  }
  // The window moves by one: the oldest value leaves the sorted copy and the new one is
  // inserted in order, which keeps the copy exactly as a full sort of the window would be.
  // The oldest is found by its bits, so that even a NaN (a corrupt offset in the file
  // header) is found; every loop is bounded by the window.
  const float oldest = slots_[0];
  std::copy(slots_ + 1, slots_ + 15, slots_);
  slots_[14] = value;
  int k = 0;
  while (k < 14 && std::memcmp(&sorted_[k], &oldest, sizeof oldest) != 0) ++k;
  for (; k < 14; ++k) sorted_[k] = sorted_[k + 1];
  int j = 14;
  while (j > 0 && value < sorted_[j - 1]) {
    sorted_[j] = sorted_[j - 1];
    --j;
  }
  sorted_[j] = value;
  return sorted_[7];
}

}  // namespace zt
