// Bottom detection in one ping's samples and the CSV statistics: amplitude percentage,
// amplitude gate, running median of 15 and series average.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "export/altitude.h"

namespace zt {
namespace {

// Samples of length n, all zero except the given runs [from, to] set to a value.
struct Run {
  size_t from;
  size_t to;  // inclusive
  uint16_t value;
};
std::vector<uint16_t> Echoes(size_t n, std::initializer_list<Run> runs) {
  std::vector<uint16_t> v(n, 0);
  for (const Run& r : runs)
    for (size_t k = r.from; k <= r.to; ++k) v.at(k) = r.value;
  return v;
}

struct AltitudeCase {
  const char* behaviour;
  std::vector<uint16_t> samples;
  int32_t threshold_pct;
  float deadzone_m;
  float offset_m;
  float sound_speed;
  int32_t tx_length_us;
  float altitude;  // expected
  float tolerance;
  float peak;  // expected peak amplitude
};

void CheckAltitude(const AltitudeCase& c) {
  SCOPED_TRACE(c.behaviour);
  float peak = -1.0f;
  const float altitude =
      FindAltitude(c.samples.data(), static_cast<int32_t>(c.samples.size()), c.threshold_pct,
                   c.deadzone_m, c.offset_m, c.sound_speed, c.tx_length_us, &peak);
  if (c.altitude == 0.0f)
    EXPECT_EQ(altitude, 0.0f);
  else
    EXPECT_NEAR(altitude, c.altitude, c.tolerance);
  EXPECT_EQ(peak, c.peak);
}

// 1500 m/s: 0.0075 m per sample. 10 %: level 102.3. 100 us pulse: an echo must last more
// than 5 samples; the peak window after it is 10 samples long.
TEST(FindAltitude, WorkedExamples) {
  const std::vector<AltitudeCase> cases = {
      {"rising edge is interpolated between samples 49 and 50 (0.37211 m)",
       Echoes(70, {{49, 49, 90}, {50, 50, 110}, {51, 55, 500}}), 10, 0.0f, 0.0f, 1500.0f, 100,
       0.3721125f, 2e-5f, 0.0f},
      {"echo whose first sample below the level is 5 samples after its opening is rejected",
       Echoes(70, {{49, 49, 90}, {50, 50, 110}, {51, 54, 500}}), 10, 0.0f, 0.0f, 1500.0f, 100,
       0.0f, 0.0f, 0.0f},
      {"echo that ends 6 samples after its opening is accepted",
       Echoes(70, {{49, 49, 90}, {50, 50, 110}, {51, 55, 500}}), 10, 0.0f, 0.0f, 1500.0f, 100,
       0.3721125f, 2e-5f, 0.0f},
      {"offset is added to a detected range",
       Echoes(70, {{49, 49, 90}, {50, 50, 110}, {51, 55, 500}}), 10, 0.0f, 0.5f, 1500.0f, 100,
       0.8721125f, 2e-5f, 0.0f},
      {"offset is not added when no bottom is found", Echoes(70, {}), 10, 0.0f, 0.5f, 1500.0f,
       100, 0.0f, 0.0f, 0.0f},
      {"short strong interference raises the previous peak so a weaker long bottom is rejected",
       Echoes(80, {{20, 21, 1000}, {40, 50, 600}}), 10, 0.0f, 0.0f, 1500.0f, 100, 0.0f, 0.0f,
       0.0f},
      {"without the interference the same weaker long echo is the bottom",
       Echoes(80, {{40, 50, 600}}), 10, 0.0f, 0.0f, 1500.0f, 100, 0.29377875f, 2e-5f, 0.0f},
      {"echo no stronger than a rejected earlier one is rejected (peak comparison is strict)",
       Echoes(80, {{10, 11, 500}, {30, 39, 500}}), 10, 0.0f, 0.0f, 1500.0f, 100, 0.0f, 0.0f,
       0.0f},
      {"echo stronger than a rejected earlier one is the bottom",
       Echoes(80, {{10, 11, 500}, {30, 39, 600}}), 10, 0.0f, 0.0f, 1500.0f, 100, 0.21877875f,
       2e-5f, 0.0f},
      {"the sample that opens an echo does not count towards its peak",
       Echoes(80, {{1, 2, 600}, {10, 10, 900}, {11, 16, 500}}), 10, 0.0f, 0.0f, 1500.0f, 100,
       0.0f, 0.0f, 0.0f},
      {"a sample equal to the level does not open an echo",
       Echoes(40, {{10, 10, 1023}, {11, 15, 2000}}), 100, 0.0f, 0.0f, 1500.0f, 100, 0.0f, 0.0f,
       0.0f},
      {"a sample equal to the level does not close an echo",
       Echoes(40, {{11, 13, 2000}, {14, 16, 1023}}), 100, 0.0f, 0.0f, 1500.0f, 100, 0.07883625f,
       2e-5f, 0.0f},
      {"an echo still open at the last sample is not a bottom", Echoes(60, {{50, 59, 500}}), 10,
       0.0f, 0.0f, 1500.0f, 100, 0.0f, 0.0f, 0.0f},
      {"echoes inside the deadzone are not seen (0.3 m starts at sample 40)",
       Echoes(80, {{10, 20, 1000}, {49, 49, 90}, {50, 55, 500}}), 10, 0.3f, 0.0f, 1500.0f, 100,
       0.367725f, 2e-5f, 0.0f},
      {"without a deadzone the first long echo is the bottom",
       Echoes(80, {{10, 20, 1000}, {49, 49, 90}, {50, 55, 500}}), 10, 0.0f, 0.0f, 1500.0f, 100,
       0.06826725f, 2e-5f, 0.0f},
      {"deadzone beyond the last sample finds nothing",
       Echoes(80, {{49, 49, 90}, {50, 55, 500}}), 10, 1.0f, 0.0f, 1500.0f, 100, 0.0f, 0.0f,
       0.0f},
      {"deadzone starting exactly at the last sample + 1 finds nothing",
       Echoes(40, {{10, 20, 1000}}), 10, 0.3f, 0.0f, 1500.0f, 100, 0.0f, 0.0f, 0.0f},
      {"all samples at or below the level (10 %) give no bottom and no peak",
       std::vector<uint16_t>(200, 102), 10, 0.0f, 0.0f, 1500.0f, 100, 0.0f, 0.0f, 0.0f},
      {"all samples at the level (100 %) give no bottom and no peak",
       std::vector<uint16_t>(200, 1023), 100, 0.0f, 0.0f, 1500.0f, 100, 0.0f, 0.0f, 0.0f},
      {"peak amplitude is the largest sample of the pulse-long window after the echo",
       Echoes(80, {{49, 49, 90}, {50, 50, 110}, {51, 55, 500}, {60, 60, 700}, {65, 65, 650},
                   {66, 66, 900}}),
       10, 0.0f, 0.0f, 1500.0f, 100, 0.3721125f, 2e-5f, 700.0f},
      {"peak window starts at the sample where the echo fell below the level",
       Echoes(80, {{49, 49, 90}, {50, 50, 110}, {51, 55, 500}, {56, 56, 80}}), 10, 0.0f, 0.0f,
       1500.0f, 100, 0.3721125f, 2e-5f, 80.0f},
      {"peak window stops at the last sample",
       Echoes(60, {{49, 49, 90}, {50, 50, 110}, {51, 55, 500}, {58, 58, 300}}), 10, 0.0f, 0.0f,
       1500.0f, 100, 0.3721125f, 2e-5f, 300.0f},
  };
  for (const AltitudeCase& c : cases) CheckAltitude(c);
}

// 13 344 samples at 2000 m/s (0.01 m per sample) reach beyond 110 m. Threshold 100 % puts
// the level at 1023, so a sample of exactly 1023 before the echo makes the crossing fall on
// a whole sample.
TEST(FindAltitude, RangeLimitOf110MetresAppliesBeforeTheOffset) {
  std::vector<uint16_t> exactly(13344, 0);
  exactly[11000] = 1023;
  for (size_t k = 11001; k <= 11003; ++k) exactly[k] = 2000;
  exactly[11005] = 1500;  // inside the 2-sample peak window that starts at 11004
  std::vector<uint16_t> beyond(13344, 0);
  beyond[11001] = 1023;
  for (size_t k = 11002; k <= 11004; ++k) beyond[k] = 2000;

  const std::vector<AltitudeCase> cases = {
      {"a range of exactly 110 m is accepted and gets the offset", exactly, 100, 0.0f, 0.5f,
       2000.0f, 20, 110.5f, 1e-3f, 1500.0f},
      {"a range just above 110 m gives 0 even though range minus nothing is close", beyond, 100,
       0.0f, 0.5f, 2000.0f, 20, 0.0f, 0.0f, 0.0f},
      {"a range above 110 m gives 0 also with a negative offset", beyond, 100, 0.0f, -5.0f,
       2000.0f, 20, 0.0f, 0.0f, 0.0f},
  };
  for (const AltitudeCase& c : cases) CheckAltitude(c);
}

TEST(AmplitudePercent, TruncatesAgainstFullScale1024) {
  const std::pair<float, int32_t> cases[] = {
      {1023.0f, 99}, {512.0f, 50}, {10.0f, 0},  {800.0f, 78}, {1024.0f, 100},
      {0.0f, 0},     {1023.9f, 99}, {11.0f, 1}, {10.99f, 0},  {2000.0f, 195},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("peak " + std::to_string(c.first));
    EXPECT_EQ(AmplitudePercent(c.first), c.second);
  }
}

TEST(AmplitudeGate, ZeroesTheAltitudeOnlyBelowTheGate) {
  struct Case {
    float altitude;
    int32_t amp_pct;
    int32_t gate;
    float gated;
  };
  const Case cases[] = {
      {1.5f, 99, 80, 1.5f},  // amp 1023 passes
      {1.5f, 78, 80, 0.0f},  // amp 800 is gated
      {1.5f, 80, 80, 1.5f},  // equal passes
      {1.5f, 0, 0, 1.5f},    // gate 0 lets everything through
      {1.5f, 99, 100, 0.0f},
      {0.0f, 99, 80, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("amp_pct " + std::to_string(c.amp_pct) + " gate " + std::to_string(c.gate));
    EXPECT_EQ(AmplitudeGate(c.altitude, c.amp_pct, c.gate), c.gated);
  }
}

TEST(AmplitudeGate, PeakOf1023PassesAGateOf80AndPeakOf800DoesNot) {
  EXPECT_EQ(AmplitudeGate(2.0f, AmplitudePercent(1023.0f), 80), 2.0f);
  EXPECT_EQ(AmplitudeGate(2.0f, AmplitudePercent(800.0f), 80), 0.0f);
}

std::vector<float> Feed(MedianOf15& m, std::initializer_list<float> values) {
  std::vector<float> out;
  for (float v : values) out.push_back(m.Add(v));
  return out;
}

TEST(MedianOf15, FirstValuesAfterAResetArePaddedWithTheFirst) {
  MedianOf15 m;
  m.Reset();
  EXPECT_EQ(Feed(m, {1, 2, 3}), (std::vector<float>{1, 1, 1}));
}

TEST(MedianOf15, FifteenRisingValuesGiveTheMiddleOneAtTheFifteenth) {
  MedianOf15 m;
  m.Reset();
  std::vector<float> out = Feed(m, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
  // After k calls the window holds 16 - k ones and 2 .. k.
  EXPECT_EQ(out, (std::vector<float>{1, 1, 1, 1, 1, 1, 1, 1, 2, 3, 4, 5, 6, 7, 8}));
  // The window now slides: 2 .. 16.
  EXPECT_EQ(m.Add(16), 9);
}

TEST(MedianOf15, OldestValueLeavesTheWindow) {
  MedianOf15 m;
  m.Reset();
  m.Add(100);  // fills the window with 100
  for (int k = 0; k < 7; ++k) m.Add(0);
  // 7 zeros and 8 hundreds: the 8th smallest is 100.
  EXPECT_EQ(m.Add(100), 100);
  // 7 zeros, 100, then one more zero: 8 zeros -> 0.
  EXPECT_EQ(m.Add(0), 0);
}

TEST(MedianOf15, ResetStartsAFreshWindow) {
  MedianOf15 m;
  m.Reset();
  Feed(m, {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9});
  m.Reset();
  EXPECT_EQ(Feed(m, {1, 2, 3}), (std::vector<float>{1, 1, 1}));
}

TEST(MedianOf15, NewWindowBehavesAsFreshlyReset) {
  MedianOf15 m;
  EXPECT_EQ(Feed(m, {4, 7, 9}), (std::vector<float>{4, 4, 4}));
}

TEST(MedianOf15, TwoWindowsDoNotShareValues) {
  MedianOf15 a, b;
  a.Reset();
  b.Reset();
  EXPECT_EQ(a.Add(5), 5);
  EXPECT_EQ(b.Add(50), 50);
  EXPECT_EQ(a.Add(6), 5);
  EXPECT_EQ(b.Add(60), 50);
}

TEST(SeriesAverage, DividesBySeriesLengthOfTheFileHeader) {
  EXPECT_FLOAT_EQ(SeriesAverage(1.5f, 5), 0.3f);
  EXPECT_FLOAT_EQ(SeriesAverage(3.0f, 3), 1.0f);
  EXPECT_FLOAT_EQ(SeriesAverage(0.0f, 10), 0.0f);
}

}  // namespace
}  // namespace zt
