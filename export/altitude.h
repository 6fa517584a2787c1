// Altitude detection in one ping's raw samples, and the statistics of the CSV export:
// amplitude percentage, amplitude gate, running median of 15 and series average.
#pragma once

#include <cstdint>

namespace zt {

// Finds the bottom echo: the first echo above the detection level that is longer than half
// the transmit pulse and stronger than every echo before it. Returns the altitude in metres
// (range + offset), or 0 when no bottom was found or the range is above 110 m. The peak
// amplitude in the pulse-long window after the echo is stored in *peak_amplitude.
// `sound_speed` must be positive and finite (callers refuse other values).
float FindAltitude(const uint16_t* samples, int32_t n, int32_t threshold_pct, float deadzone_m,
                   float offset_m, float sound_speed, int32_t tx_length_us,
                   float* peak_amplitude);

// Peak amplitude as an integer percentage of full scale 1024.
int32_t AmplitudePercent(float peak_amplitude);

// 0 when the amplitude percentage is below the gate, else the altitude.
float AmplitudeGate(float altitude, int32_t amp_pct, int32_t amplitude_over_pct);

// Running median of the last 15 values. One window per export run.
class MedianOf15 {
 public:
  void Reset() { primed_ = false; }
  float Add(float value);

 private:
  float slots_[15] = {};   // oldest first
  float sorted_[15] = {};  // the same values in ascending order
  bool primed_ = false;
};

// Average of a series: the sum divided by the pings per series of the file header.
inline float SeriesAverage(float sum, int32_t ping_count) {
  return sum / static_cast<float>(ping_count);
}

}  // namespace zt
