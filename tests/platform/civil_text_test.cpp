// Calendar times as text: the pattern's fields and widths, the cut at the buffer's end, and
// the texts of the programs' date formats, which must stay what printf wrote.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/time.h"

namespace zt {
namespace {

using platform::CivilText;
using platform::CivilTime;

const CivilTime kMay28{2026, 5, 28, 20, 6, 4};

TEST(CivilText, FieldsByPattern) {
  const struct {
    const char* pattern;
    CivilTime c;
    int fraction;
    const char* text;
  } cases[] = {
      {"YYYY-MM-DD hh:mm:ss", kMay28, 0, "2026-05-28 20:06:04"},
      {"hh:mm:ss DD.MM.Y", kMay28, 0, "20:06:04 28.05.2026"},
      {"YYYYMMDD hh:mm:ss.ff", kMay28, 7, "20260528 20:06:04.07"},
      {"YYYY-MM-DDThh:mm:ss.fff", kMay28, 999, "2026-05-28T20:06:04.999"},
      {"hhmmss.ff,DD,MM,YYYY", {2000, 1, 2, 3, 4, 5}, 0, "030405.00,02,01,2000"},
      {"D.M.Y h:m:s", {1970, 1, 2, 3, 4, 5}, 0, "2.1.1970 3:4:5"},
      {"DD.MM", {1999, 12, 31, 23, 59, 59}, 0, "31.12"},
      {"", kMay28, 0, ""},
      {"(Local) ", kMay28, 0, "(Local) "},          // no field letters: as it stands
      {"YYYYYY", kMay28, 0, "002026"},              // a longer run pads further
      {"YY", kMay28, 0, "2026"},                    // a shorter run never cuts digits
      {"ff", kMay28, -5, "-5"},                     // the sign counts in the width, as %02d
      {"fff", kMay28, -5, "-05"},
      {"Y", {-44, 3, 15, 0, 0, 0}, 0, "-44"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(CivilText(c.c, c.pattern, c.fraction), c.text);
  }
}

TEST(CivilText, IntoABufferIsCutAtItsEnd) {
  char buf[8] = "-------";
  EXPECT_EQ(CivilText(kMay28, "YYYY-MM-DD", 0, buf, 7), 7u);
  EXPECT_EQ(std::string(buf, 8), std::string("2026-05\0", 8));
  EXPECT_EQ(CivilText(kMay28, "YYYY-MM-DD", 0, buf, 0), 0u);
}

// Each format the programs wrote with printf, and the pattern that now writes it.
struct Format {
  const char* name;
  const char* pattern;
  int fraction;
  std::string (*printf_text)(const CivilTime& c, int fraction);
};

#define ZT_PRINTF(...)                                \
  [](const CivilTime& c, int f) {                     \
    (void)f;                                          \
    char buf[128];                                    \
    std::snprintf(buf, sizeof buf, __VA_ARGS__);      \
    return std::string(buf);                          \
  }

TEST(CivilText, ProgramsDateFormatsAreWhatPrintfWrote) {
  const Format formats[] = {
      {"zt615 timers, zt615 device", "YYYY-MM-DD hh:mm:ss", 0,
       ZT_PRINTF("%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute,
                 c.second)},
      {"zt615 info", "YYYY-MM-DD hh:mm:ss.fff", 7,
       ZT_PRINTF("%04d-%02d-%02d %02d:%02d:%02d.%03d", c.year, c.month, c.day, c.hour,
                 c.minute, c.second, f)},
      {"zt615 info --json", "YYYY-MM-DDThh:mm:ss.fff", 450,
       ZT_PRINTF("%04d-%02d-%02dT%02d:%02d:%02d.%03d", c.year, c.month, c.day, c.hour,
                 c.minute, c.second, f)},
      {"text export", "YYYYMMDD hh:mm:ss.ff", 9,
       ZT_PRINTF("%04d%02d%02d %02d:%02d:%02d.%02d", c.year, c.month, c.day, c.hour, c.minute,
                 c.second, f)},
      {"CSV export", "YYYYMMDD hh:mm:ss.fff", 5,
       ZT_PRINTF("%04d%02d%02d %02d:%02d:%02d.%03d", c.year, c.month, c.day, c.hour, c.minute,
                 c.second, f)},
      {"ZDA sentence", "hhmmss.ff,DD,MM,YYYY", 99,
       ZT_PRINTF("%02d%02d%02d.%02d,%02d,%02d,%04d", c.hour, c.minute, c.second, f, c.day,
                 c.month, c.year)},
      {"link and echogram labels", "hh:mm:ss DD.MM.Y", 0,
       ZT_PRINTF("%02i:%02i:%02i %02i.%02i.%i", c.hour, c.minute, c.second, c.day, c.month,
                 c.year)},
      {"hover date", "DD.MM", 0, ZT_PRINTF("%02d.%02d", c.day, c.month)},
      {"hover time", "hh:mm:ss", 0, ZT_PRINTF("%02d:%02d:%02d", c.hour, c.minute, c.second)},
      {"device clock (asctime)", "hh:mm:ss Y\n", 0,
       ZT_PRINTF("%.2d:%.2d:%.2d %d\n", c.hour, c.minute, c.second, c.year)},
  };
  const CivilTime times[] = {
      {1969, 12, 31, 23, 59, 59}, {1970, 1, 1, 0, 0, 0}, {1999, 12, 31, 23, 59, 59},
      {2000, 2, 29, 12, 30, 5},   kMay28,                {2038, 1, 19, 3, 14, 8},
      {2106, 2, 7, 6, 28, 15},
  };
  for (const Format& f : formats)
    for (const CivilTime& c : times) {
      SCOPED_TRACE(f.name);
      EXPECT_EQ(CivilText(c, f.pattern, f.fraction), f.printf_text(c, f.fraction));
    }
}

}  // namespace
}  // namespace zt
