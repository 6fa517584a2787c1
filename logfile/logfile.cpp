#include "logfile/logfile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/le_bytes.h"

namespace zt {

const RangeEntry range_table[kRangeTableSize] = {
    {1000, 144},   {1500, 208},   {2000, 272},   {3000, 400},   {5000, 672},    {10000, 1344},
    {15000, 2000}, {20000, 2672}, {30000, 4000}, {40000, 5344}, {50000, 6672}, {60000, 8000},
    {70000, 9344}, {80000, 10672}, {90000, 12000}, {100000, 13344},
};

int32_t SamplesForRange(int32_t range_mm) {
  for (const RangeEntry& e : range_table)
    if (e.range_mm == range_mm) return e.samples;
  return 0;
}

uint32_t RecordSizeForRange(int32_t range_mm) {
  int32_t n = SamplesForRange(range_mm);
  return n == 0 ? 0u : static_cast<uint32_t>(n) * 2u + 128u;
}

ECHOHEADER DecodeEchoHeader(const uint8_t* b) {
  ECHOHEADER h;
  std::memcpy(h.signature, b, 4);
  std::memcpy(h.reserved_4, b + 4, 4);
  h.ping_number = LoadI32(b + 8);
  h.sample_count = LoadI32(b + 12);
  h.time_utc = LoadU32(b + 16);
  h.time_fraction = LoadU16(b + 20);
  std::memcpy(h.reserved_22, b + 22, 2);
  h.ping_in_series = LoadI32(b + 24);
  std::memcpy(h.reserved_28, b + 28, 36);
  return h;
}

void EncodeEchoHeader(const ECHOHEADER& h, uint8_t* b) {
  std::memcpy(b, h.signature, 4);
  std::memcpy(b + 4, h.reserved_4, 4);
  StoreI32(b + 8, h.ping_number);
  StoreI32(b + 12, h.sample_count);
  StoreU32(b + 16, h.time_utc);
  StoreU16(b + 20, h.time_fraction);
  std::memcpy(b + 22, h.reserved_22, 2);
  StoreI32(b + 24, h.ping_in_series);
  std::memcpy(b + 28, h.reserved_28, 36);
}

ECHOFOOTER DecodeEchoFooter(const uint8_t* b) {
  ECHOFOOTER f;
  std::memcpy(f.reserved_0, b, 4);
  f.ping_number = LoadI32(b + 4);
  f.sample_count = LoadI32(b + 8);
  f.temperature_c = LoadF32(b + 12);
  f.battery_v = LoadF32(b + 16);
  f.altitude_m = LoadF32(b + 20);
  f.pitch_deg = LoadF32(b + 24);
  f.roll_deg = LoadF32(b + 28);
  std::memcpy(f.reserved_32, b + 32, 32);
  return f;
}

void EncodeEchoFooter(const ECHOFOOTER& f, uint8_t* b) {
  std::memcpy(b, f.reserved_0, 4);
  StoreI32(b + 4, f.ping_number);
  StoreI32(b + 8, f.sample_count);
  StoreF32(b + 12, f.temperature_c);
  StoreF32(b + 16, f.battery_v);
  StoreF32(b + 20, f.altitude_m);
  StoreF32(b + 24, f.pitch_deg);
  StoreF32(b + 28, f.roll_deg);
  std::memcpy(b + 32, f.reserved_32, 32);
}

int64_t ReadFileHeader(platform::File& file, uint8_t* buf128) {
  return file.ReadAt(0, buf128, kFileHeaderSize);
}

uint32_t GetRecordSize(platform::File& file) {
  uint8_t hdr[kFileHeaderSize];
  if (ReadFileHeader(file, hdr) != kFileHeaderSize) return 0;
  return RecordSizeForRange(HeaderRangeMm(hdr));
}

bool CountWholePings(uint64_t file_size, uint32_t record_size, uint32_t* count,
                     std::string* why) {
  *count = 0;
  if (file_size < kFileHeaderSize) {
    *why = std::to_string(file_size) + " bytes, shorter than the 128-byte file header";
    return false;
  }
  const uint64_t n = (file_size - kFileHeaderSize) / record_size;
  // Ping indices are 32-bit throughout (the readers, the index, the join).
  if (n > UINT32_MAX) {
    *why = std::to_string(n) + " pings of " + std::to_string(record_size) +
           " bytes, more than the " + std::to_string(UINT32_MAX) +
           " a logged file can number";
    return false;
  }
  *count = static_cast<uint32_t>(n);
  return true;
}

uint32_t GetPingCount(platform::File& file) {
  uint32_t rs = GetRecordSize(file);
  int64_t size = file.Size();
  uint32_t count = 0;
  std::string why;
  if (rs == 0 || size < 0 || !CountWholePings(static_cast<uint64_t>(size), rs, &count, &why))
    return 0;
  return count;
}

int64_t ReadPingSized(platform::File& file, uint8_t* buf, uint32_t record_size, uint32_t i) {
  return file.ReadAt(PingOffset(record_size, i), buf, record_size);
}

int64_t ReadPing(platform::File& file, uint8_t* buf, uint32_t i) {
  uint32_t rs = GetRecordSize(file);
  if (rs == 0) return 0;
  return ReadPingSized(file, buf, rs, i);
}

bool BuildPingIndex(platform::File& file, PINGINDEX* entries, uint32_t count) {
  uint32_t rs = GetRecordSize(file);
  if (count == 0) return true;
  if (rs == 0) return false;
  return ReadPingIndexRange(file, rs, 0, count, entries);
}

namespace {

// Headers nearer together than this are read with the records between them, in large
// blocks: each page holds a header anyway, and one read moves many. Farther apart, each
// header is read alone, so a deep recording reads a page of each record, not the records.
constexpr uint32_t kHeaderAloneRecordSize = 8192;
constexpr size_t kIndexBlockBytes = 1 << 20;

PINGINDEX EntryOf(const uint8_t* header_from_ping_number) {
  return PINGINDEX{LoadI32(header_from_ping_number),
                   LoadU32(header_from_ping_number + (kRecTimeUtc - kRecPingNumber))};
}

}  // namespace

bool ReadPingIndexEntry(platform::File& file, uint32_t record_size, uint32_t i,
                        PINGINDEX* entry) {
  uint8_t bytes[kRecTimeUtc + 4 - kRecPingNumber];
  if (file.ReadAt(PingOffset(record_size, i) + kRecPingNumber, bytes, sizeof bytes) !=
      static_cast<int64_t>(sizeof bytes))
    return false;
  *entry = EntryOf(bytes);
  return true;
}

bool ReadPingIndexRange(platform::File& file, uint32_t record_size, uint32_t first,
                        uint32_t count, PINGINDEX* entries) {
  if (record_size == 0) return count == 0;
  if (record_size >= kHeaderAloneRecordSize) {
    // Only whole records are pings, as when they are read whole.
    const int64_t size = file.Size();
    if (size < 0 || PingOffset(record_size, first) + uint64_t{count} * record_size >
                        static_cast<uint64_t>(size))
      return false;
    for (uint32_t k = 0; k < count; ++k)
      if (!ReadPingIndexEntry(file, record_size, first + k, &entries[k])) return false;
    return true;
  }
  const uint32_t per_block =
      std::min(count, std::max<uint32_t>(static_cast<uint32_t>(kIndexBlockBytes / record_size), 1));
  std::vector<uint8_t> block(static_cast<size_t>(per_block) * record_size);
  for (uint32_t k = 0; k < count;) {
    const uint32_t n = std::min(per_block, count - k);
    const size_t bytes = static_cast<size_t>(n) * record_size;
    if (file.ReadAt(PingOffset(record_size, first + k), block.data(), bytes) !=
        static_cast<int64_t>(bytes))
      return false;
    for (uint32_t j = 0; j < n; ++j)
      entries[k + j] = EntryOf(block.data() + size_t{j} * record_size + kRecPingNumber);
    k += n;
  }
  return true;
}

bool IsLoggedFile(platform::File& file) {
  uint8_t hdr[kFileHeaderSize];
  if (ReadFileHeader(file, hdr) != kFileHeaderSize) return false;
  if (LoadI32(hdr) != 128) return false;
  char sig[4];
  if (file.ReadAt(kFileHeaderSize, sig, 4) != 4) return false;
  return std::memcmp(sig, "DATA", 4) == 0;
}

bool InspectLoggedFile(platform::File& file, LoggedFileInfo* info, std::string* error) {
  int64_t size = file.Size();
  if (size < 0) {
    *error = platform::ErrorText(file.last_error());
    return false;
  }
  info->file_size = static_cast<uint64_t>(size);
  if (info->file_size < kFileHeaderSize) {
    *error = "not a logged ping file: " + std::to_string(info->file_size) +
             " bytes, shorter than the 128-byte file header";
    return false;
  }
  int64_t got = ReadFileHeader(file, info->header_bytes);
  if (got != kFileHeaderSize) {
    *error = got < 0 ? platform::ErrorText(file.last_error())
                     : std::string("the 128-byte file header could not be read");
    return false;
  }
  info->header = DecodeTimerSettings(info->header_bytes);
  info->samples = SamplesForRange(info->header.range_mm);
  info->record_size = RecordSizeForRange(info->header.range_mm);
  if (info->record_size == 0) {
    *error = "not a readable logged ping file: range " + std::to_string(info->header.range_mm) +
             " mm is not one of the logger's ranges, so the record size is unknown";
    return false;
  }
  std::string why;
  if (!CountWholePings(info->file_size, info->record_size, &info->ping_count, &why)) {
    *error = "not a readable logged ping file: " + why;
    return false;
  }
  info->trailing_bytes = (info->file_size - kFileHeaderSize) % info->record_size;
  return true;
}

bool OpenLoggedFile(const std::string& path, platform::File* file, LoggedFileInfo* info,
                    std::string* error) {
  if (!file->OpenRead(path)) {
    *error = platform::ErrorText(file->last_error());
    return false;
  }
  if (!InspectLoggedFile(*file, info, error)) {
    file->Close();
    return false;
  }
  return true;
}

}  // namespace zt
