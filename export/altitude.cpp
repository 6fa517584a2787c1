#include "export/altitude.h"

#include <algorithm>
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

  int32_t g = 0;
  float peak = 0.0f;
  float previous_peak = 0.0f;
  float range = 0.0f;
  const float min_length = static_cast<float>(tx_length_us * 0.05);
  for (; i < n; ++i) {
    const float v = samples[i];
    if (v > level && g == 0) {
      g = i;
    } else if (g > 0 && v > peak) {
      peak = v;
    }
    if (v < level && g > 0) {
      if (peak > previous_peak && static_cast<float>(i - g) > min_length) {
        const float below = samples[g - 1];
        const float rise = static_cast<float>(samples[g] - samples[g - 1]);
        range = res * static_cast<float>(g - 1) + res * (level - below) / rise;
        break;
      }
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
    primed_ = true;
  }
  std::copy(slots_ + 1, slots_ + 15, slots_);
  slots_[14] = value;
  float sorted[15];
  std::copy(std::begin(slots_), std::end(slots_), sorted);
  std::nth_element(sorted, sorted + 7, sorted + 15);
  return sorted[7];
}

}  // namespace zt
