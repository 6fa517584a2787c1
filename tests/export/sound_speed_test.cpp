// Mackenzie's sound speed: the paper's check value, values computed independently, the
// equation's range, and its use per ping by the export (the text format's sound-speed line).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/export_engine.h"
#include "export/sound_speed.h"
#include "tests/export/export_job.h"
#include "tests/logfile/logged_file_builder.h"

namespace zt {
namespace {

TEST(Mackenzie, PaperCheckValueAndIndependentValues) {
  struct Case {
    double t, s, d, c;
  };
  // The paper's check value first; the rest computed with the nine terms in Python (double).
  const std::vector<Case> cases = {
      {25, 35, 1000, 1550.744}, {2, 25, 0, 1444.7367},     {10, 35, 0, 1489.8034},
      {15, 30, 100, 1502.3926}, {30, 40, 8000, 1680.6808}, {20, 38, 4000, 1591.8344},
      {5, 34, 2500, 1511.0710},
  };
  for (const Case& c : cases)
    EXPECT_NEAR(MackenzieSoundSpeed(c.t, c.s, c.d), c.c, 5e-4) << c.t << " " << c.s << " " << c.d;
}

TEST(Mackenzie, SalinityAndDepthOutsideTheEquationAreRefusedBeforeAnyPing) {
  struct Case {
    float salinity, depth;
    const char* says;  // nullptr: accepted
  };
  const std::vector<Case> cases = {
      {35, 0, nullptr}, {25, 8000, nullptr}, {24.9f, 0, "salinity"},
      {40.1f, 0, "salinity"}, {35, -1, "depth"}, {35, 8001, "depth"},
  };
  for (const Case& c : cases) {
    WaterSettings w{kSoundSpeedMackenzie, c.salinity, c.depth};
    const std::string why = CheckWaterSettings(w);
    if (!c.says) EXPECT_EQ(why, "") << c.salinity << " " << c.depth;
    else EXPECT_NE(why.find(c.says), std::string::npos) << why;
  }
}

// Pings at 10 degC, 40 degC (outside: keeps the file's 1500 m/s) and 2 degC; the text format
// shows each ping's own speed and resolution, and the count of pings outside is reported.
TEST(Mackenzie, EachPingHasItsOwnSoundSpeedInTheTextFormat) {
  test::TempDir dir;
  test::LoggedFileBuilder b(test::PlainHeader());
  const float temperatures[] = {10.0f, 40.0f, 2.0f};
  for (int k = 0; k < 3; ++k) {
    test::PingSpec p;
    p.ping_number = k + 1;
    p.time_utc = 1768472430u + static_cast<uint32_t>(k);
    p.samples = test::Samples(144, 3);
    p.temperature_c = temperatures[k];
    b.Ping(p);
  }
  b.WriteTo(dir.Path("IN.BIN"));
  EXPORTJOB job = test::JobFor(test::PlainHeader(), kFormatText, dir.Path("IN.BIN"),
                               dir.Path("OUT.LOG"));
  job.water = WaterSettings{kSoundSpeedMackenzie, 35.0f, 0.0f};
  ExportProgress quiet;
  const ExportResult r = ExportLoggerFormat(job, quiet);
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(r.sound_speed_fallbacks, 1u);
  const std::string text = test::ReadAll(dir.Path("OUT.LOG"));
  std::vector<std::string> speeds;
  for (size_t at = 0; (at = text.find("#SoundSpeed,mps ", at)) != std::string::npos; ++at)
    speeds.push_back(text.substr(at + 16, text.find('\r', at) - at - 16));
  EXPECT_EQ(speeds, (std::vector<std::string>{"1489.80", "1500.00", "1457.93"}));
  EXPECT_NE(text.find("#Resolution,m  0.0074\r\n"), std::string::npos);
}

}  // namespace
}  // namespace zt
