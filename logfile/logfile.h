// The logged ping file (*.BIN): a 128-byte file header (the TIMERSETTINGS of the timer
// that made the recording), then ping records of one size, back to back, with no trailer.
// Each record is a 64-byte ECHOHEADER, N uint16 samples and a 64-byte ECHOFOOTER.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file.h"
#include "platform/le_bytes.h"
#include "timers/timer_settings.h"

namespace zt {

constexpr uint32_t kFileHeaderSize = 128;
constexpr uint32_t kEchoHeaderSize = 64;
constexpr uint32_t kEchoFooterSize = 64;
constexpr uint32_t kMaxRecordSize = 26816;  // 100 m range

struct RangeEntry {
  int32_t range_mm;
  int32_t samples;
};
constexpr int kRangeTableSize = 16;
extern const RangeEntry range_table[kRangeTableSize];

// Where the file header holds the range (TIMERSETTINGS::range_mm), from which the record
// size follows; every reader of raw header bytes takes it from here.
inline constexpr size_t kHdrRangeMm = offsetof(TIMERSETTINGS, range_mm);
static_assert(kHdrRangeMm == 52);
inline int32_t HeaderRangeMm(const uint8_t* header128) { return LoadI32(header128 + kHdrRangeMm); }

// Samples per ping for a range, or 0 when the range is not in the table.
int32_t SamplesForRange(int32_t range_mm);
// 2 x N + 128, or 0 when the range is not in the table.
uint32_t RecordSizeForRange(int32_t range_mm);

struct ECHOHEADER {
  char signature[4];  // "DATA"
  uint8_t reserved_4[4];
  int32_t ping_number;
  int32_t sample_count;
  uint32_t time_utc;       // seconds since 1970 UTC
  uint16_t time_fraction;  // 1/65536 s
  uint8_t reserved_22[2];
  int32_t ping_in_series;  // 1 .. ping_count
  uint8_t reserved_28[36];
};
static_assert(sizeof(ECHOHEADER) == 64);
static_assert(offsetof(ECHOHEADER, ping_number) == 8);
static_assert(offsetof(ECHOHEADER, sample_count) == 12);
static_assert(offsetof(ECHOHEADER, time_utc) == 16);
static_assert(offsetof(ECHOHEADER, time_fraction) == 20);
static_assert(offsetof(ECHOHEADER, ping_in_series) == 24);

struct ECHOFOOTER {
  uint8_t reserved_0[4];
  int32_t ping_number;
  int32_t sample_count;
  float temperature_c;
  float battery_v;
  float altitude_m;  // the device's own measurement
  float pitch_deg;
  float roll_deg;
  uint8_t reserved_32[32];
};
static_assert(sizeof(ECHOFOOTER) == 64);
static_assert(offsetof(ECHOFOOTER, ping_number) == 4);
static_assert(offsetof(ECHOFOOTER, sample_count) == 8);
static_assert(offsetof(ECHOFOOTER, temperature_c) == 12);
static_assert(offsetof(ECHOFOOTER, battery_v) == 16);
static_assert(offsetof(ECHOFOOTER, altitude_m) == 20);
static_assert(offsetof(ECHOFOOTER, pitch_deg) == 24);
static_assert(offsetof(ECHOFOOTER, roll_deg) == 28);

ECHOHEADER DecodeEchoHeader(const uint8_t* bytes64);
void EncodeEchoHeader(const ECHOHEADER& h, uint8_t* bytes64);
ECHOFOOTER DecodeEchoFooter(const uint8_t* bytes64);
void EncodeEchoFooter(const ECHOFOOTER& f, uint8_t* bytes64);

// Fields read straight from a record (offsets within the record).
inline constexpr size_t kRecPingNumber = 8;
inline constexpr size_t kRecSampleCount = 12;
inline constexpr size_t kRecTimeUtc = 16;
inline constexpr size_t kRecTimeFraction = 20;
inline constexpr size_t kRecPingInSeries = 24;
inline constexpr size_t kFootPingNumber = 4;

struct PINGINDEX {
  int32_t ping_number;
  uint32_t time_utc;
};
static_assert(sizeof(PINGINDEX) == 8);

// Milliseconds and hundredths of a ping time's fraction, truncated.
inline int FractionMilliseconds(uint16_t f) { return static_cast<int>(f * 1000u / 65536u); }
inline int FractionHundredths(uint16_t f) { return static_cast<int>(f * 100u / 65536u); }

// --- Reading operations. Each takes an open file and moves its position; each that needs
// the record size reads the file header again; none keeps state between calls.

// Seeks to 0 and reads 128 bytes; returns the bytes read (or -1).
int64_t ReadFileHeader(platform::File& file, uint8_t* buf128);
// Record size from the header's range, or 0.
uint32_t GetRecordSize(platform::File& file);
// (file size - 128) / record size; 0 without a record size, for a file shorter than its
// header, or when the count does not fit 32 bits (such a file is refused by
// InspectLoggedFile and by the join, with the reason from CountWholePings).
uint32_t GetPingCount(platform::File& file);
// The one rule for the ping count of a file of `file_size` bytes with records of
// `record_size` bytes (not 0): the whole records after the 128-byte file header. False,
// with the reason in *why, when the file is shorter than its header or holds more pings
// than a 32-bit ping index can number (more than 4294967295).
bool CountWholePings(uint64_t file_size, uint32_t record_size, uint32_t* count,
                     std::string* why);
// Reads ping i (0-based) into a buffer of one record size; returns the bytes read.
int64_t ReadPing(platform::File& file, uint8_t* buf, uint32_t i);
// Same with a known record size (no header read), for loops over many pings.
int64_t ReadPingSized(platform::File& file, uint8_t* buf, uint32_t record_size, uint32_t i);
// Fills `count` entries with each ping's ping_number and time_utc, reading the record headers
// only (see ReadPingIndexRange). Returns false if a read failed or the file ended early.
bool BuildPingIndex(platform::File& file, PINGINDEX* entries, uint32_t count);
// The entries of pings first ... first + count - 1, for a known record size. Records smaller
// than two pages are read whole in 1 MiB blocks (every page holds a header); larger ones by
// their headers alone, so a 100 m recording reads a seventh of its pages. False if a read
// failed or the file ended early.
bool ReadPingIndexRange(platform::File& file, uint32_t record_size, uint32_t first,
                        uint32_t count, PINGINDEX* entries);
// The entry of ping i alone (one small read).
bool ReadPingIndexEntry(platform::File& file, uint32_t record_size, uint32_t i, PINGINDEX* entry);
// True only if 128 header bytes were read, record_size is 128 and bytes 128-131 are "DATA".
bool IsLoggedFile(platform::File& file);

inline uint64_t PingOffset(uint32_t record_size, uint32_t i) {
  return kFileHeaderSize + static_cast<uint64_t>(i) * record_size;
}

// What every reader needs to know before it reads a ping.
struct LoggedFileInfo {
  uint8_t header_bytes[kFileHeaderSize];
  TIMERSETTINGS header;
  uint64_t file_size = 0;
  uint32_t record_size = 0;
  int32_t samples = 0;  // N from the range table
  uint32_t ping_count = 0;
  uint64_t trailing_bytes = 0;  // a partial record at the end, not counted
};

// Opens a logged file for reading and refuses, with a message naming the reason, a file
// that cannot be opened, is shorter than its 128-byte header, whose range is not in the
// range table (no record size), or that holds more pings than 32 bits can number. On success `file` is open and `info` filled.
bool OpenLoggedFile(const std::string& path, platform::File* file, LoggedFileInfo* info,
                    std::string* error);
// The same checks on a file that is already open.
bool InspectLoggedFile(platform::File& file, LoggedFileInfo* info, std::string* error);

}  // namespace zt
