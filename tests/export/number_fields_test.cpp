// The printf-style number fields of the exported text: %d with width and zero padding,
// %W.Pf with the '-' and '+' flags. Written values by hand on every platform; on Linux also
// compared with the C library's printf over many generated values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "export/text_builder.h"

namespace zt {
namespace {

struct FixedCase {
  double v;
  int precision;
  int width;
  bool left;
  bool plus;
  const char* text;
};

std::string Fixed(double v, int precision, int width, bool left, bool plus) {
  std::vector<char> buf(512);
  TextBuilder b(buf.data(), buf.size());
  b.Fixed(v, precision, width, left, plus);
  EXPECT_FALSE(b.overflow());
  return std::string(b.data(), b.size());
}

std::string Int(int64_t v, int width, bool zero_pad) {
  char buf[64];
  TextBuilder b(buf, sizeof buf);
  b.Int(v, width, zero_pad);
  return std::string(b.data(), b.size());
}

TEST(NumberFields, FixedPointFieldsWrittenByHand) {
  const FixedCase cases[] = {
      {0.0, 3, 6, false, false, " 0.000"},      // %6.3f
      {0.4721125, 3, 6, false, false, " 0.472"},
      {10.5, 3, 6, false, false, "10.500"},
      {-0.125, 3, 6, false, false, "-0.125"},
      {12.5, 2, 5, false, false, "12.50"},      // %5.2f
      {-1.5, 2, 5, false, false, "-1.50"},
      {0.0075, 4, 7, false, false, " 0.0075"},  // %7.4f
      {1500.0, 2, 7, false, false, "1500.00"},  // %7.2f
      {1.0, 1, 6, false, false, "   1.0"},      // %6.1f
      {100.0, 1, 6, false, false, " 100.0"},
      {0.5, 2, 4, false, false, "0.50"},        // %4.2f
      {6.0, 3, 5, false, true, "+6.000"},       // %+5.3f
      {-3.5, 3, 5, false, true, "-3.500"},
      {0.0, 3, 5, false, true, "+0.000"},
      {20.0, 1, 5, false, false, " 20.0"},      // %5.1f
      {2.5, 3, 8, true, false, "2.500   "},     // %-8.3f
      {-1.3, 3, 8, true, false, "-1.300  "},
      {-123.4567, 3, 8, true, false, "-123.457"},
      {-0.04, 1, 0, false, false, "-0.0"},      // %.1f keeps the sign of a negative value
      {0.04, 1, 0, false, false, "0.0"},
      {45.67, 1, 0, false, false, "45.7"},
      {1250.0, 1, 8, false, false, "  1250.0"}, // %8.1f
      {123456.0, 1, 8, false, false, "123456.0"},
      {12345678.0, 1, 8, false, false, "12345678.0"},  // wider than the field
      {472.1125, 1, 8, false, false, "   472.1"},
      {2.0, 1, 4, false, false, " 2.0"},        // %4.1f
      {0.125, 2, 0, false, false, "0.12"},      // exact ties go to the even digit
      {0.375, 2, 0, false, false, "0.38"},
      {2.5, 0, 0, false, false, "2"},
      {999999.99996, 4, 0, false, false, "1000000.0000"},
      {1e20, 1, 0, false, false, "100000000000000000000.0"},
  };
  for (const FixedCase& c : cases) {
    SCOPED_TRACE(std::string("expected ") + c.text);
    EXPECT_EQ(Fixed(c.v, c.precision, c.width, c.left, c.plus), c.text);
  }
}

TEST(NumberFields, IntegerFieldsWrittenByHand) {
  struct Case {
    int64_t v;
    int width;
    bool zero_pad;
    const char* text;
  };
  const Case cases[] = {
      {5, 2, true, "05"},          {-5, 2, true, "-5"},         {0, 2, true, "00"},
      {30, 2, true, "30"},         {7, 6, true, "000007"},      {-12, 6, true, "-00012"},
      {1234567, 6, true, "1234567"}, {2026, 4, true, "2026"},   {101, 7, false, "    101"},
      {12345678, 7, false, "12345678"}, {-3, 4, false, "  -3"}, {12346, 6, false, " 12346"},
      {0, 0, false, "0"},          {-2147483647 - 1, 0, false, "-2147483648"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("expected ") + c.text);
    EXPECT_EQ(Int(c.v, c.width, c.zero_pad), c.text);
  }
}

#ifndef _WIN32
// glibc's printf rounds exactly (ties to even), which is what the formats mean.
class Random {
 public:
  explicit Random(uint64_t seed) : x_(seed) {}
  uint64_t Next() {
    x_ ^= x_ << 13;
    x_ ^= x_ >> 7;
    x_ ^= x_ << 17;
    return x_;
  }
  double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }

 private:
  uint64_t x_;
};

TEST(NumberFields, FixedPointFieldsMatchPrintfOnGeneratedValues) {
  Random r(2026);
  int mismatches = 0;
  for (int k = 0; k < 400000; ++k) {
    // magnitudes from 1e-6 to 1e8, as doubles and as floats widened to double (the
    // exporter's values are mostly floats); now and then a value on a rounding tie
    const double mag = std::pow(10.0, -6.0 + 14.0 * r.Unit());
    double v = (r.Next() & 1 ? -1 : 1) * mag;
    if (r.Next() % 2) v = static_cast<double>(static_cast<float>(v));
    const int precision = static_cast<int>(r.Next() % 5);
    if (r.Next() % 16 == 0) v = (std::floor(v * std::pow(10.0, precision)) + 0.5) / std::pow(10.0, precision);
    const int width = static_cast<int>(r.Next() % 12);
    const int flag = static_cast<int>(r.Next() % 3);  // none, '-', '+'
    char want[512];
    const char* fmt = flag == 0 ? "%*.*f" : flag == 1 ? "%-*.*f" : "%+*.*f";
    std::snprintf(want, sizeof want, fmt, width, precision, v);
    const std::string got = Fixed(v, precision, width, flag == 1, flag == 2);
    if (got != want && ++mismatches <= 10) {
      char exact[64];
      std::snprintf(exact, sizeof exact, "%.17g", v);
      ADD_FAILURE() << "value " << exact << " with " << fmt << " width " << width
                    << " precision " << precision << ": got \"" << got << "\", printf \""
                    << want << "\"";
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// Values a few units in the last place away from a rounding tie, where scaling by a power
// of ten in floating point can land on the wrong side of the half.
TEST(NumberFields, FixedPointFieldsMatchPrintfNextToRoundingTies) {
  Random r(31);
  int mismatches = 0;
  for (int k = 0; k < 200000; ++k) {
    const int precision = 1 + static_cast<int>(r.Next() % 4);
    const double scale = std::pow(10.0, precision);
    const double whole = std::floor(std::pow(10.0, 9.9 * r.Unit()));  // up to ~8e9 scaled
    double v = (whole + 0.5) / scale;
    const int steps = 1 + static_cast<int>(r.Next() % 4);
    const double toward = r.Next() & 1 ? HUGE_VAL : -HUGE_VAL;
    for (int s = 0; s < steps; ++s) v = std::nextafter(v, toward);
    if (r.Next() & 1) v = -v;
    char want[512];
    std::snprintf(want, sizeof want, "%.*f", precision, v);
    const std::string got = Fixed(v, precision, 0, false, false);
    if (got != want && ++mismatches <= 10) {
      char exact[64];
      std::snprintf(exact, sizeof exact, "%.17g", v);
      ADD_FAILURE() << "value " << exact << " precision " << precision << ": got \"" << got
                    << "\", printf \"" << want << "\"";
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(NumberFields, IntegerFieldsMatchPrintfOnGeneratedValues) {
  Random r(7);
  int mismatches = 0;
  for (int k = 0; k < 100000; ++k) {
    const int shift = static_cast<int>(r.Next() % 32);
    const int v = static_cast<int>(static_cast<int32_t>(r.Next()) >> shift);
    const int width = static_cast<int>(r.Next() % 10);
    const bool zero = r.Next() & 1;
    char want[64];
    std::snprintf(want, sizeof want, zero ? "%0*d" : "%*d", width, v);
    const std::string got = Int(v, width, zero);
    if (got != want && ++mismatches <= 10)
      ADD_FAILURE() << v << " width " << width << (zero ? " zero-padded" : "") << ": got \""
                    << got << "\", printf \"" << want << "\"";
  }
  EXPECT_EQ(mismatches, 0);
}
#endif

}  // namespace
}  // namespace zt
