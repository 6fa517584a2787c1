// The join: checks, renumbering, progress rule and that a refused or failed join leaves
// nothing behind.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/link.h"
#include "platform/file.h"
#include "tests/logfile/logged_file_builder.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

namespace zt::link {
namespace {

using namespace test;  // the logged-file builder: files, pings, folders

constexpr uint32_t kT0 = 1780000000;  // 2026-05-28 20:26:40 UTC

struct Pair {
  std::string f1, f2, linked;
};

Pair WritePair(const TempDir& dir, const std::string& a, const std::string& b) {
  Pair p{dir.Path("FILE1.BIN"), dir.Path("FILE2.BIN"), dir.Path("LINKED.BIN")};
  WriteAll(p.f1, a);
  WriteAll(p.f2, b);
  return p;
}

LinkResult Link(const Pair& p, bool beside = false, LinkProgress* progress = nullptr) {
  LinkOptions o;
  o.write_beside = beside;
  o.progress = progress;
  return LinkFiles(p.f1, p.f2, p.linked, o);
}

// --- The seam: File 1 ends at its last ping (3 pings from kT0: kT0 + 2).

struct SeamCase {
  const char* name;
  int64_t gap;  // File 2's first ping minus File 1's last
  bool linked;
};

class Seam : public ::testing::TestWithParam<SeamCase> {};

TEST_P(Seam, LinksOnlyWithinThreeHundredSecondsAfterFile1Ends) {
  const SeamCase& c = GetParam();
  TempDir dir;
  const uint32_t last1 = kT0 + 2;
  Pair p = WritePair(dir, LoggedFile(Pings(3, 1, kT0)),
                     LoggedFile(Pings(2, 1, static_cast<uint32_t>(last1 + c.gap))));
  for (bool beside : {false, true}) {
    SCOPED_TRACE(beside ? "written beside" : "written in place");
    LinkResult r = Link(p, beside);
    if (c.linked) {
      EXPECT_EQ(r.outcome, LinkOutcome::kLinked) << r.reason;
      EXPECT_TRUE(test::Exists(p.linked));
      std::filesystem::remove(std::filesystem::u8path(p.linked));
    } else {
      EXPECT_EQ(r.outcome, LinkOutcome::kRefused);
      EXPECT_FALSE(test::Exists(p.linked)) << "a refused join left the Linked file";
      EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"FILE1.BIN", "FILE2.BIN"}));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Gaps, Seam,
    ::testing::Values(SeamCase{"SameSecond", 0, true}, SeamCase{"OneSecond", 1, true},
                      SeamCase{"ThreeHundredSeconds", 300, true},
                      SeamCase{"ThreeHundredOneSeconds", 301, false},
                      SeamCase{"File2BeginsOneSecondBeforeFile1Ends", -1, false},
                      SeamCase{"File2BeginsAnHourBefore", -3600, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SeamReason, NamesTheGapAndTheOrder) {
  TempDir dir;
  Pair p = WritePair(dir, LoggedFile(Pings(1, 1, kT0)), LoggedFile(Pings(1, 2, kT0 + 301)));
  EXPECT_NE(Link(p).reason.find("seam gap of 301 s"), std::string::npos) << Link(p).reason;
  WriteAll(p.f2, LoggedFile(Pings(1, 2, kT0 - 5)));
  EXPECT_NE(Link(p).reason.find("File 2 begins before File 1 ends"), std::string::npos);
}

TEST(SeamNearTheEndOfTime, DoesNotWrapPast32Bits) {
  // t1 + 300 would wrap to a small number in 32 bits; File 2 five seconds later is fine.
  TempDir dir;
  Pair p = WritePair(dir, LoggedFile(Pings(1, 1, 0xFFFFFFF0u)),
                     LoggedFile(Pings(1, 2, 0xFFFFFFF5u)));
  EXPECT_EQ(Link(p).outcome, LinkOutcome::kLinked);
}

// --- Headers must be identical.

class HeaderByte : public ::testing::TestWithParam<size_t> {};

TEST_P(HeaderByte, DifferingRefusedAndNoLinkedFileLeft) {
  TempDir dir;
  std::string h2 = PatternedHeader();
  h2[GetParam()] ^= 0x01;
  Pair p = WritePair(dir, LoggedFile(Pings(3, 1, kT0)), LoggedFile(Pings(2, 4, kT0 + 10), h2));
  for (bool beside : {false, true}) {
    LinkResult r = Link(p, beside);
    EXPECT_EQ(r.outcome, LinkOutcome::kRefused) << "byte " << GetParam();
    EXPECT_NE(r.reason.find("headers differ (first at byte " + std::to_string(GetParam())),
              std::string::npos)
        << r.reason;
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"FILE1.BIN", "FILE2.BIN"}));
  }
}

// Bytes 0-3 (record_size) would make File 2 fail the logged-file test instead; 53 is the
// range's second byte, 40 the timer's start time, 100 the device id.
INSTANTIATE_TEST_SUITE_P(AnyByte, HeaderByte, ::testing::Values(4, 8, 40, 53, 100, 127));

// --- The copy.

TEST(Copy, ThreePlusTwoPingsGiveHeaderAndFiveRecordsFile1Unchanged) {
  TempDir dir;
  std::string a = LoggedFile(Pings(3, 998, kT0), PatternedHeader(), 10);
  std::string b = LoggedFile(Pings(2, 1, kT0 + 60), PatternedHeader(), 50);
  Pair p = WritePair(dir, a, b);
  LinkResult r = Link(p);
  ASSERT_EQ(r.outcome, LinkOutcome::kLinked) << r.reason;
  EXPECT_EQ(r.count1, 3u);
  EXPECT_EQ(r.count2, 2u);
  std::string out = ReadAll(p.linked);
  ASSERT_EQ(out.size(), 128u + 5 * kRecord1m);  // 2208
  // File 1's header and its three records, byte for byte.
  EXPECT_TRUE(std::equal(a.begin(), a.end(), out.begin()));
  // File 2's two records, each once and in order, equal but for the two ping numbers.
  for (size_t k = 0; k < 2; ++k) {
    SCOPED_TRACE("File 2 record " + std::to_string(k));
    std::string want(b.begin() + 128 + k * kRecord1m,
                              b.begin() + 128 + (k + 1) * kRecord1m);
    test::PutU32(want, 8, 1001 + static_cast<uint32_t>(k));
    test::PutU32(want, kFooterAt1m + 4, 1001 + static_cast<uint32_t>(k));
    std::string got(out.begin() + 128 + (3 + k) * kRecord1m,
                             out.begin() + 128 + (4 + k) * kRecord1m);
    EXPECT_EQ(got, want);
  }
}

TEST(Copy, RenumbersFromFile1LastPingInHeaderAndFooter) {
  TempDir dir;
  // File 1's last ping carries 1000; File 2 starts its own count at 1.
  Pair p = WritePair(dir, LoggedFile(Pings(2, 999, kT0)), LoggedFile(Pings(3, 1, kT0 + 2)));
  ASSERT_TRUE(Link(p).ok());
  std::string out = ReadAll(p.linked);
  const uint32_t want[] = {999, 1000, 1001, 1002, 1003};
  for (size_t k = 0; k < 5; ++k) {
    size_t rec = 128 + k * kRecord1m;
    EXPECT_EQ(GetU32(out, rec + 8), want[k]) << "ECHOHEADER ping_number of record " << k;
    EXPECT_EQ(GetU32(out, rec + kFooterAt1m + 4), want[k]) << "ECHOFOOTER ping_number " << k;
    EXPECT_EQ(GetU32(out, rec + 16), k < 2 ? kT0 + k : kT0 + 2 + (k - 2)) << "time of " << k;
  }
}

TEST(Copy, LargerRangeRenumbersAtItsOwnFooter) {
  // 2 m range: 272 samples, record 672 bytes, footer at 64 + 544 = 608.
  TempDir dir;
  Pair p = WritePair(dir, LoggedFile(Pings(1, 7, kT0), PatternedHeader(2000)),
                     LoggedFile(Pings(1, 1, kT0 + 1), PatternedHeader(2000)));
  ASSERT_TRUE(Link(p).ok());
  std::string out = ReadAll(p.linked);
  ASSERT_EQ(out.size(), 128u + 2 * 672);
  EXPECT_EQ(GetU32(out, 128 + 672 + 8), 8u);
  EXPECT_EQ(GetU32(out, 128 + 672 + 608 + 4), 8u);
}

TEST(Copy, PartialTrailingRecordOfFile1IsNotCarried) {
  TempDir dir;
  std::string a = LoggedFile(Pings(2, 1, kT0));
  a.resize(a.size() + 100, '\xEE');
  Pair p = WritePair(dir, a, LoggedFile(Pings(1, 1, kT0 + 2)));
  ASSERT_TRUE(Link(p).ok());
  std::string out = ReadAll(p.linked);
  ASSERT_EQ(out.size(), 128u + 3 * kRecord1m);
  EXPECT_EQ(GetU32(out, 128 + 2 * kRecord1m + 8), 3u);
}

TEST(Copy, ManyBlocksRenumberEveryPing) {
  // 2500 pings in File 2 pass through the join buffer in several blocks (1201 records each).
  TempDir dir;
  Pair p = WritePair(dir, LoggedFile(Pings(1300, 1, kT0)), LoggedFile(Pings(2500, 1, kT0 + 1300)));
  ASSERT_TRUE(Link(p, true).ok());
  std::string out = ReadAll(p.linked);
  ASSERT_EQ(out.size(), 128u + 3800 * kRecord1m);
  for (size_t k = 0; k < 3800; ++k) {
    ASSERT_EQ(GetU32(out, 128 + k * kRecord1m + 8), k + 1) << "record " << k;
    ASSERT_EQ(GetU32(out, 128 + k * kRecord1m + kFooterAt1m + 4), k + 1) << "record " << k;
  }
}

// The copy moves blocks of 1201 records (1 m range) through a ring while File 2 is checked
// beside it: for counts on and around the block edges the Linked file is File 1 as it is,
// then File 2 with both ping numbers of each record carried on, byte for byte.
TEST(Copy, CountsAroundTheBlockEdgesGiveTheWholeJoin) {
  constexpr int kBlock = 1201;
  const struct {
    int count1, count2;
  } cases[] = {{1, 1},
               {kBlock - 1, 1},
               {kBlock, kBlock},
               {kBlock + 1, kBlock - 1},
               {1, kBlock + 1},
               {2 * kBlock, 2 * kBlock + 1},
               {3 * kBlock + 5, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.count1) + " + " + std::to_string(c.count2) + " pings");
    TempDir dir;
    const std::string a = LoggedFile(Pings(c.count1, 40, kT0), PatternedHeader(), 3);
    const std::string b = LoggedFile(Pings(c.count2, 1, kT0 + c.count1), PatternedHeader(), 4);
    Pair p = WritePair(dir, a, b);
    LinkResult r = Link(p, c.count1 % 2 == 0);
    ASSERT_EQ(r.outcome, LinkOutcome::kLinked) << r.reason;
    std::string want = a + b.substr(128);
    for (size_t k = 0; k < static_cast<size_t>(c.count2); ++k) {
      const size_t rec = 128 + (static_cast<size_t>(c.count1) + k) * kRecord1m;
      const uint32_t number = 40 + static_cast<uint32_t>(c.count1 + k);
      test::PutU32(want, rec + 8, number);
      test::PutU32(want, rec + kFooterAt1m + 4, number);
    }
    const std::string got = ReadAll(p.linked);
    EXPECT_TRUE(got == want) << FirstDifference(want, got);
  }
}

// --- Progress.

struct Recorder : LinkProgress {
  std::vector<uint32_t> ranges, positions;
  void Range(uint32_t upper) override { ranges.push_back(upper); }
  void Position(uint32_t pos, uint64_t, uint64_t) override { positions.push_back(pos); }
};

uint64_t g_clock = 0;
uint64_t g_step = 0;
uint64_t FakeNow() { return g_clock += g_step; }

struct ProgressCase {
  const char* name;
  uint64_t ms_per_tick;
  std::vector<uint32_t> positions;
};

class Progress : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(Progress, OneSixtyPlusOneSixtyPingsEndAtTwenty) {
  TempDir dir;
  Pair p = WritePair(dir, LoggedFile(Pings(160, 1, kT0)), LoggedFile(Pings(160, 161, kT0 + 160)));
  Recorder rec;
  LinkOptions o;
  o.progress = &rec;
  g_clock = 0;
  g_step = GetParam().ms_per_tick;
  o.now_ms = FakeNow;
  ASSERT_TRUE(LinkFiles(p.f1, p.f2, p.linked, o).ok());
  EXPECT_EQ(rec.ranges, std::vector<uint32_t>{20});  // (160 + 160) / 16
  EXPECT_EQ(rec.positions, GetParam().positions);
}

// Each file fits one block: the clock is read at the start and after each block. The bar
// moves after File 1's last record (index 159: 159 / 16 = 9) and File 2's (159 + 160 = 319:
// 19) only when two whole tenths have passed; it always ends at 20.
INSTANTIATE_TEST_SUITE_P(
    Clock, Progress,
    ::testing::Values(ProgressCase{"StoppedClockDoesNotMove", 0, {0, 20}},
                      // 99 then 198 ms: 0 and 1 whole tenths, neither exceeds 1.
                      ProgressCase{"UnderTwoTenthsDoesNotMove", 99, {0, 20}},
                      // 199 ms is 1 tenth: no move after File 1; 398 ms after File 2 moves.
                      ProgressCase{"NineteenHundredthsWaitsForTheNextRecord", 199, {0, 19, 20}},
                      ProgressCase{"TwoTenthsMoves", 200, {0, 9, 19, 20}}),
    [](const auto& info) { return std::string(info.param.name); });

struct UpperCase {
  uint32_t count1, count2, upper;
};
class Upper : public ::testing::TestWithParam<UpperCase> {};
TEST_P(Upper, IsTheQuotientsLow16Bits) {
  EXPECT_EQ(ProgressUpperBound(GetParam().count1, GetParam().count2), GetParam().upper);
}
INSTANTIATE_TEST_SUITE_P(
    Counts, Upper,
    ::testing::Values(UpperCase{160, 160, 20}, UpperCase{3, 2, 0}, UpperCase{15, 1, 1},
                      UpperCase{16, 15, 1}, UpperCase{1048560, 0, 65535},
                      UpperCase{1048576, 0, 0},  // 65536 keeps no low bits
                      UpperCase{1048592, 16, 2},
                      UpperCase{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFF}));  // 536870911 & 0xFFFF

// --- Refused inputs.

TEST(Refused, ExistingLinkedPathIsUntouched) {
  TempDir dir;
  Pair p = WritePair(dir, LoggedFile(Pings(2, 1, kT0)), LoggedFile(Pings(2, 3, kT0 + 2)));
  const std::string keep = "keep";
  WriteAll(p.linked, keep);
  for (bool beside : {false, true}) {
    LinkResult r = Link(p, beside);
    EXPECT_EQ(r.outcome, LinkOutcome::kLinkedCreateFailed);
    EXPECT_NE(r.error, 0);
    EXPECT_EQ(r.reason, platform::ErrorText(r.error));
#ifndef _WIN32
    EXPECT_EQ(r.error, EEXIST);
#else
    EXPECT_TRUE(r.error == 80 || r.error == 183) << r.error;  // file exists / already exists
#endif
    EXPECT_EQ(ReadAll(p.linked), keep);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"FILE1.BIN", "FILE2.BIN", "LINKED.BIN"}));
  }
}

TEST(Refused, InputsThatAreNotLoggedFilesCreateNothing) {
  TempDir dir;
  std::string good = LoggedFile(Pings(2, 1, kT0));
  std::string no_data = good;
  no_data[128] = 'X';  // "XATA"
  std::string bad_size = good;
  bad_size[0] = 64;  // record_size 64
  std::string header_only(good.begin(), good.begin() + 128);
  struct Case {
    const char* name;
    std::string a, b;
    LinkOutcome want;
  } cases[] = {
      {"File 1 without DATA", no_data, good, LinkOutcome::kFile1Invalid},
      {"File 1 record_size 64", bad_size, good, LinkOutcome::kFile1Invalid},
      {"File 1 header only", header_only, good, LinkOutcome::kFile1Invalid},
      {"File 1 empty", {}, good, LinkOutcome::kFile1Invalid},
      {"File 2 without DATA", good, no_data, LinkOutcome::kFile2Invalid},
      {"File 2 header only", good, header_only, LinkOutcome::kFile2Invalid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pair p = WritePair(dir, c.a, c.b);
    EXPECT_EQ(Link(p).outcome, c.want);
    EXPECT_FALSE(test::Exists(p.linked));
  }
}

TEST(Refused, MissingInputGivesTheSystemText) {
  TempDir dir;
  Pair p{dir.Path("NONE1.BIN"), dir.Path("NONE2.BIN"), dir.Path("LINKED.BIN")};
  LinkResult r = Link(p);
  EXPECT_EQ(r.outcome, LinkOutcome::kFile1OpenFailed);
  EXPECT_EQ(r.reason, platform::ErrorText(r.error));
  WriteAll(p.f1, LoggedFile(Pings(1, 1, kT0)));
  r = Link(p);
  EXPECT_EQ(r.outcome, LinkOutcome::kFile2OpenFailed);
  EXPECT_FALSE(test::Exists(p.linked));
}

TEST(Refused, LoggedFileWithoutWholePingOrWithUnknownRange) {
  TempDir dir;
  std::string good = LoggedFile(Pings(2, 1, kT0));
  // "DATA" and part of a record: passes the logged-file test but holds no ping.
  std::string no_ping(good.begin(), good.begin() + 128 + 100);
  std::string h2500 = PatternedHeader(2500);
  std::string range2500 = LoggedFile(Pings(2, 1, kT0), h2500);
  std::string range2500b = LoggedFile(Pings(2, 3, kT0 + 2), h2500);
  struct Case {
    const char* name;
    std::string a, b;
    const char* reason;
  } cases[] = {
      {"File 1 without a whole ping", no_ping, good, "File 1 has no pings"},
      {"File 2 without a whole ping", good, no_ping, "File 2 has no pings"},
      {"both of range 2500 mm", range2500, range2500b,
       "File 1's range of 2500 mm is not one of the logger's ranges"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pair p = WritePair(dir, c.a, c.b);
    for (bool beside : {false, true}) {
      LinkResult r = Link(p, beside);
      EXPECT_EQ(r.outcome, LinkOutcome::kRefused);
      EXPECT_NE(r.reason.find(c.reason), std::string::npos) << r.reason;
      EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"FILE1.BIN", "FILE2.BIN"}));
    }
  }
}

TEST(Refused, File2RecordWhoseSampleCountDoesNotMatchItsRange) {
  TempDir dir;
  auto pings2 = Pings(3, 1, kT0 + 5);
  pings2[1].sample_count = 100;  // its footer would be looked for at 64 + 200
  Pair p = WritePair(dir, LoggedFile(Pings(3, 1, kT0)), LoggedFile(pings2));
  for (bool beside : {false, true}) {
    LinkResult r = Link(p, beside);
    EXPECT_EQ(r.outcome, LinkOutcome::kRefused);
    EXPECT_NE(r.reason.find("File 2's ping at index 1 (ping_number 2) has sample_count 100"),
              std::string::npos)
        << r.reason;
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"FILE1.BIN", "FILE2.BIN"}));
  }
}

TEST(Refused, TruncatedFile1NeverCrashesNorLeavesAPartialLinkedFile) {
  // File 1 of two pings cut anywhere: either it still holds whole pings and those are
  // linked, or the join is refused and nothing is left.
  std::string good = LoggedFile(Pings(2, 1, kT0));
  for (size_t cut : {0, 1, 4, 64, 127, 128, 129, 131, 132, 200, 543, 544, 545, 700, 959, 960}) {
    SCOPED_TRACE("File 1 cut at " + std::to_string(cut));
    TempDir dir;
    Pair p = WritePair(dir, std::string(good.begin(), good.begin() + cut),
                       LoggedFile(Pings(1, 9, kT0 + 2)));
    LinkResult r = Link(p, cut % 2 == 0);
    // Whole pings of File 1: (cut - 128) / 416.
    const size_t whole = cut >= 128 ? (cut - 128) / kRecord1m : 0;
    if (whole > 0) {
      EXPECT_EQ(r.outcome, LinkOutcome::kLinked) << r.reason;
      EXPECT_EQ(ReadAll(p.linked).size(), 128 + (whole + 1) * kRecord1m);
    } else {
      EXPECT_NE(r.outcome, LinkOutcome::kLinked);
      EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"FILE1.BIN", "FILE2.BIN"}));
    }
  }
}

// --- Failing writes.

#ifndef _WIN32
TEST(FullDisk, JoinReportsTheSystemText) {
  TempDir dir;
  Pair p = WritePair(dir, LoggedFile(Pings(3, 1, kT0)), LoggedFile(Pings(2, 4, kT0 + 3)));
  platform::File f1, f2, out;
  ASSERT_TRUE(f1.OpenRead(p.f1));
  ASSERT_TRUE(f2.OpenRead(p.f2));
  ASSERT_TRUE(out.Create("/dev/full", platform::CreateMode::kAlways));
  LinkResult r = JoinFiles(f1, f2, out, LinkOptions{});
  EXPECT_EQ(r.outcome, LinkOutcome::kIoFailed);
  EXPECT_EQ(r.error, ENOSPC);
  EXPECT_EQ(r.reason, "writing the Linked file: " + std::string(std::strerror(ENOSPC)));
}

// A file-size limit makes writes fail part way like a full disk does, on a real folder.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim = old_;
    lim.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lim);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, old_handler_);
  }

 private:
  rlimit old_;
  void (*old_handler_)(int);
};

TEST(FullDisk, FailedWriteLeavesNoLinkedFile) {
  TempDir dir;
  Pair p = WritePair(dir, LoggedFile(Pings(3, 1, kT0)), LoggedFile(Pings(2, 4, kT0 + 3)));
  for (bool beside : {false, true}) {
    LinkResult r;
    {
      FileSizeLimit limit(1000);  // the Linked file needs 2208 bytes
      r = Link(p, beside);
    }
    EXPECT_EQ(r.outcome, LinkOutcome::kIoFailed);
    EXPECT_EQ(r.error, EFBIG);
    EXPECT_NE(r.reason.find(std::strerror(EFBIG)), std::string::npos) << r.reason;
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"FILE1.BIN", "FILE2.BIN"}));
  }
}

// File 2 is checked beside the copy of File 1, whose first block's write fails: the check's
// refusal (here of File 2's last record) is still what is reported, as if it came first.
TEST(FullDisk, File2RefusalComesBeforeAFailedWrite) {
  TempDir dir;
  auto pings2 = Pings(5000, 1, kT0 + 5000);
  pings2.back().sample_count = 100;
  Pair p = WritePair(dir, LoggedFile(Pings(5000, 1, kT0)), LoggedFile(pings2));
  for (bool beside : {false, true}) {
    LinkResult r;
    {
      FileSizeLimit limit(1000);
      r = Link(p, beside);
    }
    EXPECT_EQ(r.outcome, LinkOutcome::kRefused) << r.reason;
    EXPECT_NE(r.reason.find("File 2's ping at index 4999"), std::string::npos) << r.reason;
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"FILE1.BIN", "FILE2.BIN"}));
  }
}

// File 1's last ping lies beyond 4 GiB: the seam check must read it there. The records in
// between are a hole in a sparse file; the Linked file goes to /dev/null.
TEST(LargeFile, LastPingOfFile1Beyond4GiBIsFound) {
  TempDir dir;
  const uint32_t count1 = 10400000;  // 128 + 10400000 x 416 = 4 326 400 128 bytes
  const uint64_t last_at = 128 + uint64_t{count1 - 1} * kRecord1m;
  ASSERT_GT(last_at, 0x100000000ull);
  std::string f1 = dir.Path("BIG.BIN");
  {
    platform::File f;
    ASSERT_TRUE(f.Create(f1, platform::CreateMode::kNew));
    std::string head = LoggedFile(Pings(1, 1, kT0 - 100000));
    ASSERT_TRUE(f.WriteAll(head.data(), head.size()));
    std::string last = LoggedFile(Pings(1, static_cast<int32_t>(count1), kT0)).substr(128);
    ASSERT_TRUE(f.Seek(last_at));
    ASSERT_TRUE(f.WriteAll(last.data(), last.size()));
    ASSERT_TRUE(f.Close());
  }
  std::string f2 = dir.Path("FILE2.BIN");
  WriteAll(f2, LoggedFile(Pings(1, 1, kT0 + 300)));
  platform::File a, b, out;
  ASSERT_TRUE(a.OpenRead(f1));
  ASSERT_TRUE(b.OpenRead(f2));
  ASSERT_TRUE(out.Create("/dev/null", platform::CreateMode::kAlways));
  LinkResult r = JoinFiles(a, b, out, LinkOptions{});
  EXPECT_EQ(r.outcome, LinkOutcome::kLinked) << r.reason;
  EXPECT_EQ(r.count1, count1);
}

// The join counts pings by the readers' rule on a size read after the header: a File 1
// longer than 2^32 - 1 pings (sparse; Wine cannot lengthen a file that far) is refused with the count it would need; one that
// shrinks below its header in between meets the same rule (see CountWholePings' table).
TEST(Refused, File1WithMorePingsThanThirtyTwoBitsCanNumber) {
  TempDir dir;
  Pair p = WritePair(dir, LoggedFile(Pings(1, 1, kT0)), LoggedFile(Pings(1, 2, kT0 + 1)));
  std::error_code ec;
  std::filesystem::resize_file(std::filesystem::u8path(p.f1),
                               128 + (uint64_t{UINT32_MAX} + 1) * kRecord1m, ec);
  ASSERT_FALSE(ec) << "could not lengthen File 1: " << ec.message();
  LinkResult r = Link(p, true);
  EXPECT_EQ(r.outcome, LinkOutcome::kRefused);
  EXPECT_NE(r.reason.find("File 1"), std::string::npos) << r.reason;
  EXPECT_NE(r.reason.find("4294967295"), std::string::npos) << r.reason;
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"FILE1.BIN", "FILE2.BIN"}));
}
#endif

// --- ShowFileTimes.

TEST(Times, BeginAndEndTextsInLocalTime) {
  // The tests run with TZ=UTC. 1780000000 s = day 20601 + 73600 s = 2026-05-28 20:26:40.
  EXPECT_EQ(BeginText(0), "Begin: 00:00:00 01.01.1970 (Local)");
  EXPECT_EQ(BeginText(1780000000), "Begin: 20:26:40 28.05.2026 (Local)");
  EXPECT_EQ(EndText(1780000000), "End:   20:26:40 28.05.2026 (Local)");
  EXPECT_EQ(EndText(946684799), "End:   23:59:59 31.12.1999 (Local)");
}

TEST(Times, OfFirstAndLastPing) {
  TempDir dir;
  std::string f = dir.Path("A.BIN");
  WriteAll(f, LoggedFile(Pings(4, 1, 946684799)));  // 1999-12-31 23:59:59 + 3 s
  FileTimes t = ShowFileTimes(f);
  EXPECT_EQ(t.status, TimesStatus::kOk);
  EXPECT_EQ(t.ping_count, 4u);
  EXPECT_EQ(t.begin, "Begin: 23:59:59 31.12.1999 (Local)");
  EXPECT_EQ(t.end, "End:   00:00:02 01.01.2000 (Local)");
}

TEST(Times, RefusedFilesGiveEmptyTexts) {
  TempDir dir;
  std::string good = LoggedFile(Pings(2, 1, kT0));
  struct Case {
    const char* name;
    std::string bytes;
    TimesStatus want;
  } cases[] = {
      {"not DATA", [&] { auto b = good; b[129] = 'B'; return b; }(), TimesStatus::kInvalidFile},
      {"header only", std::string(good.begin(), good.begin() + 128),
       TimesStatus::kInvalidFile},
      {"short", std::string(good.begin(), good.begin() + 60), TimesStatus::kInvalidFile},
      {"unknown range", LoggedFile(Pings(2, 1, kT0), PatternedHeader(2500)),
       TimesStatus::kInvalidFile},
      {"no whole ping", std::string(good.begin(), good.begin() + 128 + 415),
       TimesStatus::kNoPings},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string f = dir.Path("X.BIN");
    WriteAll(f, c.bytes);
    FileTimes t = ShowFileTimes(f);
    EXPECT_EQ(t.status, c.want);
    EXPECT_EQ(t.begin, "");
    EXPECT_EQ(t.end, "");
  }
  FileTimes t = ShowFileTimes(dir.Path("MISSING.BIN"));
  EXPECT_EQ(t.status, TimesStatus::kOpenFailed);
  EXPECT_NE(t.error, 0);
}

}  // namespace
}  // namespace zt::link
