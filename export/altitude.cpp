#include "export/altitude.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace zt {

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
      while (n - i >= 16) {  // sixteen at a time: the compiler makes vector compares of it
        int any = 0;
        for (int k = 0; k < 16; ++k) any |= samples[i + k] >= opens;
        if (any) break;
        i += 16;
      }
      while (i < n && samples[i] < opens) ++i;
      if (i >= n) break;
      g = i;  // the sample that opens an echo does not update the peak
      continue;
    }
    const int32_t v = samples[i];
    if (v > peak) peak = v;
    if (v < closes) {
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
