// The three export formats, byte for byte, for small hand-made files. Every expected text
// below is written out from the formats (printf-style fields, CR LF, 0xB0 degree sign,
// XOR checksums), not produced by the exporter.
//
// This program is registered once per time zone (TZ in the test's environment); it reads
// TZ to pick the local times and ZDA zone fields it expects.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "export/export_engine.h"
#include "tests/export/export_job.h"
#include "tests/logfile/logged_file_builder.h"

namespace zt {
namespace {

using test::LoggedFileBuilder;
using test::PingSpec;
using test::TempDir;

constexpr uint32_t kT0 = 1768472430;      // 2026-01-15 10:20:30 UTC (winter)
constexpr uint32_t kSummer = 1783180800;  // 2026-07-04 16:00:00 UTC
constexpr uint32_t kNewYearsEve = 1798747200;  // 2026-12-31 20:00:00 UTC

// What each zone makes of the times above.
struct Zone {
  const char* tz;
  const char* zda_zone;     // ZDA zone hours and minutes from the standard bias
  const char* t0_minute;    // local "YYYYMMDD HH:MM:" of kT0's minute (kT0 is at second 30)
  const char* summer;       // local kSummer, daylight saving applied where the zone has it
  const char* new_years_eve;
  const char* switches[6];  // local times of kSwitchTimes
};

// Around the US daylight-saving switches of 2026 and at the largest times a file can hold.
constexpr uint32_t kSwitchTimes[6] = {
    1772953199,  // 2026-03-08 06:59:59 UTC, one second before New York springs forward
    1772953200,  // 2026-03-08 07:00:00 UTC
    1793512799,  // 2026-11-01 05:59:59 UTC, one second before New York falls back
    1793512800,  // 2026-11-01 06:00:00 UTC
    0x80000000u,  // 2038-01-19 03:14:08 UTC
    0xFFFFFFFFu,  // 2106-02-07 06:28:15 UTC
};
const char* const kSwitchUtc[6] = {"20260308 06:59:59", "20260308 07:00:00", "20261101 05:59:59",
                                   "20261101 06:00:00", "20380119 03:14:08", "21060207 06:28:15"};

const Zone kZones[] = {
    {"UTC", "00,00", "20260115 10:20:", "20260704 16:00:00", "20261231 20:00:00",
     {"20260308 06:59:59", "20260308 07:00:00", "20261101 05:59:59", "20261101 06:00:00",
      "20380119 03:14:08", "21060207 06:28:15"}},
    {"Asia/Kolkata", "05,30", "20260115 15:50:", "20260704 21:30:00", "20270101 01:30:00",
     {"20260308 12:29:59", "20260308 12:30:00", "20261101 11:29:59", "20261101 11:30:00",
      "20380119 08:44:08", "21060207 11:58:15"}},
    {"America/New_York", "-5,00", "20260115 05:20:", "20260704 12:00:00", "20261231 15:00:00",
     {"20260308 01:59:59", "20260308 03:00:00", "20261101 01:59:59", "20261101 01:00:00",
      "20380118 22:14:08", "21060207 01:28:15"}},
    // Quarter-hour zone without daylight saving: bias -345.
    {"Asia/Kathmandu", "05,45", "20260115 16:05:", "20260704 21:45:00", "20270101 01:45:00",
     {"20260308 12:44:59", "20260308 12:45:00", "20261101 11:44:59", "20261101 11:45:00",
      "20380119 08:59:08", "21060207 12:13:15"}},
    // Half-hour zone west of Greenwich with daylight saving: bias 210, zone hours -3.
    {"America/St_Johns", "-3,30", "20260115 06:50:", "20260704 13:30:00", "20261231 16:30:00",
     {"20260308 04:29:59", "20260308 04:30:00", "20261101 02:29:59", "20261101 02:30:00",
      "20380118 23:44:08", "21060207 02:58:15"}},
    // Southern hemisphere: daylight saving in January, standard time (bias -570) in July.
    {"Australia/Adelaide", "09,30", "20260115 20:50:", "20260705 01:30:00", "20270101 06:30:00",
     {"20260308 17:29:59", "20260308 17:30:00", "20261101 16:29:59", "20261101 16:30:00",
      "20380119 13:44:08", "21060207 16:58:15"}},
};

class ExportFormats : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    for (const Zone& z : kZones)
      if (tz && std::strcmp(tz, z.tz) == 0) zone_ = &z;
    if (!zone_) GTEST_SKIP() << "runs only with TZ set to one of the zones of kZones";
  }

  // Local time of kT0 + k seconds (k < 30), "YYYYMMDD HH:MM:SS".
  std::string Local(int k) const {
    return std::string(zone_->t0_minute) + std::to_string(30 + k);
  }
  std::string Zda() const { return zone_->zda_zone; }

  const Zone* zone_ = nullptr;
  TempDir dir_;
};

// "$" body "*" checksum CR LF, the checksum being the XOR of the body's bytes.
std::string Nmea(const std::string& body) {
  unsigned sum = 0;
  for (unsigned char c : body) sum ^= c;
  static const char kHex[] = "0123456789ABCDEF";
  return "$" + body + "*" + kHex[(sum >> 4) & 15] + kHex[sum & 15] + "\r\n";
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int k = 0; k < n; ++k) out += s;
  return out;
}

TEST(NmeaChecksumHelper, MatchesChecksumsWorkedOutByHand) {
  EXPECT_EQ(Nmea("SDDBT,0.000,f,0.000,M,0.000,F"), "$SDDBT,0.000,f,0.000,M,0.000,F*06\r\n");
  EXPECT_EQ(Nmea("SDZDA,102030.50,15,01,2026,05,30"), "$SDZDA,102030.50,15,01,2026,05,30*66\r\n");
}

// ---- The three-ping file ----------------------------------------------------------------
// 1 m range (144 samples a record), 1500 m/s, 10 %, deadzone 0.1 m (scan from sample 13),
// offset 0.25 m, 40 us pulse (an echo must last more than 2 samples; 4-sample peak window),
// 3 pings per series, period 0.5 s.
//
// Ping 0 holds 40 samples (N0 = 40): an echo opens at 30 (29 = 90, 30 = 110) and falls
// below the level at 34, so range = 0.0075 x 29 + 0.0075 x 12.3 / 20 = 0.2221125 m and the
// altitude is 0.4721125 m; the peak window 34..37 holds 1000: 97 %.
// Ping 1 holds all 144 samples, 5 up to sample 40 and an echo at 60: N0 bounds the scan, so
// no bottom. Only 40 samples are printed.
// Ping 2 holds 20 samples, so its footer starts where sample 20 would be: samples 20..39
// of the scan are the footer's bytes read as 16-bit words.
const std::vector<uint16_t> kPing0Samples = {1023, 800, 400, 30,  30,  30,  30,  30,  30, 30,
                                             30,   30,  30,  20,  20,  20,  20,  20,  20, 20,
                                             20,   20,  20,  20,  20,  20,  20,  20,  20, 90,
                                             110,  400, 600, 300, 50,  40,  1000, 10, 10, 10};
const char kPing0SampleLines[] =
    "1023\r\n800\r\n400\r\n30\r\n30\r\n30\r\n30\r\n30\r\n30\r\n30\r\n30\r\n30\r\n30\r\n"
    "20\r\n20\r\n20\r\n20\r\n20\r\n20\r\n20\r\n20\r\n20\r\n20\r\n20\r\n20\r\n20\r\n20\r\n20\r\n"
    "20\r\n90\r\n110\r\n400\r\n600\r\n300\r\n50\r\n40\r\n1000\r\n10\r\n10\r\n10\r\n";

PingSpec Ping0() {
  PingSpec p;
  p.ping_number = 101;
  p.sample_count = 40;
  p.time_utc = kT0;
  p.time_fraction = 0x8000;
  p.ping_in_series = 1;
  p.samples = kPing0Samples;
  p.temperature_c = 12.5f;
  p.battery_v = 12.3456f;
  p.altitude_m = 1.25f;
  p.pitch_deg = 2.5f;
  p.roll_deg = -1.3f;
  return p;
}

LoggedFileBuilder ThreePingFile() {
  LoggedFileBuilder b(test::PlainHeader());
  b.Ping(Ping0());
  PingSpec p1;
  p1.ping_number = 102;
  p1.time_utc = kT0 + 1;
  p1.time_fraction = 0x4000;
  p1.ping_in_series = 2;
  p1.samples = std::vector<uint16_t>(144, 5);
  // An echo beyond sample 40: found only by a scan that wrongly uses this ping's own count.
  p1.samples[59] = 90;
  for (size_t j = 60; j <= 66; ++j) p1.samples[j] = 500;
  p1.samples[67] = 0;
  p1.samples[68] = 1000;
  p1.temperature_c = 12.25f;
  p1.battery_v = 3.0f;
  p1.altitude_m = 1.5f;
  b.Ping(p1);
  PingSpec p2;
  p2.ping_number = 103;
  p2.sample_count = 20;
  p2.time_utc = kT0 + 2;
  p2.time_fraction = 65535;
  p2.ping_in_series = 3;
  p2.samples = std::vector<uint16_t>(20, 5);
  p2.temperature_c = 12.0f;
  p2.battery_v = 12.0f;
  p2.altitude_m = 1.0f;
  b.Ping(p2);
  return b;
}

using test::JobFor;

// Runs an export and returns the output file's bytes.
std::string Export(const EXPORTJOB& job, bool atomic = false) {
  ExportProgress quiet;
  ExportOptions options;
  options.atomic_output = atomic;
  ExportResult r = ExportLoggerFormat(job, quiet, options);
  EXPECT_TRUE(r.ok()) << r.message;
  return test::ReadAll(job.output_path);
}

void ExpectSameBytes(const std::string& expected, const std::string& actual) {
  EXPECT_TRUE(expected == actual) << test::FirstDifference(expected, actual);
}

const char kParameterLines[] =
    "#---------------Parameters---------------\r\n"
    "#Tx_Frequency,Hz 450000\r\n"
    "#Range,m    1.0\r\n"
    "#Pulse period,sec  0.50\r\n"
    "#Pulses in series,num  3\r\n"
    "#Interval between series,sec  60\r\n"
    "#Threshold,%   10\r\n"
    "#Offset,m   0.250\r\n"
    "#Deadzone,m  0.100\r\n"
    "#PulseLength,uks 40\r\n"
    "#TVG_Gain,dB  +6.000\r\n"
    "#TVG_Slope,dB/km  20.0\r\n"
    "#TVG_Mode  1\r\n"
    "#OutputMode    2\r\n";

TEST_F(ExportFormats, TextFormatOfThreePings) {
  const std::string in = dir_.Path("THREE.BIN");
  ThreePingFile().WriteTo(in);
  const std::string out = dir_.Path("three.log");
  const std::string actual = Export(JobFor(test::PlainHeader(), kFormatText, in, out));

  const std::string expected =
      // ping 0
      "#DeviceID 001234 ZT615 USB/SDCard + Alfat Type\r\n"
      "#TimeLocal " + Local(0) + ".50\r\n"
      "#TimeUTC   20260115 10:20:30.50\r\n"
      "#Ping   101\r\n"
      "#Ping num in series  1\r\n"
      "#Altitude,m    0.472\r\n"
      "#Temperature,\xB0" "C 12.50\r\n"
      "#NSamples 40\r\n"
      "#Resolution,m  0.0075\r\n"
      "#SoundSpeed,mps 1500.00\r\n" +
      kParameterLines +
      "#Pitch,deg 2.500   \r\n"
      "#Roll,deg -1.300  \r\n"
      "\r\n" +
      Nmea("SDZDA,102030.50,15,01,2026," + Zda()) +
      Nmea("SDXDR,A,2.5,D,PTCH,A,-1.3,D,ROLL") +
      Nmea("SDDBT,4.101,f,1.250,M,0.684,F") +
      "\r\n##DataStart\r\n" + kPing0SampleLines + "##DataEnd\r\n\r\n"
      // ping 1
      "#DeviceID 001234 ZT615 USB/SDCard + Alfat Type\r\n"
      "#TimeLocal " + Local(1) + ".25\r\n"
      "#TimeUTC   20260115 10:20:31.25\r\n"
      "#Ping   102\r\n"
      "#Ping num in series  2\r\n"
      "#Altitude,m    0.000\r\n"
      "#Temperature,\xB0" "C 12.25\r\n"
      "#NSamples 144\r\n"
      "#Resolution,m  0.0075\r\n"
      "#SoundSpeed,mps 1500.00\r\n" +
      kParameterLines +
      "#Pitch,deg 0.000   \r\n"
      "#Roll,deg 0.000   \r\n"
      "\r\n" +
      Nmea("SDZDA,102031.25,15,01,2026," + Zda()) +
      Nmea("SDXDR,A,0.0,D,PTCH,A,0.0,D,ROLL") +
      Nmea("SDDBT,4.921,f,1.500,M,0.820,F") +
      "\r\n##DataStart\r\n" + Repeat("5\r\n", 40) + "##DataEnd\r\n\r\n"
      // ping 2
      "#DeviceID 001234 ZT615 USB/SDCard + Alfat Type\r\n"
      "#TimeLocal " + Local(2) + ".99\r\n"
      "#TimeUTC   20260115 10:20:32.99\r\n"
      "#Ping   103\r\n"
      "#Ping num in series  3\r\n"
      "#Altitude,m    0.000\r\n"
      "#Temperature,\xB0" "C 12.00\r\n"
      "#NSamples 20\r\n"
      "#Resolution,m  0.0075\r\n"
      "#SoundSpeed,mps 1500.00\r\n" +
      kParameterLines +
      "#Pitch,deg 0.000   \r\n"
      "#Roll,deg 0.000   \r\n"
      "\r\n" +
      Nmea("SDZDA,102032.99,15,01,2026," + Zda()) +
      Nmea("SDXDR,A,0.0,D,PTCH,A,0.0,D,ROLL") +
      Nmea("SDDBT,3.281,f,1.000,M,0.547,F") +
      "\r\n##DataStart\r\n" + Repeat("5\r\n", 20) +
      // the footer's bytes: reserved 0, ping_number 103, sample_count 20, 12.0f, 12.0f, 1.0f
      "0\r\n0\r\n103\r\n0\r\n20\r\n0\r\n0\r\n16704\r\n0\r\n16704\r\n0\r\n16256\r\n" +
      Repeat("0\r\n", 8) + "##DataEnd\r\n\r\n";
  ExpectSameBytes(expected, actual);
}

TEST_F(ExportFormats, NmeaFormatCarriesTheRecomputedAltitude) {
  const std::string in = dir_.Path("THREE.BIN");
  ThreePingFile().WriteTo(in);
  const std::string out = dir_.Path("three.nmea.log");
  const std::string actual = Export(JobFor(test::PlainHeader(), kFormatNmea, in, out));
  const std::string expected =
      Nmea("SDZDA,102030.50,15,01,2026," + Zda()) + Nmea("SDXDR,A,2.5,D,PTCH,A,-1.3,D,ROLL") +
      Nmea("SDDBT,1.549,f,0.472,M,0.258,F") +
      // no bottom: the depth sentence is still written, with zeros
      Nmea("SDZDA,102031.25,15,01,2026," + Zda()) + Nmea("SDXDR,A,0.0,D,PTCH,A,0.0,D,ROLL") +
      Nmea("SDDBT,0.000,f,0.000,M,0.000,F") +
      Nmea("SDZDA,102032.99,15,01,2026," + Zda()) + Nmea("SDXDR,A,0.0,D,PTCH,A,0.0,D,ROLL") +
      Nmea("SDDBT,0.000,f,0.000,M,0.000,F");
  ExpectSameBytes(expected, actual);
}

const char kCsvHeader80[] =
    " Date Time,Ping,Altitude [mm],Temperature [Celsius],Battery[mV],Amplitude Raw[%FS],"
    " Ampl>80%, Median15, Average Value, NSeries, Interval\r\n";

TEST_F(ExportFormats, CsvFormatWithShortRowsAndAFullRowAtTheEndOfTheSeries) {
  const std::string in = dir_.Path("THREE.BIN");
  ThreePingFile().WriteTo(in);
  const std::string out = dir_.Path("three.csv.log");
  const std::string actual = Export(JobFor(test::PlainHeader(), kFormatCsv, in, out));
  // Battery 12.3456 V -> 12346 mV, 3.0 V -> 3000 mV. Ping 1 and 2 find no bottom, the
  // median of 15 stays at ping 0's 472.1 mm, and the series average is 3 x 472.1 / 3.
  const std::string expected =
      std::string(kCsvHeader80) +
      " " + Local(0) + ".500,    101,  1250.0,  12.50, 12346,  97,   472.1,   472.1,   472.1,\r\n"
      " " + Local(1) + ".250,    102,  1500.0,  12.25,  3000,   0,     0.0,     0.0,   472.1,\r\n"
      " " + Local(2) + ".999,    103,  1000.0,  12.00, 12000,   0,     0.0,     0.0,   472.1,"
      "   472.1 N:3 Interval:  2.0\r\n";
  ExpectSameBytes(expected, actual);
}

// A damaged footer's battery voltage beyond what 32 bits of millivolts hold, or not a number,
// gives the integer that x86's conversion gives (INT32_MIN), never undefined behaviour.
TEST_F(ExportFormats, CsvBatteryBeyond32BitsOrNotANumberIsTheIntegerIndefinite) {
  const struct {
    float volts;
    const char* millivolts;
  } kRows[] = {
      {12.3456f, "12346"},
      {-3.0f, "-2999"},
      {2000000.0f, "2000000000"},
      {2147484.0f, "-2147483648"},
      {std::numeric_limits<float>::quiet_NaN(), "-2147483648"},
      {std::numeric_limits<float>::infinity(), "-2147483648"},
      {-std::numeric_limits<float>::infinity(), "-2147483648"},
      {3.0e9f, "-2147483648"},
      {-2251799813685248.0f, "-2147483648"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.millivolts);
    LoggedFileBuilder b(test::PlainHeader());
    PingSpec p = Ping0();
    p.battery_v = row.volts;
    b.Ping(p);
    const std::string in = dir_.Path("BATTERY.BIN");
    b.WriteTo(in);
    const std::string csv = Export(JobFor(test::PlainHeader(), kFormatCsv, in, dir_.Path("b.log")));
    const size_t row_start = csv.find("\r\n") + 2;
    std::string field;
    size_t at = row_start;
    for (int k = 0; k < 5; ++k) {
      const size_t comma = csv.find(',', at);
      field = csv.substr(at, comma - at);
      at = comma + 1;
    }
    EXPECT_EQ(field.substr(field.find_first_not_of(' ')), row.millivolts) << csv;
  }
}

TEST_F(ExportFormats, CsvGateAbovePeakZeroesTheGatedAltitudeAndNamesTheGateInTheHeader) {
  const std::string in = dir_.Path("THREE.BIN");
  ThreePingFile().WriteTo(in);
  const std::string out = dir_.Path("gate.csv.log");
  EXPORTJOB job = JobFor(test::PlainHeader(), kFormatCsv, in, out);
  job.amplitude_over_pct = 98;  // ping 0's peak is 97 %
  const std::string actual = Export(job);
  const std::string expected =
      " Date Time,Ping,Altitude [mm],Temperature [Celsius],Battery[mV],Amplitude Raw[%FS],"
      " Ampl>98%, Median15, Average Value, NSeries, Interval\r\n"
      " " + Local(0) + ".500,    101,  1250.0,  12.50, 12346,  97,   472.1,     0.0,     0.0,\r\n"
      " " + Local(1) + ".250,    102,  1500.0,  12.25,  3000,   0,     0.0,     0.0,     0.0,\r\n"
      " " + Local(2) + ".999,    103,  1000.0,  12.00, 12000,   0,     0.0,     0.0,     0.0,"
      "     0.0 N:3 Interval:  2.0\r\n";
  ExpectSameBytes(expected, actual);
}

TEST_F(ExportFormats, CsvGateBelowTenIsWrittenWithTwoDigits) {
  const std::string in = dir_.Path("THREE.BIN");
  ThreePingFile().WriteTo(in);
  const std::string out = dir_.Path("gate5.csv.log");
  EXPORTJOB job = JobFor(test::PlainHeader(), kFormatCsv, in, out);
  job.amplitude_over_pct = 5;
  const std::string actual = Export(job);
  EXPECT_EQ(actual.substr(0, actual.find('\n') + 1),
            " Date Time,Ping,Altitude [mm],Temperature [Celsius],Battery[mV],Amplitude Raw[%FS],"
            " Ampl>05%, Median15, Average Value, NSeries, Interval\r\n");
}

// A series whose first pings the file does not hold: ping_count 5, the file starts at the
// third ping of a series. The first full row comes after three pings and divides by 5.
TEST_F(ExportFormats, CsvFirstSeriesStartedMidwayStillDividesBySeriesLength) {
  TIMERSETTINGS h = test::PlainHeader();
  h.ping_count = 5;
  h.period_s = 0.2f;
  LoggedFileBuilder b(h);
  const int32_t in_series[] = {3, 4, 5, 1};
  for (int k = 0; k < 4; ++k) {
    PingSpec p = Ping0();
    p.ping_number = k + 1;
    p.time_utc = kT0 + k;
    p.time_fraction = 0;
    p.ping_in_series = in_series[k];
    p.temperature_c = 10.0f;
    p.battery_v = 12.0f;
    p.altitude_m = 0.5f;
    b.Ping(p);
  }
  const std::string in = dir_.Path("MIDWAY.BIN");
  b.WriteTo(in);
  const std::string out = dir_.Path("midway.csv.log");
  const std::string actual = Export(JobFor(h, kFormatCsv, in, out));
  const std::string row = "   500.0,  10.00, 12000,  97,   472.1,   472.1,   472.1,";
  const std::string expected = std::string(kCsvHeader80) +
                               " " + Local(0) + ".000,      1," + row + "\r\n" +
                               " " + Local(1) + ".000,      2," + row + "\r\n" +
                               " " + Local(2) + ".000,      3," + row +
                               "   283.3 N:5 Interval:  5.0\r\n" +
                               " " + Local(3) + ".000,      4," + row + "\r\n";
  ExpectSameBytes(expected, actual);
}

// ---- Time zones -------------------------------------------------------------------------
// A summer ping (daylight saving in New York) and a ping whose local date is a day and a
// year later in Kolkata. Local time follows the zone's rules; the ZDA zone fields come from
// the standard bias and never from daylight saving.
LoggedFileBuilder TwoSeasonFile() {
  LoggedFileBuilder b(test::PlainHeader());
  PingSpec a = Ping0();
  a.ping_number = 1;
  a.time_utc = kSummer;
  a.time_fraction = 0x4000;
  a.ping_in_series = 1;
  b.Ping(a);
  PingSpec c = Ping0();
  c.ping_number = 2;
  c.time_utc = kNewYearsEve;
  c.time_fraction = 0;
  c.ping_in_series = 2;
  b.Ping(c);
  return b;
}

TEST_F(ExportFormats, NmeaZoneFieldsIgnoreDaylightSaving) {
  const std::string in = dir_.Path("SEASONS.BIN");
  TwoSeasonFile().WriteTo(in);
  const std::string out = dir_.Path("seasons.nmea.log");
  const std::string actual = Export(JobFor(test::PlainHeader(), kFormatNmea, in, out));
  const std::string expected =
      Nmea("SDZDA,160000.25,04,07,2026," + Zda()) + Nmea("SDXDR,A,2.5,D,PTCH,A,-1.3,D,ROLL") +
      Nmea("SDDBT,1.549,f,0.472,M,0.258,F") +
      Nmea("SDZDA,200000.00,31,12,2026," + Zda()) + Nmea("SDXDR,A,2.5,D,PTCH,A,-1.3,D,ROLL") +
      Nmea("SDDBT,1.549,f,0.472,M,0.258,F");
  ExpectSameBytes(expected, actual);
}

TEST_F(ExportFormats, CsvLocalTimesFollowTheZoneRulesOfEachDate) {
  const std::string in = dir_.Path("SEASONS.BIN");
  TwoSeasonFile().WriteTo(in);
  const std::string out = dir_.Path("seasons.csv.log");
  const std::string actual = Export(JobFor(test::PlainHeader(), kFormatCsv, in, out));
  const std::string row = ",  1250.0,  12.50, 12346,  97,   472.1,   472.1,   472.1,\r\n";
  const std::string expected = std::string(kCsvHeader80) + " " + zone_->summer + ".250,      1" +
                               row + " " + zone_->new_years_eve + ".000,      2" + row;
  ExpectSameBytes(expected, actual);
}

TEST_F(ExportFormats, TextTimesAreLocalThenUtc) {
  const std::string in = dir_.Path("SEASONS.BIN");
  TwoSeasonFile().WriteTo(in);
  const std::string out = dir_.Path("seasons.log");
  const std::string actual = Export(JobFor(test::PlainHeader(), kFormatText, in, out));
  const std::string summer = "#TimeLocal " + std::string(zone_->summer) +
                             ".25\r\n#TimeUTC   20260704 16:00:00.25\r\n";
  const std::string eve = "#TimeLocal " + std::string(zone_->new_years_eve) +
                          ".00\r\n#TimeUTC   20261231 20:00:00.00\r\n";
  const size_t first = actual.find(summer);
  EXPECT_NE(first, std::string::npos) << summer;
  const size_t second = actual.find(eve);
  EXPECT_NE(second, std::string::npos) << eve;
  EXPECT_LT(first, second);
}

TEST_F(ExportFormats, LocalTimeFollowsDaylightSavingSwitchesAndTimesBeyond2038) {
  LoggedFileBuilder b(test::PlainHeader());
  for (int k = 0; k < 6; ++k) {
    PingSpec p = Ping0();
    p.ping_number = k + 1;
    p.time_utc = kSwitchTimes[k];
    p.time_fraction = 0;
    b.Ping(p);
  }
  const std::string in = dir_.Path("SWITCH.BIN");
  b.WriteTo(in);
  const std::string csv = Export(JobFor(test::PlainHeader(), kFormatCsv, in, dir_.Path("s.csv")));
  std::string expected = kCsvHeader80;
  for (int k = 0; k < 6; ++k)
    expected += " " + std::string(zone_->switches[k]) + ".000,      " + std::to_string(k + 1) +
                ",  1250.0,  12.50, 12346,  97,   472.1,   472.1,   472.1,\r\n";
  ExpectSameBytes(expected, csv);

  const std::string text = Export(JobFor(test::PlainHeader(), kFormatText, in, dir_.Path("s.log")));
  size_t from = 0;
  for (int k = 0; k < 6; ++k) {
    SCOPED_TRACE("ping " + std::to_string(k));
    const std::string times = "#TimeLocal " + std::string(zone_->switches[k]) +
                              ".00\r\n#TimeUTC   " + kSwitchUtc[k] + ".00\r\n";
    const size_t at = text.find(times, from);
    EXPECT_NE(at, std::string::npos) << times;
    if (at != std::string::npos) from = at + 1;
  }

  const std::string nmea = Export(JobFor(test::PlainHeader(), kFormatNmea, in, dir_.Path("s.nmea")));
  EXPECT_NE(nmea.find(Nmea("SDZDA,062815.00,07,02,2106," + Zda())), std::string::npos) << nmea;
  EXPECT_NE(nmea.find(Nmea("SDZDA,031408.00,19,01,2038," + Zda())), std::string::npos) << nmea;
}

// Fields that the header and the footer both hold are each taken from the one the format
// names: the ping number and sample count from the footer, the series position from the
// header. Unusual values keep their printf field widths and signs.
TEST_F(ExportFormats, FooterAndHeaderFieldsAndUnusualValuesInTheTextBlock) {
  TIMERSETTINGS h = test::PlainHeader();
  h.device_id = 7;
  h.range_mm = 100000;
  h.period_s = 0.2f;
  h.ping_count = 10;
  h.interval_s = 0;
  h.offset_m = -0.125f;
  h.deadzone_m = 0.0f;
  h.tx_length_us = 1000;
  h.gain_db = -3.5f;
  h.tvg_slope = 0.0f;
  h.sound_speed = 1450.5f;
  LoggedFileBuilder b(h);
  PingSpec p;
  p.ping_number = 5;
  p.footer_ping_number = 77;
  p.sample_count = 3;
  p.footer_sample_count = 999;
  p.time_utc = kT0 + 5;
  p.time_fraction = 655;  // 9.99 ms, 0.999 hundredths: both truncated
  p.ping_in_series = 12;
  p.samples = {0, 65535, 1023};
  p.temperature_c = -1.5f;
  p.battery_v = 0.0004f;
  p.altitude_m = 123.456f;
  p.pitch_deg = -0.04f;
  p.roll_deg = 45.67f;
  b.Ping(p);
  const std::string in = dir_.Path("ODD.BIN");
  b.WriteTo(in);

  const std::string text = Export(JobFor(h, kFormatText, in, dir_.Path("odd.log")));
  const std::string expected =
      "#DeviceID 000007 ZT615 USB/SDCard + Alfat Type\r\n"
      "#TimeLocal " + Local(5) + ".00\r\n"
      "#TimeUTC   20260115 10:20:35.00\r\n"
      "#Ping   77\r\n"
      "#Ping num in series  12\r\n"
      "#Altitude,m    0.000\r\n"
      "#Temperature,\xB0" "C -1.50\r\n"
      "#NSamples 999\r\n"
      "#Resolution,m  0.0073\r\n"
      "#SoundSpeed,mps 1450.50\r\n"
      "#---------------Parameters---------------\r\n"
      "#Tx_Frequency,Hz 450000\r\n"
      "#Range,m  100.0\r\n"
      "#Pulse period,sec  0.20\r\n"
      "#Pulses in series,num  10\r\n"
      "#Interval between series,sec  0\r\n"
      "#Threshold,%   10\r\n"
      "#Offset,m  -0.125\r\n"
      "#Deadzone,m  0.000\r\n"
      "#PulseLength,uks 1000\r\n"
      "#TVG_Gain,dB  -3.500\r\n"
      "#TVG_Slope,dB/km   0.0\r\n"
      "#TVG_Mode  1\r\n"
      "#OutputMode    2\r\n"
      "#Pitch,deg -0.040  \r\n"
      "#Roll,deg 45.670  \r\n"
      "\r\n" +
      Nmea("SDZDA,102035.00,15,01,2026," + Zda()) +
      Nmea("SDXDR,A,-0.0,D,PTCH,A,45.7,D,ROLL") +
      Nmea("SDDBT,405.039,f,123.456,M,67.507,F") +
      "\r\n##DataStart\r\n0\r\n65535\r\n1023\r\n##DataEnd\r\n\r\n";
  ExpectSameBytes(expected, text);

  const std::string csv = Export(JobFor(h, kFormatCsv, in, dir_.Path("odd.csv")));
  ExpectSameBytes(std::string(kCsvHeader80) + " " + Local(5) +
                      ".009,     77,123456.0,  -1.50,     0,   0,     0.0,     0.0,     0.0,\r\n",
                  csv);
}

TEST_F(ExportFormats, PingZeroWithoutSamplesPrintsNoSampleLines) {
  LoggedFileBuilder b(test::PlainHeader());
  PingSpec p = Ping0();
  p.sample_count = 0;
  b.Ping(p);
  PingSpec q = Ping0();
  q.ping_number = 102;
  b.Ping(q);
  const std::string in = dir_.Path("NOSAMPLES.BIN");
  b.WriteTo(in);
  const std::string text = Export(JobFor(test::PlainHeader(), kFormatText, in, dir_.Path("n.log")));
  EXPECT_NE(text.find("#Ping   101\r\n#Ping num in series  1\r\n#Altitude,m    0.000\r\n"
                      "#Temperature,\xB0" "C 12.50\r\n#NSamples 0\r\n"),
            std::string::npos);
  // both pings: no samples between the markers, no bottom in no samples
  const std::string empty_data = "\r\n##DataStart\r\n##DataEnd\r\n\r\n";
  const size_t first = text.find(empty_data);
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(text.find(empty_data, first + 1), std::string::npos);
  EXPECT_EQ(text.find("#Altitude,m    0.472"), std::string::npos);
}

// ---- Overrides and offset ---------------------------------------------------------------
TEST_F(ExportFormats, OverriddenThresholdShowsWhileRangeAndPeriodKeepTheFileValues) {
  const std::string in = dir_.Path("THREE.BIN");
  ThreePingFile().WriteTo(in);
  const std::string out = dir_.Path("t15.log");
  EXPORTJOB job = JobFor(test::PlainHeader(), kFormatText, in, out);
  job.threshold_pct = 15;  // level 153.45: the echo now opens at 31 (400), 0.476 m
  const std::string actual = Export(job);
  const std::string head = actual.substr(0, actual.find("#Pitch,deg"));
  const std::string expected =
      "#DeviceID 001234 ZT615 USB/SDCard + Alfat Type\r\n"
      "#TimeLocal " + Local(0) + ".50\r\n"
      "#TimeUTC   20260115 10:20:30.50\r\n"
      "#Ping   101\r\n"
      "#Ping num in series  1\r\n"
      "#Altitude,m    0.476\r\n"
      "#Temperature,\xB0" "C 12.50\r\n"
      "#NSamples 40\r\n"
      "#Resolution,m  0.0075\r\n"
      "#SoundSpeed,mps 1500.00\r\n"
      "#---------------Parameters---------------\r\n"
      "#Tx_Frequency,Hz 450000\r\n"
      "#Range,m    1.0\r\n"
      "#Pulse period,sec  0.50\r\n"
      "#Pulses in series,num  3\r\n"
      "#Interval between series,sec  60\r\n"
      "#Threshold,%   15\r\n"
      "#Offset,m   0.250\r\n"
      "#Deadzone,m  0.100\r\n"
      "#PulseLength,uks 40\r\n"
      "#TVG_Gain,dB  +6.000\r\n"
      "#TVG_Slope,dB/km  20.0\r\n"
      "#TVG_Mode  1\r\n"
      "#OutputMode    2\r\n";
  ExpectSameBytes(expected, head);
}

TEST_F(ExportFormats, OverriddenSoundSpeedAndDeadzoneShowInTheirLines) {
  const std::string in = dir_.Path("THREE.BIN");
  ThreePingFile().WriteTo(in);
  const std::string out = dir_.Path("ss.log");
  EXPORTJOB job = JobFor(test::PlainHeader(), kFormatText, in, out);
  job.sound_speed = 1480.0f;
  job.deadzone_m = 0.25f;
  const std::string actual = Export(job);
  EXPECT_NE(actual.find("#Resolution,m  0.0074\r\n#SoundSpeed,mps 1480.00\r\n"),
            std::string::npos);
  EXPECT_NE(actual.find("#Offset,m   0.250\r\n#Deadzone,m  0.250\r\n"), std::string::npos);
  EXPECT_NE(actual.find("#Range,m    1.0\r\n#Pulse period,sec  0.50\r\n"), std::string::npos);
}

// 10 m range, 2000 m/s (0.01 m per sample), threshold 100 % (level 1023): sample 1000 is
// exactly at the level and 1001..1003 are above it, so the range is 0.01 x 1000 = 10.0 m.
LoggedFileBuilder TenMetreFile(TIMERSETTINGS* header) {
  TIMERSETTINGS h = test::PlainHeader();
  h.range_mm = 10000;
  h.sound_speed = 2000.0f;
  h.threshold_pct = 100;
  h.deadzone_m = 0.0f;
  h.offset_m = 0.5f;
  h.tx_length_us = 20;
  *header = h;
  LoggedFileBuilder b(h);
  PingSpec p = Ping0();
  p.sample_count = 1010;
  p.samples = std::vector<uint16_t>(1010, 0);
  p.samples[1000] = 1023;
  p.samples[1001] = p.samples[1002] = p.samples[1003] = 2000;
  p.samples[1005] = 1023;  // peak window 1004..1005: 99 %
  b.Ping(p);
  return b;
}

TEST_F(ExportFormats, OffsetIsAddedToTheDetectedRangeInTextNmeaAndCsv) {
  TIMERSETTINGS h;
  const std::string in = dir_.Path("TEN.BIN");
  TenMetreFile(&h).WriteTo(in);

  const std::string text = Export(JobFor(h, kFormatText, in, dir_.Path("ten.log")));
  EXPECT_NE(text.find("#Altitude,m   10.500\r\n"), std::string::npos);
  EXPECT_NE(text.find("#Resolution,m  0.0100\r\n#SoundSpeed,mps 2000.00\r\n"), std::string::npos);
  EXPECT_NE(text.find("#Range,m   10.0\r\n"), std::string::npos);
  EXPECT_NE(text.find("#Offset,m   0.500\r\n#Deadzone,m  0.000\r\n"), std::string::npos);
  // the text format's depth sentence keeps the device's own 1.25 m
  EXPECT_NE(text.find(Nmea("SDDBT,4.101,f,1.250,M,0.684,F")), std::string::npos);

  const std::string nmea = Export(JobFor(h, kFormatNmea, in, dir_.Path("ten.nmea.log")));
  EXPECT_NE(nmea.find(Nmea("SDDBT,34.449,f,10.500,M,5.741,F")), std::string::npos) << nmea;

  const std::string csv = Export(JobFor(h, kFormatCsv, in, dir_.Path("ten.csv.log")));
  ExpectSameBytes(std::string(kCsvHeader80) + " " + Local(0) +
                      ".500,    101,  1250.0,  12.50, 12346,  99, 10500.0, 10500.0, 10500.0,\r\n",
                  csv);
}

// ---- Empty files and overwriting --------------------------------------------------------
TEST_F(ExportFormats, FileWithoutPingsGivesAnEmptyTextOrNmeaFileAndAHeaderOnlyCsv) {
  const std::string in = dir_.Path("EMPTY.BIN");
  LoggedFileBuilder(test::PlainHeader()).Trailing(100).WriteTo(in);
  for (bool atomic : {false, true}) {
    SCOPED_TRACE(atomic ? "atomic output" : "direct output");
    const std::string text = dir_.Path(atomic ? "e1.log" : "e2.log");
    EXPECT_EQ(Export(JobFor(test::PlainHeader(), kFormatText, in, text), atomic), "");
    EXPECT_TRUE(test::Exists(text));
    const std::string nmea = dir_.Path(atomic ? "e3.log" : "e4.log");
    EXPECT_EQ(Export(JobFor(test::PlainHeader(), kFormatNmea, in, nmea), atomic), "");
    EXPECT_TRUE(test::Exists(nmea));
    EXPECT_EQ(Export(JobFor(test::PlainHeader(), kFormatCsv, in,
                            dir_.Path(atomic ? "e5.log" : "e6.log")),
                     atomic),
              kCsvHeader80);
  }
}

TEST_F(ExportFormats, ExportingOverAnExistingFileReplacesIt) {
  const std::string in = dir_.Path("THREE.BIN");
  ThreePingFile().WriteTo(in);
  const std::string expected =
      Nmea("SDZDA,102030.50,15,01,2026," + Zda()) + Nmea("SDXDR,A,2.5,D,PTCH,A,-1.3,D,ROLL") +
      Nmea("SDDBT,1.549,f,0.472,M,0.258,F") +
      Nmea("SDZDA,102031.25,15,01,2026," + Zda()) + Nmea("SDXDR,A,0.0,D,PTCH,A,0.0,D,ROLL") +
      Nmea("SDDBT,0.000,f,0.000,M,0.000,F") +
      Nmea("SDZDA,102032.99,15,01,2026," + Zda()) + Nmea("SDXDR,A,0.0,D,PTCH,A,0.0,D,ROLL") +
      Nmea("SDDBT,0.000,f,0.000,M,0.000,F");
  for (bool atomic : {false, true}) {
    SCOPED_TRACE(atomic ? "atomic output" : "direct output");
    const std::string out = dir_.Path(atomic ? "old1.log" : "old2.log");
    test::WriteAll(out, std::string(100000, 'x'));
    ExpectSameBytes(expected, Export(JobFor(test::PlainHeader(), kFormatNmea, in, out), atomic));
  }
  // nothing but the input and the two outputs is left in the folder
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"THREE.BIN", "old1.log", "old2.log"}));
}

TEST_F(ExportFormats, JobFromHeaderTakesTheFileDetectionSettingsAndGate80) {
  TIMERSETTINGS h = test::PlainHeader();
  h.threshold_pct = 17;
  h.deadzone_m = 0.75f;
  h.sound_speed = 1490.5f;
  EXPORTJOB job = JobFromHeader(h, kFormatCsv);
  EXPECT_EQ(job.data_format, kFormatCsv);
  EXPECT_EQ(job.threshold_pct, 17);
  EXPECT_EQ(job.deadzone_m, 0.75f);
  EXPECT_EQ(job.sound_speed, 1490.5f);
  EXPECT_EQ(job.amplitude_over_pct, 80);
}

}  // namespace
}  // namespace zt
