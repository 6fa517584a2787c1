// The logged ping file: record sizes, ping counts, ping locations, time fractions, the
// validity test, the ping index and the refusals of unreadable files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "logfile/logfile.h"
#include "platform/file.h"
#include "tests/logfile/logged_file_builder.h"

namespace zt {
namespace {

using test::LoggedFileBuilder;
using test::PingSpec;
using test::TempDir;

constexpr uint32_t kT0 = 1768472430;  // 2026-01-15 10:20:30 UTC

TIMERSETTINGS HeaderWithRange(int32_t range_mm) {
  TIMERSETTINGS h = test::PlainHeader();
  h.range_mm = range_mm;
  return h;
}

PingSpec NumberedPing(int32_t number, uint32_t time_utc) {
  PingSpec p;
  p.ping_number = number;
  p.time_utc = time_utc;
  p.samples = test::Samples(8, static_cast<uint16_t>(number & 0x3FF));
  return p;
}

// Writes the builder's bytes and opens them for reading.
void WriteAndOpen(const LoggedFileBuilder& b, const TempDir& dir, const std::string& name,
                  platform::File* f) {
  const std::string path = dir.Path(name);
  b.WriteTo(path);
  ASSERT_TRUE(f->OpenRead(path)) << path;
}

TEST(RangeTable, EveryKnownRangeGivesTwiceItsSamplesPlus128Bytes) {
  TempDir dir;
  for (const test::RangeRow& row : test::KnownRanges()) {
    SCOPED_TRACE("range_mm " + std::to_string(row.range_mm));
    LoggedFileBuilder b(HeaderWithRange(row.range_mm));
    platform::File f;
    WriteAndOpen(b, dir, "r" + std::to_string(row.range_mm) + ".BIN", &f);
    EXPECT_EQ(GetRecordSize(f), static_cast<uint32_t>(2 * row.samples + 128));
  }
}

TEST(RangeTable, RangeNotInTheTableGivesRecordSizeZero) {
  TempDir dir;
  for (int32_t range : {2500, 0, -1000, 999, 1001, 100001, 110000}) {
    SCOPED_TRACE("range_mm " + std::to_string(range));
    LoggedFileBuilder b(HeaderWithRange(range), 144);
    b.Ping(NumberedPing(1, kT0));
    platform::File f;
    WriteAndOpen(b, dir, "bad" + std::to_string(range) + ".BIN", &f);
    EXPECT_EQ(GetRecordSize(f), 0u);
  }
}

TEST(PingCount, FileOfOnlyTheHeaderHasNoPings) {
  TempDir dir;
  LoggedFileBuilder b(HeaderWithRange(1000));
  platform::File f;
  WriteAndOpen(b, dir, "empty.BIN", &f);
  EXPECT_EQ(f.Size(), 128);
  EXPECT_EQ(GetRecordSize(f), 416u);
  EXPECT_EQ(GetPingCount(f), 0u);
}

TEST(PingCount, TrailingPartialRecordIsNotCounted) {
  TempDir dir;
  LoggedFileBuilder b(HeaderWithRange(2000));
  for (int k = 0; k < 3; ++k) b.Ping(NumberedPing(k + 1, kT0 + k));
  b.Trailing(100);
  platform::File f;
  WriteAndOpen(b, dir, "three.BIN", &f);
  EXPECT_EQ(f.Size(), 128 + 3 * 672 + 100);
  EXPECT_EQ(GetRecordSize(f), 672u);
  EXPECT_EQ(GetPingCount(f), 3u);
}

TEST(PingCount, PartialRecordAloneGivesNoPings) {
  TempDir dir;
  LoggedFileBuilder b(HeaderWithRange(1000));
  b.Trailing(415);
  platform::File f;
  WriteAndOpen(b, dir, "partial.BIN", &f);
  EXPECT_EQ(GetPingCount(f), 0u);
}

TEST(ReadPing, PingFiveOfA1000mmFileStartsAtOffset2208) {
  TempDir dir;
  LoggedFileBuilder b(HeaderWithRange(1000));
  for (int k = 0; k < 8; ++k) b.Ping(NumberedPing(100 + k, kT0 + 10 * k));
  platform::File f;
  WriteAndOpen(b, dir, "eight.BIN", &f);
  std::vector<uint8_t> rec(416, 0xEE);
  ASSERT_EQ(ReadPing(f, rec.data(), 5), 416);
  const std::string& bytes = b.bytes();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(rec.data()), rec.size()),
            bytes.substr(2208, 416));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(rec.data()), 4), "DATA");
  EXPECT_EQ(rec[8], 105);  // ping_number 105, little-endian
}

TEST(ReadPing, PingZeroStartsRightAfterTheFileHeader) {
  TempDir dir;
  for (int32_t range : {1000, 10000, 100000}) {
    SCOPED_TRACE("range_mm " + std::to_string(range));
    LoggedFileBuilder b(HeaderWithRange(range));
    b.Ping(NumberedPing(7, kT0)).Ping(NumberedPing(8, kT0 + 1));
    platform::File f;
    WriteAndOpen(b, dir, "two" + std::to_string(range) + ".BIN", &f);
    std::vector<uint8_t> rec(b.record_size(), 0);
    ASSERT_EQ(ReadPing(f, rec.data(), 0), static_cast<int64_t>(b.record_size()));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(rec.data()), rec.size()),
              b.bytes().substr(128, b.record_size()));
  }
}

TEST(ReadPing, ReadFileHeaderReturnsTheFirst128Bytes) {
  TempDir dir;
  LoggedFileBuilder b(HeaderWithRange(1500));
  b.Ping(NumberedPing(1, kT0));
  platform::File f;
  WriteAndOpen(b, dir, "hdr.BIN", &f);
  uint8_t hdr[128];
  ASSERT_EQ(ReadFileHeader(f, hdr), 128);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(hdr), 128), b.bytes().substr(0, 128));
}

struct FractionCase {
  uint16_t fraction;
  int milliseconds;
  int hundredths;
};

TEST(ReadPing, ShortReadReturnsTheBytesReadAndLeavesTheRestOfTheBuffer) {
  TempDir dir;
  LoggedFileBuilder b(HeaderWithRange(1000));
  for (int k = 0; k < 3; ++k) b.Ping(NumberedPing(k + 1, kT0 + k));
  b.Trailing(100, '\x11');
  platform::File f;
  WriteAndOpen(b, dir, "cut.BIN", &f);
  std::vector<uint8_t> rec(416, 0xEE);
  EXPECT_EQ(ReadPing(f, rec.data(), 3), 100);
  EXPECT_EQ(rec[0], 0x11);
  EXPECT_EQ(rec[99], 0x11);
  EXPECT_EQ(rec[100], 0xEE);
  EXPECT_EQ(rec[415], 0xEE);
  std::vector<uint8_t> beyond(416, 0xEE);
  EXPECT_EQ(ReadPing(f, beyond.data(), 4), 0);
  EXPECT_EQ(beyond[0], 0xEE);
}

TEST(ReadPing, ReadFileHeaderOfAShortFileReturnsTheBytesRead) {
  TempDir dir;
  LoggedFileBuilder b(HeaderWithRange(1000));
  b.bytes().resize(100);
  platform::File f;
  WriteAndOpen(b, dir, "short.BIN", &f);
  uint8_t hdr[128];
  std::fill(hdr, hdr + 128, 0xEE);
  EXPECT_EQ(ReadFileHeader(f, hdr), 100);
  EXPECT_EQ(hdr[0], 128);
  EXPECT_EQ(hdr[100], 0xEE);
}

TEST(TimeFraction, MillisecondsAndHundredthsAreTruncated) {
  const FractionCase cases[] = {
      {0, 0, 0},         {32768, 500, 50}, {65535, 999, 99},
      {16384, 250, 25},  {655, 9, 0},      {656, 10, 1},
      {49152, 750, 75},  {1, 0, 0},
  };
  for (const FractionCase& c : cases) {
    SCOPED_TRACE("time_fraction " + std::to_string(c.fraction));
    EXPECT_EQ(FractionMilliseconds(c.fraction), c.milliseconds);
    EXPECT_EQ(FractionHundredths(c.fraction), c.hundredths);
  }
}

TEST(IsLoggedFile, WellFormedFileIsALoggedFile) {
  TempDir dir;
  LoggedFileBuilder b(HeaderWithRange(1000));
  b.Ping(NumberedPing(1, kT0));
  platform::File f;
  WriteAndOpen(b, dir, "good.BIN", &f);
  EXPECT_TRUE(IsLoggedFile(f));
}

TEST(IsLoggedFile, RangeIsNotPartOfTheTest) {
  TempDir dir;
  LoggedFileBuilder b(HeaderWithRange(2500), 144);
  b.Ping(NumberedPing(1, kT0));
  platform::File f;
  WriteAndOpen(b, dir, "r2500.BIN", &f);
  EXPECT_TRUE(IsLoggedFile(f));
}

TEST(IsLoggedFile, BadSignatureOrHeaderSizeOrMissingFirstPingFails) {
  struct Case {
    const char* name;
    void (*damage)(LoggedFileBuilder&);
  };
  const Case cases[] = {
      {"signature DATB", [](LoggedFileBuilder& b) { b.bytes()[131] = 'B'; }},
      {"signature data", [](LoggedFileBuilder& b) { b.bytes().replace(128, 4, "data"); }},
      {"first int32 is 129", [](LoggedFileBuilder& b) { test::PutI32(b.bytes(), 0, 129); }},
      {"first int32 is 0", [](LoggedFileBuilder& b) { test::PutI32(b.bytes(), 0, 0); }},
      {"first int32 is 128 << 8", [](LoggedFileBuilder& b) { test::PutI32(b.bytes(), 0, 128 << 8); }},
      {"only the header", [](LoggedFileBuilder& b) { b.bytes().resize(128); }},
      {"header cut short", [](LoggedFileBuilder& b) { b.bytes().resize(100); }},
      {"signature cut short", [](LoggedFileBuilder& b) { b.bytes().resize(130); }},
  };
  TempDir dir;
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoggedFileBuilder b(HeaderWithRange(1000));
    b.Ping(NumberedPing(1, kT0));
    c.damage(b);
    platform::File f;
    WriteAndOpen(b, dir, "damaged" + std::to_string(n++) + ".BIN", &f);
    EXPECT_FALSE(IsLoggedFile(f));
  }
}

// The index is read in large blocks: files whose records span several blocks, with record
// sizes that do and do not divide a block evenly.
TEST(BuildPingIndex, EveryEntryIsRightAcrossSeveralReadBlocks) {
  struct Case {
    int32_t range_mm;
    uint32_t pings;
    size_t trailing;
  };
  const Case cases[] = {
      {1000, 6000, 0},    // 416-byte records, 2.5 MB
      {100000, 100, 77},  // 26816-byte records, 2.7 MB, a partial record at the end
      {5000, 2000, 0},    // 1472-byte records, 2.9 MB
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE("range_mm " + std::to_string(c.range_mm));
    LoggedFileBuilder b(HeaderWithRange(c.range_mm));
    for (uint32_t k = 0; k < c.pings; ++k) {
      PingSpec p;
      p.ping_number = static_cast<int32_t>(1000 + 7 * k);
      p.time_utc = kT0 + 3 * k;
      b.Ping(p);
    }
    b.Trailing(c.trailing);
    ASSERT_GT(b.bytes().size(), 2u << 20);
    platform::File f;
    WriteAndOpen(b, dir, "index" + std::to_string(c.range_mm) + ".BIN", &f);
    ASSERT_EQ(GetPingCount(f), c.pings);
    std::vector<PINGINDEX> index(c.pings, PINGINDEX{-1, 0});
    EXPECT_TRUE(BuildPingIndex(f, index.data(), c.pings));
    int wrong = 0;
    for (uint32_t k = 0; k < c.pings; ++k) {
      if (index[k].ping_number != static_cast<int32_t>(1000 + 7 * k) ||
          index[k].time_utc != kT0 + 3 * k) {
        if (++wrong <= 5)
          ADD_FAILURE() << "entry " << k << ": ping_number " << index[k].ping_number
                        << ", time_utc " << index[k].time_utc;
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST(BuildPingIndex, TakesTimesAboveTwoToThe31AsUnsigned) {
  TempDir dir;
  LoggedFileBuilder b(HeaderWithRange(1000));
  b.Ping(NumberedPing(1, 0x80000000u)).Ping(NumberedPing(2, 0xFFFFFFFFu));
  platform::File f;
  WriteAndOpen(b, dir, "late.BIN", &f);
  PINGINDEX index[2] = {};
  EXPECT_TRUE(BuildPingIndex(f, index, 2));
  EXPECT_EQ(index[0].time_utc, 0x80000000u);
  EXPECT_EQ(index[1].time_utc, 0xFFFFFFFFu);
  EXPECT_EQ(index[1].ping_number, 2);
}

// A reader refuses what it cannot read before it reads a ping, with a message that says why.
TEST(OpenLoggedFile, RefusesAFileShorterThanItsHeader) {
  TempDir dir;
  for (size_t size : {0u, 1u, 100u, 127u}) {
    SCOPED_TRACE("size " + std::to_string(size));
    LoggedFileBuilder b(HeaderWithRange(1000));
    b.bytes().resize(size);
    const std::string path = dir.Path("short" + std::to_string(size) + ".BIN");
    b.WriteTo(path);
    platform::File f;
    LoggedFileInfo info;
    std::string error;
    EXPECT_FALSE(OpenLoggedFile(path, &f, &info, &error));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_NE(error.find("128"), std::string::npos) << error;
  }
}

TEST(OpenLoggedFile, RefusesARangeNotInTheTableNamingIt) {
  TempDir dir;
  LoggedFileBuilder b(HeaderWithRange(2500), 144);
  b.Ping(NumberedPing(1, kT0));
  const std::string path = dir.Path("r2500.BIN");
  b.WriteTo(path);
  platform::File f;
  LoggedFileInfo info;
  std::string error;
  EXPECT_FALSE(OpenLoggedFile(path, &f, &info, &error));
  EXPECT_NE(error.find("2500"), std::string::npos) << error;
}

TEST(OpenLoggedFile, RefusesAMissingFile) {
  TempDir dir;
  platform::File f;
  LoggedFileInfo info;
  std::string error;
  EXPECT_FALSE(OpenLoggedFile(dir.Path("absent.BIN"), &f, &info, &error));
  EXPECT_FALSE(error.empty());
}

TEST(OpenLoggedFile, DescribesAReadableFile) {
  TempDir dir;
  LoggedFileBuilder b(HeaderWithRange(2000));
  for (int k = 0; k < 3; ++k) b.Ping(NumberedPing(k + 1, kT0 + k));
  b.Trailing(100);
  const std::string path = dir.Path("ok.BIN");
  b.WriteTo(path);
  platform::File f;
  LoggedFileInfo info;
  std::string error;
  ASSERT_TRUE(OpenLoggedFile(path, &f, &info, &error)) << error;
  EXPECT_EQ(info.record_size, 672u);
  EXPECT_EQ(info.samples, 272);
  EXPECT_EQ(info.ping_count, 3u);
  EXPECT_EQ(info.trailing_bytes, 100u);
  EXPECT_EQ(info.file_size, 128u + 3 * 672 + 100);
  EXPECT_EQ(info.header.range_mm, 2000);
  EXPECT_EQ(info.header.device_id, 1234);
}

// One rule for the ping count, shared by every reader and the join: whole records after
// the header, a file shorter than its header refused, more than 32 bits can number refused.
TEST(CountWholePings, CountsOrRefusesWithAReason) {
  constexpr uint64_t kMax = UINT32_MAX;
  struct Case {
    uint64_t file_size;
    bool ok;
    uint32_t count;
    const char* reason_names;  // what a refusal's reason mentions
  };
  const Case cases[] = {
      {0, false, 0, "128"},
      {127, false, 0, "128"},  // shrank below its header after the header was read
      {128, true, 0, ""},
      {128 + 3 * 416 + 5, true, 3, ""},
      {128 + kMax * 416, true, UINT32_MAX, ""},
      {128 + kMax * 416 + 415, true, UINT32_MAX, ""},
      {128 + (kMax + 1) * 416, false, 0, "4294967295"},
      {UINT64_MAX, false, 0, "4294967295"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("file size " + std::to_string(c.file_size));
    uint32_t count = 7;
    std::string why;
    EXPECT_EQ(CountWholePings(c.file_size, 416, &count, &why), c.ok);
    EXPECT_EQ(count, c.count);
    EXPECT_NE(why.find(c.reason_names), std::string::npos) << why;
  }
}

#ifndef _WIN32
// A file as long as 2^32 pings of the smallest record (sparse: it costs no disk; Wine
// cannot lengthen a file that far) is refused by the reader with a reason, not read as a
// count cut to 32 bits.
TEST(OpenLoggedFile, RefusesMorePingsThanThirtyTwoBitsCanNumber) {
  int32_t range = 0;
  uint32_t smallest = UINT32_MAX;
  for (const test::RangeRow& r : test::KnownRanges()) {
    const uint32_t size = 2u * static_cast<uint32_t>(r.samples) + 128u;
    if (size < smallest) {
      smallest = size;
      range = r.range_mm;
    }
  }
  TempDir dir;
  LoggedFileBuilder b(HeaderWithRange(range));
  b.Ping(NumberedPing(1, kT0));
  const std::string path = dir.Path("huge.BIN");
  b.WriteTo(path);
  std::error_code ec;
  std::filesystem::resize_file(std::filesystem::u8path(path),
                               128 + (uint64_t{UINT32_MAX} + 1) * smallest, ec);
  ASSERT_FALSE(ec) << "could not lengthen the file: " << ec.message();
  platform::File f;
  LoggedFileInfo info;
  std::string error;
  EXPECT_FALSE(OpenLoggedFile(path, &f, &info, &error));
  EXPECT_NE(error.find("4294967295"), std::string::npos) << error;
  ASSERT_TRUE(f.OpenRead(path));
  EXPECT_EQ(GetPingCount(f), 0u);
}
#endif

}  // namespace
}  // namespace zt
