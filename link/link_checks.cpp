#include "link/link_checks.h"

#include <algorithm>
#include <cstring>

#include "logfile/logfile.h"
#include "platform/le_bytes.h"
#include "platform/time.h"

namespace zt::link {
namespace {

std::string TimeText(const char* prefix, uint32_t t) {
  return prefix +
         platform::CivilText(platform::LocalCivil(static_cast<int64_t>(t)), "hh:mm:ss DD.MM.Y") +
         " (Local)";
}

// Reads the ECHOHEADER fields of ping i that the link looks at; false on a failed or short
// read (error code in *error, 0 for a short read).
bool ReadEchoHeader(platform::File& f, uint32_t record_size, uint32_t i, uint8_t* rec64,
                    int* error) {
  int64_t got = f.ReadAt(PingOffset(record_size, i), rec64, kEchoHeaderSize);
  if (got == kEchoHeaderSize) return true;
  *error = got < 0 ? f.last_error() : 0;
  return false;
}

// Ping count from the 64-bit file size; false (with the result filled) on failure.
bool CountPings(platform::File& f, int file, uint32_t record_size, uint32_t* count,
                LinkResult* r) {
  int64_t size = f.Size();
  if (size < 0) {
    *r = IoFailure(*r, f.last_error(), std::string("reading the size of ") + Name(file));
    return false;
  }
  // The logged-file reader's own rule. The size is read again here, after the header: a
  // file that shrank below its header in between is refused, not counted from a wrapped size.
  std::string why;
  if (!CountWholePings(static_cast<uint64_t>(size), record_size, count, &why)) {
    *r = Refuse(*r, std::string(Name(file)) + " cannot be joined: " + why);
    return false;
  }
  return true;
}

}  // namespace

std::string Num(uint64_t v) { return std::to_string(v); }

LinkResult Refuse(LinkResult r, std::string why) {
  r.outcome = LinkOutcome::kRefused;
  r.reason = std::move(why);
  return r;
}

LinkResult IoFailure(LinkResult r, int code, const std::string& what) {
  r.outcome = LinkOutcome::kIoFailed;
  r.error = code;
  r.reason = code != 0 ? what + ": " + platform::ErrorText(code) : what;
  return r;
}

const char* Name(int file) { return file == 1 ? "File 1" : "File 2"; }

std::string SampleCountReason(int file, uint32_t i, const uint8_t* rec, int32_t samples) {
  return std::string(Name(file)) + "'s ping at index " + Num(i) + " (ping_number " +
         std::to_string(LoadI32(rec + kRecPingNumber)) + ") has sample_count " +
         std::to_string(LoadI32(rec + kRecSampleCount)) + " where its range gives " +
         std::to_string(samples) + ", so its footer cannot be found";
}

// File 2's records get new ping numbers in their footers, whose place follows from each
// record's own sample_count: every one must match the range before anything is written.
bool CheckSampleCounts(platform::File& f, uint32_t record_size, int32_t samples, uint32_t count,
                       uint8_t* buf, uint32_t per_block, LinkResult* r) {
  if (!f.Seek(kFileHeaderSize)) {
    *r = IoFailure(*r, f.last_error(), "reading File 2");
    return false;
  }
  for (uint32_t done = 0; done < count;) {
    uint32_t n = std::min(per_block, count - done);
    size_t want = size_t{n} * record_size;
    int64_t got = f.Read(buf, want);
    if (got < 0 || static_cast<uint64_t>(got) != want) {
      *r = IoFailure(*r, got < 0 ? f.last_error() : 0,
                     got < 0 ? std::string("reading File 2") : "File 2 ended early");
      return false;
    }
    for (uint32_t j = 0; j < n; ++j) {
      const uint8_t* rec = buf + size_t{j} * record_size;
      if (LoadI32(rec + kRecSampleCount) != samples) {
        *r = Refuse(*r, SampleCountReason(2, done + j, rec, samples));
        return false;
      }
    }
    done += n;
  }
  return true;
}

bool CheckHeaders(platform::File& file1, platform::File& file2, uint8_t (&header)[2][128],
                  LinkResult* r) {
  platform::File* files[2] = {&file1, &file2};
  for (int k = 0; k < 2; ++k) {
    const int64_t got = ReadFileHeader(*files[k], header[k]);
    if (got < 0) {
      *r = IoFailure(*r, files[k]->last_error(), std::string("reading ") + Name(k + 1));
      return false;
    }
    if (got != kFileHeaderSize) {
      *r = Refuse(*r, std::string(Name(k + 1)) + " is shorter than its 128-byte file header");
      return false;
    }
  }
  if (std::memcmp(header[0], header[1], kFileHeaderSize) == 0) return true;
  size_t at = 0;
  while (header[0][at] == header[1][at]) ++at;
  *r = Refuse(*r, "the file headers differ (first at byte " + Num(at) +
                      "): the files were recorded with different settings");
  return false;
}

bool CheckRecords(platform::File& file1, platform::File& file2, const uint8_t (&header)[2][128],
                  uint32_t* record_size, int32_t* samples, LinkResult* r) {
  uint32_t rs[2];
  for (int k = 0; k < 2; ++k) {
    const int32_t range = HeaderRangeMm(header[k]);
    rs[k] = RecordSizeForRange(range);
    if (rs[k] == 0) {
      *r = Refuse(*r, std::string(Name(k + 1)) + "'s range of " + std::to_string(range) +
                          " mm is not one of the logger's ranges, so its record size is unknown");
      return false;
    }
  }
  if (rs[0] != rs[1]) {
    *r = Refuse(*r, "the record sizes differ (" + Num(rs[0]) + " and " + Num(rs[1]) + " bytes)");
    return false;
  }
  *record_size = rs[0];
  *samples = SamplesForRange(HeaderRangeMm(header[0]));
  if (!CountPings(file1, 1, *record_size, &r->count1, r)) return false;
  if (!CountPings(file2, 2, *record_size, &r->count2, r)) return false;
  if (r->count1 == 0 || r->count2 == 0) {
    *r = Refuse(*r, r->count1 == 0 ? "File 1 has no pings" : "File 2 has no pings");
    return false;
  }
  return true;
}

bool CheckSeam(platform::File& file1, platform::File& file2, uint32_t record_size,
               LinkResult* r) {
  uint8_t last1[kEchoHeaderSize], first2[kEchoHeaderSize];
  int error = 0;
  if (!ReadEchoHeader(file1, record_size, r->count1 - 1, last1, &error)) {
    *r = IoFailure(*r, error, "reading File 1's last ping");
    return false;
  }
  if (!ReadEchoHeader(file2, record_size, 0, first2, &error)) {
    *r = IoFailure(*r, error, "reading File 2's first ping");
    return false;
  }
  const uint32_t t1 = LoadU32(last1 + kRecTimeUtc);
  const uint32_t t2 = LoadU32(first2 + kRecTimeUtc);
  if (t2 < t1) {
    *r = Refuse(*r, "File 2 begins before File 1 ends (" + Num(t1 - t2) + " s earlier)");
    return false;
  }
  if (uint64_t{t2} > uint64_t{t1} + MAX_SEAM_GAP_S) {
    *r = Refuse(*r, "seam gap of " + Num(t2 - t1) + " s between File 1's last ping and File 2's"
                    " first ping (at most " + Num(MAX_SEAM_GAP_S) + " s)");
    return false;
  }
  return true;
}

std::string BeginText(uint32_t time_utc) { return TimeText("Begin: ", time_utc); }
std::string EndText(uint32_t time_utc) { return TimeText("End:   ", time_utc); }

FileTimes ShowFileTimes(const std::string& path) {
  FileTimes t;
  platform::File f;
  if (!f.OpenRead(path)) {
    t.status = TimesStatus::kOpenFailed;
    t.error = f.last_error();
    return t;
  }
  uint32_t rs = 0;
  if (!IsLoggedFile(f) || (rs = GetRecordSize(f)) == 0) {
    t.status = TimesStatus::kInvalidFile;
    return t;
  }
  const int64_t size = f.Size();
  std::string why;
  if (size < 0) {
    t.status = TimesStatus::kOpenFailed;
    t.error = f.last_error();
    return t;
  }
  if (!CountWholePings(static_cast<uint64_t>(size), rs, &t.ping_count, &why)) {
    t.status = TimesStatus::kInvalidFile;
    return t;
  }
  if (t.ping_count == 0) {
    t.status = TimesStatus::kNoPings;
    return t;
  }
  uint8_t first[kEchoHeaderSize], last[kEchoHeaderSize];
  int error = 0;
  if (!ReadEchoHeader(f, rs, 0, first, &error) ||
      !ReadEchoHeader(f, rs, t.ping_count - 1, last, &error)) {
    t.status = error != 0 ? TimesStatus::kOpenFailed : TimesStatus::kInvalidFile;
    t.error = error;
    return t;
  }
  t.first_utc = LoadU32(first + kRecTimeUtc);
  t.last_utc = LoadU32(last + kRecTimeUtc);
  t.begin = BeginText(t.first_utc);
  t.end = EndText(t.last_utc);
  return t;
}

uint32_t ProgressUpperBound(uint32_t count1, uint32_t count2) {
  return static_cast<uint32_t>(((uint64_t{count1} + count2) / 16) & 0xFFFFu);
}

}  // namespace zt::link
