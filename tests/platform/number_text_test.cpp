// Numbers with a fixed number of decimals ("%.Nf") by our own conversion: values written by
// hand, and the same text as std::to_chars, the exact conversion, over many generated
// values and next to rounding ties (where the fast path must step aside).
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "platform/short_number.h"

namespace zt {
namespace {

TEST(FixedNumber, WrittenByHand) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double v;
    int precision;
    const char* text;
  } cases[] = {
      {1500.0, 2, "1500.00"},  {1482.5f, 2, "1482.50"}, {280.6f, 2, "280.60"},
      {12.34f, 1, "12.3"},     {-2.96f, 1, "-3.0"},     {4.56f, 1, "4.6"},
      {0.125, 2, "0.12"},      {0.375, 2, "0.38"},      {-0.0, 1, "-0.0"},
      {0.0, 0, "0"},           {2.5, 0, "2"},           {3.5, 0, "4"},
      {1e6, 3, "1000000.000"}, {1e20, 1, "100000000000000000000.0"},
      {0.1, 20, "0.10000000000000000555"},  {inf, 2, "inf"},  {-inf, 1, "-inf"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FixedNumber(c.v, c.precision), c.text);
  }
}

TEST(FixedNumber, PlusFlagAndPrecisionOutOfRange) {
  char buf[kFixedRoom];
  EXPECT_EQ(std::string(buf, FixedChars(buf, 6.0, 3, true)), "+6.000");
  EXPECT_EQ(std::string(buf, FixedChars(buf, -3.5, 3, true)), "-3.500");
  EXPECT_EQ(FixedChars(buf, 1.0, -1), nullptr);
  EXPECT_EQ(FixedChars(buf, 1.0, kFixedMaxPrecision + 1), nullptr);
  EXPECT_EQ(FixedNumber(1.0, kFixedMaxPrecision + 1), "");
}

TEST(FixedNumber, LargestValuesFitTheRoom) {
  const double big = std::numeric_limits<double>::max();
  char buf[kFixedRoom];
  const char* end = FixedChars(buf, -big, kFixedMaxPrecision, false);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(static_cast<size_t>(end - buf), kFixedRoom);
  end = FixedChars(buf, big, kFixedMaxPrecision, true);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(buf[0], '+');
}

// xorshift64*: the same values on every platform.
class Random {
 public:
  explicit Random(uint64_t seed) : x_(seed * 2654435761u + 1) {}
  uint64_t Next() {
    x_ ^= x_ >> 12;
    x_ ^= x_ << 25;
    x_ ^= x_ >> 27;
    return x_ * 2685821657736338717ULL;
  }
  double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }

 private:
  uint64_t x_;
};

std::string Exact(double v, int precision) {
  char buf[kFixedRoom];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, precision);
  return std::string(buf, r.ptr);
}

void ExpectExact(double v, int precision, int* mismatches) {
  const std::string got = FixedNumber(v, precision);
  const std::string want = Exact(v, precision);
  if (got != want && ++*mismatches <= 10) {
    char exact[64];
    std::snprintf(exact, sizeof exact, "%.17g", v);
    ADD_FAILURE() << "value " << exact << " precision " << precision << ": got \"" << got
                  << "\", exactly \"" << want << "\"";
  }
}

TEST(FixedNumber, SameAsTheExactConversionOnGeneratedValues) {
  Random r(2026);
  int mismatches = 0;
  for (int k = 0; k < 200000; ++k) {
    // magnitudes from 1e-6 to 1e8, as doubles and as floats widened to double
    double v = (r.Next() & 1 ? -1 : 1) * std::pow(10.0, -6.0 + 14.0 * r.Unit());
    if (r.Next() % 2) v = static_cast<double>(static_cast<float>(v));
    const int precision = static_cast<int>(r.Next() % 6);
    ExpectExact(v, precision, &mismatches);
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(FixedNumber, SameAsTheExactConversionNextToRoundingTies) {
  Random r(31);
  int mismatches = 0;
  for (int k = 0; k < 200000; ++k) {
    const int precision = static_cast<int>(r.Next() % 5);
    const double scale = std::pow(10.0, precision);
    const double whole = std::floor(std::pow(10.0, 9.9 * r.Unit()));
    double v = (whole + 0.5) / scale;
    const double toward = r.Next() & 1 ? HUGE_VAL : -HUGE_VAL;
    for (int s = static_cast<int>(r.Next() % 4); s > 0; --s) v = std::nextafter(v, toward);
    ExpectExact(r.Next() & 1 ? -v : v, precision, &mismatches);
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace zt
