// Bottom detection and the running median checked against small reference models written
// step by step from their definitions, on many generated pings and value sequences.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "export/altitude.h"

namespace zt {
namespace {

// The detection, one step at a time, in single precision.
float ModelFindAltitude(const std::vector<uint16_t>& s, int32_t n, int32_t threshold_pct,
                        float deadzone_m, float offset_m, float sound_speed, int32_t tx_length_us,
                        float* peak_amplitude) {
  const float level = static_cast<float>(threshold_pct * 0.01 * 1023);
  const float res = static_cast<float>(sound_speed * 0.5 * 10 / 1000000);
  const float start = deadzone_m / res;
  int32_t i = start >= static_cast<float>(n) ? n : static_cast<int32_t>(start);
  int32_t g = 0;
  float peak = 0, previous_peak = 0, range = 0;
  for (; i < n; ++i) {
    const float v = s[i];
    if (v > level && g == 0) {
      g = i;
    } else if (g > 0 && v > peak) {
      peak = v;
    }
    if (v < level && g > 0) {
      if (peak > previous_peak && static_cast<float>(i - g) > tx_length_us * 0.05f) {
        range = res * static_cast<float>(g - 1) +
                res * (level - static_cast<float>(s[g - 1])) /
                    (static_cast<float>(s[g]) - static_cast<float>(s[g - 1]));
        break;
      }
      previous_peak = peak;
      g = 0;
    }
  }
  float amp = 0;
  for (int32_t j = i; j < i + tx_length_us / 10 && j < n; ++j) amp = std::max(amp, float(s[j]));
  *peak_amplitude = amp;
  if (range > 110 || range <= 0) return 0;
  return range + offset_m;
}

class Random {
 public:
  explicit Random(uint32_t seed) : x_(seed) {}
  uint32_t Next() {
    x_ ^= x_ << 13;
    x_ ^= x_ >> 17;
    x_ ^= x_ << 5;
    return x_;
  }
  uint32_t Below(uint32_t n) { return Next() % n; }

 private:
  uint32_t x_;
};

// Noise, a ring-down at the start, and a few echoes of random place, length and strength,
// some of them short spikes, some above the 10-bit range.
std::vector<uint16_t> GeneratedPing(Random& r, size_t n) {
  std::vector<uint16_t> s(n);
  const uint32_t noise = 10 + r.Below(120);
  for (size_t k = 0; k < n; ++k) s[k] = static_cast<uint16_t>(r.Below(noise));
  const size_t ring = r.Below(30);
  for (size_t k = 0; k < ring && k < n; ++k) s[k] = static_cast<uint16_t>(1023 - 30 * k);
  const int echoes = static_cast<int>(r.Below(5));
  for (int e = 0; e < echoes; ++e) {
    const size_t at = 1 + r.Below(static_cast<uint32_t>(n - 1));
    const size_t len = 1 + r.Below(14);
    const uint32_t top = r.Below(8) == 0 ? 1024 + r.Below(3000) : 40 + r.Below(984);
    for (size_t k = at; k < at + len && k < n; ++k) {
      // rising, flat or ragged tops, now and then a sample exactly at a whole level
      s[k] = static_cast<uint16_t>(r.Below(3) == 0 ? top / (1 + r.Below(3)) : top);
    }
  }
  return s;
}

TEST(DetectionModel, AgreesWithTheStepByStepModelOnGeneratedPings) {
  Random r(12345);
  const int32_t thresholds[] = {0, 1, 5, 10, 15, 20, 33, 50, 90, 100};
  const int32_t pulses[] = {0, 10, 20, 40, 50, 90, 100, 200, 500};
  const float speeds[] = {1500.0f, 1450.5f, 1480.0f, 1520.25f, 2000.0f};
  int compared = 0, found = 0, mismatches = 0;
  for (int round = 0; round < 40000; ++round) {
    const size_t n = r.Below(4) == 0 ? 400 : 144;
    const std::vector<uint16_t> s = GeneratedPing(r, n);
    const int32_t scan = static_cast<int32_t>(r.Below(8) == 0 ? r.Below(static_cast<uint32_t>(n) + 1) : n);
    const int32_t threshold = thresholds[r.Below(10)];
    const int32_t tx = pulses[r.Below(9)];
    const float speed = speeds[r.Below(5)];
    const float deadzone = static_cast<float>(r.Below(60)) * 0.01f;
    const float offset = r.Below(2) ? 0.0f : 0.25f;
    float model_peak = -1, peak = -1;
    const float model =
        ModelFindAltitude(s, scan, threshold, deadzone, offset, speed, tx, &model_peak);
    const float got = FindAltitude(s.data(), scan, threshold, deadzone, offset, speed, tx, &peak);
    ++compared;
    found += model != 0;
    const bool same_altitude =
        (model == 0 && got == 0) || (model != 0 && std::fabs(got - model) <= 1e-6f * std::max(1.0f, model));
    if (!same_altitude || peak != model_peak) {
      if (++mismatches <= 10) {
        std::string samples;
        for (int32_t k = 0; k < scan; ++k) samples += std::to_string(s[k]) + " ";
        ADD_FAILURE() << "round " << round << ": threshold " << threshold << ", pulse " << tx
                      << " us, " << speed << " m/s, deadzone " << deadzone << ", offset "
                      << offset << ", N " << scan << "\n  model altitude " << model
                      << ", peak " << model_peak << "\n  got   altitude " << got << ", peak "
                      << peak << "\n  samples: " << samples;
      }
    }
  }
  EXPECT_EQ(mismatches, 0) << "of " << compared;
  EXPECT_GT(found, compared / 10) << "too few pings with a bottom to be a useful comparison";
}

// The median of 15: a window of the last 15 values padded with the first, sorted, 8th value.
class ModelMedian {
 public:
  float Add(float v) {
    if (window_.empty()) window_.assign(15, v);
    window_.erase(window_.begin());
    window_.push_back(v);
    std::vector<float> sorted = window_;
    std::sort(sorted.begin(), sorted.end());
    return sorted[7];
  }

 private:
  std::vector<float> window_;
};

TEST(MedianModel, AgreesWithASortedWindowOnGeneratedSequences) {
  Random r(777);
  int mismatches = 0;
  for (int seq = 0; seq < 300; ++seq) {
    MedianOf15 m;
    m.Reset();
    ModelMedian model;
    // Sequences with many repeats (gated altitudes are often 0), with ties, and with
    // negative values (a negative offset).
    const uint32_t spread = 1 + r.Below(r.Below(2) ? 4 : 2000);
    for (int k = 0; k < 400; ++k) {
      float v = static_cast<float>(static_cast<int>(r.Below(spread)) - (seq % 3 == 0 ? 50 : 0)) / 8.0f;
      if (r.Below(4) == 0) v = 0.0f;
      const float want = model.Add(v);
      const float got = m.Add(v);
      if (want != got && ++mismatches <= 10)
        ADD_FAILURE() << "sequence " << seq << ", value " << k << " (" << v << "): median "
                      << got << ", expected " << want;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(MedianModel, ResetInTheMiddleOfASequenceStartsAgain) {
  Random r(99);
  MedianOf15 m;
  m.Reset();
  for (int k = 0; k < 37; ++k) m.Add(static_cast<float>(r.Below(100)));
  m.Reset();
  ModelMedian model;
  for (int k = 0; k < 100; ++k) {
    const float v = static_cast<float>(r.Below(100));
    ASSERT_EQ(m.Add(v), model.Add(v)) << "value " << k;
  }
}

}  // namespace
}  // namespace zt
