// The export run: progress messages, refusals before any ping is read, corrupt pings,
// output failures, and exports running side by side.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "export/export_engine.h"
#include "tests/export/export_job.h"
#include "tests/logfile/logged_file_builder.h"

namespace zt {
namespace {

using test::LoggedFileBuilder;
using test::PingSpec;
using test::TempDir;

constexpr uint32_t kT0 = 1768472430;  // 2026-01-15 10:20:30 UTC

class RecordingProgress : public ExportProgress {
 public:
  void SetRange(int low, int high) override {
    calls.push_back("SetRange(" + std::to_string(low) + "," + std::to_string(high) + ")");
  }
  void SetStep(int step) override { calls.push_back("SetStep(" + std::to_string(step) + ")"); }
  void StepIt() override { calls.push_back("StepIt"); }
  void SetPos(int pos) override { calls.push_back("SetPos(" + std::to_string(pos) + ")"); }
  std::vector<std::string> calls;
};

std::string Nmea(const std::string& body) {
  unsigned sum = 0;
  for (unsigned char c : body) sum ^= c;
  static const char kHex[] = "0123456789ABCDEF";
  return "$" + body + "*" + kHex[(sum >> 4) & 15] + kHex[sum & 15] + "\r\n";
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Plain pings: no echo, no attitude, one second apart, whole seconds.
PingSpec QuietPing(int k) {
  PingSpec p;
  p.ping_number = k + 1;
  p.time_utc = kT0 + static_cast<uint32_t>(k);
  p.ping_in_series = k % 3 + 1;
  p.samples = std::vector<uint16_t>(144, 3);
  p.temperature_c = 8.0f;
  p.battery_v = 12.0f;
  return p;
}

LoggedFileBuilder QuietFile(int pings) {
  LoggedFileBuilder b(test::PlainHeader());
  for (int k = 0; k < pings; ++k) b.Ping(QuietPing(k));
  return b;
}

std::string TwoDigits(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

// The NMEA block of QuietPing(k) (k up to 13 hours, the same day; TZ=UTC).
std::string QuietNmea(int k) {
  const int s = 10 * 3600 + 20 * 60 + 30 + k;
  const std::string hms = TwoDigits(s / 3600) + TwoDigits(s / 60 % 60) + TwoDigits(s % 60);
  return Nmea("SDZDA," + hms + ".00,15,01,2026,00,00") +
         Nmea("SDXDR,A,0.0,D,PTCH,A,0.0,D,ROLL") + Nmea("SDDBT,0.000,f,0.000,M,0.000,F");
}

EXPORTJOB JobFor(int32_t format, const std::string& in, const std::string& out) {
  return test::JobFor(test::PlainHeader(), format, in, out);
}

ExportResult RunExport(const EXPORTJOB& job, bool atomic, ExportProgress* progress = nullptr) {
  ExportProgress quiet;
  ExportOptions options;
  options.atomic_output = atomic;
  return ExportLoggerFormat(job, progress ? *progress : quiet, options);
}

// ---- Progress ---------------------------------------------------------------------------
TEST(ExportProgressMessages, RangeStepStepsAndFinalPositionForEachPingCount) {
  struct Case {
    int pings;
    int steps;  // StepIt calls: one each time the whole percentage changes, from 2 %
  };
  // 1 ping: none. 2: at 50 %. 3: at 33 and 66 %. 7: 14, 28, 42, 57, 71, 85 %.
  // 40 pings: 2, 5, 7, 10 ... 97 %, one step per change even when it jumps by more than 1.
  // 50 pings: 2, 4 ... 98 %. 100 and 200 pings: 2 .. 99 %, 98 steps.
  const Case cases[] = {{0, 0},   {1, 0},   {2, 1},    {3, 2},   {7, 6},
                        {40, 39}, {50, 49}, {100, 98}, {200, 98}};
  TempDir dir;
  for (const Case& c : cases) {
    for (int32_t format : {kFormatText, kFormatNmea, kFormatCsv}) {
      SCOPED_TRACE(std::to_string(c.pings) + " pings, format " + std::to_string(format));
      const std::string in = dir.Path("P" + std::to_string(c.pings) + ".BIN");
      QuietFile(c.pings).WriteTo(in);
      RecordingProgress progress;
      ExportResult r = RunExport(JobFor(format, in, dir.Path("p.log")), false, &progress);
      ASSERT_TRUE(r.ok()) << r.message;
      std::vector<std::string> expected = {"SetRange(1,99)", "SetStep(1)"};
      expected.insert(expected.end(), static_cast<size_t>(c.steps), "StepIt");
      expected.push_back("SetPos(99)");
      EXPECT_EQ(progress.calls, expected);
    }
  }
}

// ---- Refusals before any ping is read ---------------------------------------------------
struct Refusal {
  const char* behaviour;
  std::function<void(LoggedFileBuilder&)> file;  // damage to a good file
  std::function<void(EXPORTJOB&)> job;           // change to a good job
  const char* says;                               // a word the message must hold
};

TEST(ExportRefusals, NothingIsCreatedForAnUnreadableFileOrBadParameters) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<Refusal> cases = {
      {"file shorter than its 128-byte header", [](LoggedFileBuilder& b) { b.bytes().resize(100); },
       nullptr, "128"},
      {"empty file", [](LoggedFileBuilder& b) { b.bytes().clear(); }, nullptr, "128"},
      {"range not in the range table",
       [](LoggedFileBuilder& b) { test::PutI32(b.bytes(), 52, 2500); }, nullptr, "2500"},
      {"sound speed 0", nullptr, [](EXPORTJOB& j) { j.sound_speed = 0.0f; }, "sound speed"},
      {"negative sound speed", nullptr, [](EXPORTJOB& j) { j.sound_speed = -1500.0f; },
       "sound speed"},
      {"sound speed not a number", nullptr, [nan](EXPORTJOB& j) { j.sound_speed = nan; },
       "sound speed"},
      {"infinite sound speed", nullptr, [inf](EXPORTJOB& j) { j.sound_speed = inf; },
       "sound speed"},
      {"threshold -1", nullptr, [](EXPORTJOB& j) { j.threshold_pct = -1; }, "threshold"},
      {"threshold 101", nullptr, [](EXPORTJOB& j) { j.threshold_pct = 101; }, "threshold"},
      {"negative deadzone", nullptr, [](EXPORTJOB& j) { j.deadzone_m = -0.1f; }, "deadzone"},
      {"deadzone not a number", nullptr, [nan](EXPORTJOB& j) { j.deadzone_m = nan; }, "deadzone"},
      {"amplitude gate -1", nullptr, [](EXPORTJOB& j) { j.amplitude_over_pct = -1; },
       "amplitude"},
      {"amplitude gate 101", nullptr, [](EXPORTJOB& j) { j.amplitude_over_pct = 101; },
       "amplitude"},
  };
  int n = 0;
  for (const Refusal& c : cases) {
    for (bool atomic : {false, true}) {
      SCOPED_TRACE(std::string(c.behaviour) + (atomic ? ", atomic output" : ", direct output"));
      TempDir dir;
      LoggedFileBuilder b = QuietFile(3);
      if (c.file) c.file(b);
      const std::string in = dir.Path("IN" + std::to_string(n++) + ".BIN");
      b.WriteTo(in);
      EXPORTJOB job = JobFor(kFormatCsv, in, dir.Path("out.log"));
      if (c.job) c.job(job);
      RecordingProgress progress;
      ExportResult r = RunExport(job, atomic, &progress);
      EXPECT_EQ(r.status, ExportStatus::kRefused) << r.message;
      EXPECT_NE(Lower(r.message).find(c.says), std::string::npos) << r.message;
      EXPECT_FALSE(test::Exists(job.output_path));
      EXPECT_EQ(dir.Entries().size(), 1u) << "only the input file may remain";
      EXPECT_EQ(std::count(progress.calls.begin(), progress.calls.end(), "SetPos(99)"), 0);
    }
  }
}

TEST(ExportRefusals, FileRefusalNamesTheInputFile) {
  TempDir dir;
  LoggedFileBuilder b = QuietFile(1);
  b.bytes().resize(50);
  const std::string in = dir.Path("SHORTONE.BIN");
  b.WriteTo(in);
  ExportResult r = RunExport(JobFor(kFormatText, in, dir.Path("o.log")), true);
  EXPECT_EQ(r.status, ExportStatus::kRefused);
  EXPECT_NE(r.message.find("SHORTONE.BIN"), std::string::npos) << r.message;
}

TEST(ExportRefusals, BoundaryParametersAreAccepted) {
  TempDir dir;
  const std::string in = dir.Path("OK.BIN");
  QuietFile(2).WriteTo(in);
  const std::vector<std::function<void(EXPORTJOB&)>> changes = {
      [](EXPORTJOB& j) { j.threshold_pct = 0; },     [](EXPORTJOB& j) { j.threshold_pct = 100; },
      [](EXPORTJOB& j) { j.deadzone_m = 0.0f; },     [](EXPORTJOB& j) { j.deadzone_m = 500.0f; },
      [](EXPORTJOB& j) { j.amplitude_over_pct = 0; },
      [](EXPORTJOB& j) { j.amplitude_over_pct = 100; },
      [](EXPORTJOB& j) { j.sound_speed = 0.001f; },
  };
  int n = 0;
  for (const auto& change : changes) {
    SCOPED_TRACE("change " + std::to_string(n));
    EXPORTJOB job = JobFor(kFormatCsv, in, dir.Path("ok" + std::to_string(n++) + ".log"));
    change(job);
    ExportResult r = RunExport(job, false);
    EXPECT_TRUE(r.ok()) << r.message;
  }
}

TEST(ExportRefusals, MissingInputCreatesNoOutput) {
  for (bool atomic : {false, true}) {
    SCOPED_TRACE(atomic ? "atomic output" : "direct output");
    TempDir dir;
    EXPORTJOB job = JobFor(kFormatText, dir.Path("ABSENT.BIN"), dir.Path("out.log"));
    ExportResult r = RunExport(job, atomic);
    EXPECT_EQ(r.status, ExportStatus::kInputFailed);
    EXPECT_NE(r.message.find("ABSENT.BIN"), std::string::npos) << r.message;
    EXPECT_TRUE(dir.Entries().empty());
  }
}

TEST(ExportRefusals, OutputThatNamesTheInputFileIsRefusedAndTheInputKept) {
  namespace fs = std::filesystem;
  const struct {
    const char* behaviour;
    const char* output;  // in the folder of IN.BIN, which also holds sub/
    bool hard_link;      // the output is first made a hard link to IN.BIN
  } cases[] = {{"the same path", "IN.BIN", false},
               {"the path through sub/..", "sub/../IN.BIN", false},
               {"a hard link to the input", "LINK.LOG", true}};
  for (const auto& c : cases) {
    for (bool atomic : {false, true}) {
      SCOPED_TRACE(std::string(c.behaviour) + (atomic ? ", atomic output" : ", direct output"));
      TempDir dir;
      fs::create_directory(fs::u8path(dir.Path("sub")));
      const std::string in = dir.Path("IN.BIN"), out = dir.Path(c.output);
      QuietFile(3).WriteTo(in);
      if (c.hard_link) fs::create_hard_link(fs::u8path(in), fs::u8path(out));
      const std::string before = test::ReadAll(in);
      const std::vector<std::string> entries = dir.Entries();
      ExportResult r = RunExport(JobFor(kFormatText, in, out), atomic);
      EXPECT_EQ(r.status, ExportStatus::kRefused);
      EXPECT_EQ(r.message, out + ": is the input file; choose another output");
      EXPECT_TRUE(test::ReadAll(in) == before) << "the input was changed";
      EXPECT_EQ(dir.Entries(), entries) << "nothing is created beside the input";
    }
  }
}

// ---- Corrupt pings ----------------------------------------------------------------------
// A ping whose own sample count is more than a record holds would put its footer outside
// the record; ping 0's count bounds the samples of every ping. Such a ping stops the export
// with an error naming it.
struct CorruptCase {
  const char* behaviour;
  int bad_ping;
  int32_t bad_count;
};
const CorruptCase kCorruptCases[] = {
    {"ping 1 counts one sample more than the record holds", 1, 145},
    {"ping 2 counts 2^31 - 1 samples", 2, 0x7FFFFFFF},
    {"ping 0 counts one sample more than the record holds", 0, 145},
    {"ping 0 counts 2^31 - 1 samples", 0, 0x7FFFFFFF},
};

LoggedFileBuilder FileWithCorruptPing(const CorruptCase& c) {
  LoggedFileBuilder b(test::PlainHeader());
  for (int k = 0; k < 4; ++k) {
    PingSpec p = QuietPing(k);
    if (k == c.bad_ping) p.sample_count = c.bad_count;
    b.Ping(p);
  }
  return b;
}

TEST(ExportCorruptPing, DirectOutputKeepsThePingsBeforeIt) {
  TempDir dir;
  int n = 0;
  for (const CorruptCase& c : kCorruptCases) {
    SCOPED_TRACE(c.behaviour);
    const std::string in = dir.Path("C" + std::to_string(n) + ".BIN");
    FileWithCorruptPing(c).WriteTo(in);
    const std::string out = dir.Path("c" + std::to_string(n++) + ".log");
    RecordingProgress progress;
    ExportResult r = RunExport(JobFor(kFormatNmea, in, out), false, &progress);
    EXPECT_EQ(r.status, ExportStatus::kCorruptPing) << r.message;
    EXPECT_NE(r.message.find("ping " + std::to_string(c.bad_ping)), std::string::npos)
        << r.message;
    std::string before;
    for (int k = 0; k < c.bad_ping; ++k) before += QuietNmea(k);
    if (c.bad_ping > 0 || test::Exists(out)) {
      EXPECT_EQ(test::ReadAll(out), before);
    }
    EXPECT_EQ(std::count(progress.calls.begin(), progress.calls.end(), "SetPos(99)"), 0);
  }
}

TEST(ExportCorruptPing, AtomicOutputLeavesNoFileAtAll) {
  int n = 0;
  for (const CorruptCase& c : kCorruptCases) {
    for (int32_t format : {kFormatText, kFormatNmea, kFormatCsv}) {
      SCOPED_TRACE(std::string(c.behaviour) + ", format " + std::to_string(format));
      TempDir dir;
      const std::string in = dir.Path("C" + std::to_string(n++) + ".BIN");
      FileWithCorruptPing(c).WriteTo(in);
      ExportResult r = RunExport(JobFor(format, in, dir.Path("c.log")), true);
      EXPECT_EQ(r.status, ExportStatus::kCorruptPing) << r.message;
      EXPECT_NE(r.message.find("ping " + std::to_string(c.bad_ping)), std::string::npos)
          << r.message;
      EXPECT_EQ(dir.Entries().size(), 1u) << "only the input file may remain";
    }
  }
}

TEST(ExportCorruptPing, CountsUpToTheRecordSamplesAreNotCorrupt) {
  TempDir dir;
  LoggedFileBuilder b(test::PlainHeader());
  for (int k = 0; k < 3; ++k) {
    PingSpec p = QuietPing(k);
    p.sample_count = k == 1 ? 0 : 144;
    b.Ping(p);
  }
  const std::string in = dir.Path("EDGE.BIN");
  b.WriteTo(in);
  const std::string out = dir.Path("edge.log");
  ExportResult r = RunExport(JobFor(kFormatNmea, in, out), true);
  EXPECT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(test::ReadAll(out), QuietNmea(0) + QuietNmea(1) + QuietNmea(2));
}

// ---- Output failures --------------------------------------------------------------------
TEST(ExportOutputFailure, FolderThatDoesNotExist) {
  for (bool atomic : {false, true}) {
    SCOPED_TRACE(atomic ? "atomic output" : "direct output");
    TempDir dir;
    const std::string in = dir.Path("IN.BIN");
    QuietFile(3).WriteTo(in);
    const std::string before = test::ReadAll(in);
    EXPORTJOB job = JobFor(kFormatText, in, dir.Path("missing-folder") + "/out.log");
    RecordingProgress progress;
    ExportResult r = RunExport(job, atomic, &progress);
    EXPECT_EQ(r.status, ExportStatus::kOutputFailed);
    EXPECT_NE(r.message.find("missing-folder"), std::string::npos) << r.message;
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"IN.BIN"});
    EXPECT_EQ(test::ReadAll(in), before);
    EXPECT_EQ(std::count(progress.calls.begin(), progress.calls.end(), "SetPos(99)"), 0);
  }
}

#ifndef _WIN32
TEST(ExportOutputFailure, FullDisk) {
  TempDir dir;
  const std::string in = dir.Path("IN.BIN");
  QuietFile(3).WriteTo(in);
  for (int32_t format : {kFormatText, kFormatNmea, kFormatCsv}) {
    SCOPED_TRACE("format " + std::to_string(format));
    RecordingProgress progress;
    ExportResult r = RunExport(JobFor(format, in, "/dev/full"), false, &progress);
    EXPECT_EQ(r.status, ExportStatus::kOutputFailed);
    EXPECT_NE(r.message.find("/dev/full"), std::string::npos) << r.message;
    EXPECT_EQ(std::count(progress.calls.begin(), progress.calls.end(), "SetPos(99)"), 0);
  }
}
#endif

TEST(ExportPaths, NonAsciiPathsAreReadAndWritten) {
  TempDir dir;
  const std::string in = dir.Path("M\xC3\xB8y fjord \xE2\x80\x94 1.BIN");
  QuietFile(2).WriteTo(in);
  for (bool atomic : {false, true}) {
    SCOPED_TRACE(atomic ? "atomic output" : "direct output");
    const std::string out = dir.Path(atomic ? "r\xC3\xA9sultat 1.log" : "r\xC3\xA9sultat 2.log");
    ExportResult r = RunExport(JobFor(kFormatNmea, in, out), atomic);
    EXPECT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(test::ReadAll(out), QuietNmea(0) + QuietNmea(1));
  }
  EXPECT_EQ(dir.Entries().size(), 3u);
}

// ---- Large outputs ----------------------------------------------------------------------
// Outputs of several megabytes, written through whatever buffering the exporter uses: every
// ping's block is there, whole and in order.

TEST(ExportLargeOutput, EveryPingBlockIsWrittenInOrder) {
  constexpr int kPings = 30000;  // 10:20:30 + 30000 s = 18:40:30, the same day
  TempDir dir;
  const std::string in = dir.Path("BIG.BIN");
  QuietFile(kPings).WriteTo(in);
  std::string nmea, csv =
      " Date Time,Ping,Altitude [mm],Temperature [Celsius],Battery[mV],Amplitude Raw[%FS],"
      " Ampl>80%, Median15, Average Value, NSeries, Interval\r\n";
  for (int k = 0; k < kPings; ++k) {
    const int s = 10 * 3600 + 20 * 60 + 30 + k;
    const std::string hms = TwoDigits(s / 3600) + TwoDigits(s / 60 % 60) + TwoDigits(s % 60);
    nmea += QuietNmea(k);
    std::string number = std::to_string(k + 1);
    number.insert(0, 7 - number.size(), ' ');
    csv += " 20260115 " + TwoDigits(s / 3600) + ":" + TwoDigits(s / 60 % 60) + ":" +
           TwoDigits(s % 60) + ".000," + number +
           ",     0.0,   8.00, 12000,   0,     0.0,     0.0,     0.0," +
           (k % 3 == 2 ? "     0.0 N:3 Interval:  2.0\r\n" : "\r\n");
  }
  ASSERT_GT(nmea.size(), 3u << 20);
  for (bool atomic : {false, true}) {
    SCOPED_TRACE(atomic ? "atomic output" : "direct output");
    const std::string out_nmea = dir.Path(atomic ? "a.nmea" : "d.nmea");
    ASSERT_TRUE(RunExport(JobFor(kFormatNmea, in, out_nmea), atomic).ok());
    const std::string got_nmea = test::ReadAll(out_nmea);
    EXPECT_TRUE(got_nmea == nmea) << test::FirstDifference(nmea, got_nmea);
    const std::string out_csv = dir.Path(atomic ? "a.csv" : "d.csv");
    ASSERT_TRUE(RunExport(JobFor(kFormatCsv, in, out_csv), atomic).ok());
    const std::string got_csv = test::ReadAll(out_csv);
    EXPECT_TRUE(got_csv == csv) << test::FirstDifference(csv, got_csv);
  }
}

TEST(ExportLargeOutput, CorruptPingFarIntoALargeFileKeepsEveryPingBeforeIt) {
  constexpr int kPings = 20000;
  constexpr int kBad = 17003;
  TempDir dir;
  LoggedFileBuilder b = QuietFile(kPings);
  test::PutI32(b.bytes(), 128 + static_cast<size_t>(kBad) * 416 + 12, 145);
  const std::string in = dir.Path("BIG.BIN");
  b.WriteTo(in);
  std::string before;
  for (int k = 0; k < kBad; ++k) before += QuietNmea(k);
  const std::string out = dir.Path("big.nmea");
  ExportResult r = RunExport(JobFor(kFormatNmea, in, out), false);
  EXPECT_EQ(r.status, ExportStatus::kCorruptPing);
  EXPECT_NE(r.message.find("ping 17003"), std::string::npos) << r.message;
  const std::string got = test::ReadAll(out);
  EXPECT_TRUE(got == before) << test::FirstDifference(before, got);
  ExportResult atomic = RunExport(JobFor(kFormatCsv, in, dir.Path("big.csv")), true);
  EXPECT_EQ(atomic.status, ExportStatus::kCorruptPing);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"BIG.BIN", "big.nmea"}));
}

// ---- Exports side by side ---------------------------------------------------------------
// Echoes at varying depths and strengths, so that the amplitude gate, the running median and
// the series averages all change from ping to ping.
LoggedFileBuilder VariedFile(int pings, uint32_t seed) {
  TIMERSETTINGS h = test::PlainHeader();
  h.ping_count = 10;
  LoggedFileBuilder b(h);
  uint32_t x = seed;
  auto next = [&x]() {
    x = x * 1664525u + 1013904223u;
    return x >> 8;
  };
  for (int k = 0; k < pings; ++k) {
    PingSpec p;
    p.ping_number = k + 1;
    p.time_utc = kT0 + static_cast<uint32_t>(k);
    p.ping_in_series = k % 10 + 1;
    p.samples = std::vector<uint16_t>(144, 0);
    const size_t pos = 20 + next() % 100;
    const uint16_t amp = static_cast<uint16_t>(150 + next() % 850);
    p.samples[pos - 1] = static_cast<uint16_t>(next() % 100);
    for (size_t j = pos; j < pos + 6; ++j) p.samples[j] = amp;
    p.samples[pos + 7] = static_cast<uint16_t>(next() % 1024);
    p.temperature_c = 4.0f + static_cast<float>(next() % 100) / 10.0f;
    p.battery_v = 11.0f + static_cast<float>(next() % 200) / 100.0f;
    p.altitude_m = static_cast<float>(pos) * 0.0075f;
    b.Ping(p);
  }
  return b;
}

TEST(ExportSideBySide, TwoCsvExportsAtOnceGiveTheSameBytesAsOneAtATime) {
  TempDir dir;
  const std::string a = dir.Path("A.BIN");
  const std::string b = dir.Path("B.BIN");
  VariedFile(3000, 1).WriteTo(a);
  VariedFile(3000, 2).WriteTo(b);
  ASSERT_TRUE(RunExport(JobFor(kFormatCsv, a, dir.Path("a.ref")), false).ok());
  ASSERT_TRUE(RunExport(JobFor(kFormatCsv, b, dir.Path("b.ref")), false).ok());
  const std::string ref_a = test::ReadAll(dir.Path("a.ref"));
  const std::string ref_b = test::ReadAll(dir.Path("b.ref"));
  ASSERT_NE(ref_a, ref_b);
  ASSERT_GT(ref_a.size(), 3000u * 60);  // a header and 3000 rows

  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string out_a = dir.Path("a" + std::to_string(round) + ".log");
    const std::string out_b = dir.Path("b" + std::to_string(round) + ".log");
    const std::string out_a2 = dir.Path("a2_" + std::to_string(round) + ".log");
    ExportResult ra, rb, ra2;
    std::thread ta([&] { ra = RunExport(JobFor(kFormatCsv, a, out_a), round % 2 == 0); });
    std::thread tb([&] { rb = RunExport(JobFor(kFormatCsv, b, out_b), round % 2 == 1); });
    std::thread ta2([&] { ra2 = RunExport(JobFor(kFormatCsv, a, out_a2), false); });
    ta.join();
    tb.join();
    ta2.join();
    EXPECT_TRUE(ra.ok()) << ra.message;
    EXPECT_TRUE(rb.ok()) << rb.message;
    EXPECT_TRUE(ra2.ok()) << ra2.message;
    EXPECT_TRUE(test::ReadAll(out_a) == ref_a) << test::FirstDifference(ref_a, test::ReadAll(out_a));
    EXPECT_TRUE(test::ReadAll(out_b) == ref_b) << test::FirstDifference(ref_b, test::ReadAll(out_b));
    EXPECT_TRUE(test::ReadAll(out_a2) == ref_a);
  }
}

// ---- Blocks of work ---------------------------------------------------------------------
// The pings are shared out in blocks between two workers. Whatever the block size, the
// output and progress are those of a run that takes all the pings as one block, byte for
// byte: for ping counts on and around the block edges, for every format (the CSV's running
// median and series averages carry across blocks), and for a corrupt ping at a block's edge.
struct BlockCase {
  const char* behaviour;
  int pings;
  int corrupt_ping;  // -1: none
};

TEST(ExportBlocks, AnyBlockSizeGivesTheBytesOfOneBlock) {
  constexpr uint32_t kBlock = 7;
  const BlockCase cases[] = {
      {"no ping", 0, -1},
      {"one ping", 1, -1},
      {"one ping short of a block", 6, -1},
      {"one block", 7, -1},
      {"one ping past a block", 8, -1},
      {"two blocks", 14, -1},
      {"three blocks and one ping", 22, -1},
      {"many blocks, the last one part full", 200, -1},
      {"corrupt first ping of the second block", 30, 7},
      {"corrupt last ping of the second block", 30, 13},
      {"corrupt first ping of the third block", 30, 14},
      {"corrupt ping in the last, part-full block", 30, 29},
  };
  TempDir dir;
  int n = 0;
  for (const BlockCase& c : cases) {
    LoggedFileBuilder b = VariedFile(c.pings, 5);
    if (c.corrupt_ping >= 0)
      test::PutI32(b.bytes(), 128 + static_cast<size_t>(c.corrupt_ping) * 416 + 12, 145);
    const std::string in = dir.Path("B" + std::to_string(n++) + ".BIN");
    b.WriteTo(in);
    for (int32_t format : {kFormatText, kFormatNmea, kFormatCsv}) {
      SCOPED_TRACE(std::string(c.behaviour) + ", format " + std::to_string(format));
      ExportResult r[2];
      std::string out[2];
      RecordingProgress progress[2];
      for (int k = 0; k < 2; ++k) {
        const std::string path = dir.Path("b" + std::to_string(k) + ".log");
        ExportOptions options;
        options.block_pings = k == 0 ? UINT32_MAX : kBlock;
        r[k] = ExportLoggerFormat(JobFor(format, in, path), progress[k], options);
        out[k] = test::ReadAll(path);
      }
      EXPECT_EQ(progress[1].calls, progress[0].calls);
      EXPECT_EQ(r[1].status, r[0].status) << r[1].message;
      EXPECT_EQ(r[1].message, r[0].message);
      EXPECT_EQ(r[1].pings_written, r[0].pings_written);
      EXPECT_EQ(r[0].ok(), c.corrupt_ping < 0) << r[0].message;
      EXPECT_TRUE(out[1] == out[0]) << test::FirstDifference(out[0], out[1]);
      EXPECT_EQ(r[0].pings_written,
                static_cast<uint32_t>(c.corrupt_ping < 0 ? c.pings : c.corrupt_ping));
    }
  }
}

}  // namespace
}  // namespace zt

namespace zt {
namespace {

// Sets the stop flag when the progress reaches `at` steps (0: before the run starts).
class StoppingProgress : public ExportProgress {
 public:
  StoppingProgress(std::atomic<bool>* stop, int at) : stop_(stop), at_(at) {
    if (at == 0) *stop = true;
  }
  void StepIt() override {
    if (++steps_ == at_) *stop_ = true;
  }

 private:
  std::atomic<bool>* stop_;
  int at_, steps_ = 0;
};

TEST(ExportStop, StoppedExportLeavesOnlyItsInput) {
  TempDir dir;
  const std::string in = dir.Path("S.BIN");
  QuietFile(400).WriteTo(in);
  for (int at : {0, 5}) {
    for (int32_t format : {kFormatText, kFormatCsv}) {
      SCOPED_TRACE("stopped at step " + std::to_string(at) + ", format " + std::to_string(format));
      std::atomic<bool> stop{false};
      StoppingProgress progress(&stop, at);
      ExportOptions options;
      options.atomic_output = true;
      options.block_pings = 7;
      options.stop = &stop;
      const ExportResult r = ExportLoggerFormat(JobFor(format, in, dir.Path("s.log")), progress, options);
      EXPECT_EQ(r.status, ExportStatus::kStopped) << r.message;
      EXPECT_EQ(dir.Entries().size(), 1u) << "only the input file may remain";
    }
  }
}

}  // namespace
}  // namespace zt
