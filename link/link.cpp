#include "link/link.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "logfile/logfile.h"
#include "platform/interrupt.h"
#include "platform/le_bytes.h"
#include "platform/time.h"

namespace zt::link {
namespace {

constexpr size_t kRangeOffset = 52;  // range_mm in the file header

#ifdef _WIN32
constexpr int kErrorFileExists = 80;  // ERROR_FILE_EXISTS
#else
constexpr int kErrorFileExists = EEXIST;
#endif

std::string TimeText(const char* prefix, uint32_t t) {
  platform::CivilTime c = platform::LocalCivil(static_cast<int64_t>(t));
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s%02i:%02i:%02i %02i.%02i.%i (Local)", prefix, c.hour,
                c.minute, c.second, c.day, c.month, c.year);
  return buf;
}

std::string Num(uint64_t v) { return std::to_string(v); }

// Reads the ECHOHEADER fields of ping i that the link looks at; false on a failed or short
// read (error code in *error, 0 for a short read).
bool ReadEchoHeader(platform::File& f, uint32_t record_size, uint32_t i, uint8_t* rec64,
                    int* error) {
  int64_t got = f.ReadAt(PingOffset(record_size, i), rec64, kEchoHeaderSize);
  if (got == kEchoHeaderSize) return true;
  *error = got < 0 ? f.last_error() : 0;
  return false;
}

uint64_t DefaultNow() { return platform::TickMs(); }

// The bar moves only when at least two whole tenths of a second have passed.
class ProgressPacer {
 public:
  ProgressPacer(const LinkOptions& o, uint32_t count1, uint32_t count2)
      : sink_(o.progress),
        now_(o.now_ms ? o.now_ms : DefaultNow),
        count1_(count1),
        total_(uint64_t{count1} + count2),
        upper_(ProgressUpperBound(count1, count2)) {}

  void Start() {
    if (!sink_) return;
    sink_->Range(upper_);
    sink_->Position(0, 0, total_);
    then_ = now_();
  }
  // i: 0-based index, within its file, of the last record written.
  void Written(int file, uint32_t i) {
    if (!sink_) return;
    uint64_t now = now_();
    if ((now - then_) / 100 > 1) {
      uint64_t overall = file == 1 ? uint64_t{i} : uint64_t{i} + count1_;
      sink_->Position(static_cast<uint32_t>(overall / 16), overall + 1, total_);
      then_ = now;
    }
  }
  void Finish() {
    if (sink_) sink_->Position(upper_, total_, total_);
  }

 private:
  LinkProgress* sink_;
  uint64_t (*now_)();
  uint32_t count1_;
  uint64_t total_;
  uint32_t upper_;
  uint64_t then_ = 0;
};

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

}  // namespace

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

LinkResult JoinFiles(platform::File& file1, platform::File& file2, platform::File& linked,
                     const LinkOptions& options) {
  LinkResult r;
  platform::File* files[2] = {&file1, &file2};

  // 1. Both file headers, byte for byte identical.
  uint8_t header[2][kFileHeaderSize];
  for (int k = 0; k < 2; ++k) {
    int64_t got = ReadFileHeader(*files[k], header[k]);
    if (got < 0) return IoFailure(r, files[k]->last_error(), std::string("reading ") + Name(k + 1));
    if (got != kFileHeaderSize)
      return Refuse(r, std::string(Name(k + 1)) + " is shorter than its 128-byte file header");
  }
  if (std::memcmp(header[0], header[1], kFileHeaderSize) != 0) {
    size_t at = 0;
    while (header[0][at] == header[1][at]) ++at;
    return Refuse(r, "the file headers differ (first at byte " + Num(at) +
                         "): the files were recorded with different settings");
  }

  // 2. The join buffer: whole records, as many as fit.
  std::unique_ptr<uint8_t[]> buf(new (std::nothrow) uint8_t[LINK_BUFFER_SIZE]());
  if (!buf) return Refuse(r, "no memory for the join buffer");

  // 3. Record sizes: known and equal.
  int32_t range[2], samples[2];
  uint32_t rs[2];
  for (int k = 0; k < 2; ++k) {
    range[k] = LoadI32(header[k] + kRangeOffset);
    samples[k] = SamplesForRange(range[k]);
    rs[k] = RecordSizeForRange(range[k]);
    if (rs[k] == 0)
      return Refuse(r, std::string(Name(k + 1)) + "'s range of " + std::to_string(range[k]) +
                           " mm is not one of the logger's ranges, so its record size is unknown");
  }
  if (rs[0] != rs[1])
    return Refuse(r, "the record sizes differ (" + Num(rs[0]) + " and " + Num(rs[1]) + " bytes)");
  const uint32_t record_size = rs[0];
  const int32_t n_samples = samples[0];
  if (!CountPings(file1, 1, record_size, &r.count1, &r)) return r;
  if (!CountPings(file2, 2, record_size, &r.count2, &r)) return r;
  if (r.count1 == 0) return Refuse(r, "File 1 has no pings");
  if (r.count2 == 0) return Refuse(r, "File 2 has no pings");

  // 4. The seam: t1 <= t2 <= t1 + MAX_SEAM_GAP_S, without wrapping past 2^32.
  uint8_t last1[kEchoHeaderSize], first2[kEchoHeaderSize];
  int error = 0;
  if (!ReadEchoHeader(file1, record_size, r.count1 - 1, last1, &error))
    return IoFailure(r, error, "reading File 1's last ping");
  if (!ReadEchoHeader(file2, record_size, 0, first2, &error))
    return IoFailure(r, error, "reading File 2's first ping");
  const uint32_t t1 = LoadU32(last1 + kRecTimeUtc);
  const uint32_t t2 = LoadU32(first2 + kRecTimeUtc);
  if (t2 < t1)
    return Refuse(r, "File 2 begins before File 1 ends (" + Num(t1 - t2) + " s earlier)");
  if (uint64_t{t2} > uint64_t{t1} + MAX_SEAM_GAP_S)
    return Refuse(r, "seam gap of " + Num(t2 - t1) + " s between File 1's last ping and File 2's"
                     " first ping (at most " + Num(MAX_SEAM_GAP_S) + " s)");

  const uint32_t per_block = LINK_BUFFER_SIZE / record_size;
  if (!CheckSampleCounts(file2, record_size, n_samples, r.count2, buf.get(), per_block, &r))
    return r;

  // 5. File 1's header is the Linked file's header.
  if (!linked.WriteAll(header[0], kFileHeaderSize))
    return IoFailure(r, linked.last_error(), "writing the Linked file");

  // 6.-10. The copy, block by block of whole records.
  ProgressPacer pacer(options, r.count1, r.count2);
  pacer.Start();
  uint32_t last = 0;  // ping_number carried on; wraps as the 32-bit field would
  for (int file = 1; file <= 2; ++file) {
    platform::File& in = *files[file - 1];
    const uint32_t count = file == 1 ? r.count1 : r.count2;
    if (!in.Seek(kFileHeaderSize))
      return IoFailure(r, in.last_error(), std::string("reading ") + Name(file));
    for (uint32_t done = 0; done < count;) {
      const uint32_t n = std::min(per_block, count - done);
      const size_t want = size_t{n} * record_size;
      int64_t got = in.Read(buf.get(), want);
      if (got < 0) return IoFailure(r, in.last_error(), std::string("reading ") + Name(file));
      if (static_cast<uint64_t>(got) != want)
        return IoFailure(r, 0, std::string(Name(file)) + " ended early, at ping " +
                                   Num(done + static_cast<uint64_t>(got) / record_size) +
                                   " of " + Num(count));
      if (file == 1) {
        last = LoadU32(buf.get() + size_t{n - 1} * record_size + kRecPingNumber);
      } else {
        for (uint32_t j = 0; j < n; ++j) {
          uint8_t* rec = buf.get() + size_t{j} * record_size;
          // Checked before writing began; a file changed since is not copied on.
          if (LoadI32(rec + kRecSampleCount) != n_samples)
            return Refuse(r, SampleCountReason(2, done + j, rec, n_samples));
          ++last;
          StoreU32(rec + kRecPingNumber, last);
          StoreU32(rec + kEchoHeaderSize + 2 * size_t(n_samples) + kFootPingNumber, last);
        }
      }
      if (!linked.WriteAll(buf.get(), want))
        return IoFailure(r, linked.last_error(), "writing the Linked file");
      done += n;
      pacer.Written(file, done - 1);
    }
  }
  // 11. The bar at its upper bound.
  pacer.Finish();
  return r;
}

LinkResult LinkFiles(const std::string& file1_path, const std::string& file2_path,
                     const std::string& linked_path, const LinkOptions& options) {
  LinkResult r;
  platform::File f1, f2, out;
  if (!f1.OpenRead(file1_path)) {
    r.outcome = LinkOutcome::kFile1OpenFailed;
    r.error = f1.last_error();
    r.reason = platform::ErrorText(r.error);
    return r;
  }
  if (!IsLoggedFile(f1)) {
    r.outcome = LinkOutcome::kFile1Invalid;
    r.reason = "not a logged ping file";
    return r;
  }
  if (!f2.OpenRead(file2_path)) {
    r.outcome = LinkOutcome::kFile2OpenFailed;
    r.error = f2.last_error();
    r.reason = platform::ErrorText(r.error);
    return r;
  }
  if (!IsLoggedFile(f2)) {
    r.outcome = LinkOutcome::kFile2Invalid;
    r.reason = "not a logged ping file";
    return r;
  }
  // An existing Linked file is never replaced, whichever way it is written.
  std::string target = linked_path;
  if (options.write_beside) {
    if (platform::FileExists(linked_path)) {
      r.outcome = LinkOutcome::kLinkedCreateFailed;
      r.error = kErrorFileExists;
      r.reason = platform::ErrorText(r.error);
      return r;
    }
    target = platform::TempPathBeside(linked_path);
  }
  // An interrupted program removes its temporary file rather than leave it half-written.
  platform::RemoveOnInterrupt remove_on_interrupt(options.write_beside ? target : std::string());
  if (!out.Create(target, platform::CreateMode::kNew)) {
    r.outcome = LinkOutcome::kLinkedCreateFailed;
    r.error = out.last_error();
    r.reason = platform::ErrorText(r.error);
    return r;
  }

  r = JoinFiles(f1, f2, out, options);
  f1.Close();
  f2.Close();
  if (!out.Close() && r.ok()) r = IoFailure(r, out.last_error(), "writing the Linked file");
  if (r.ok() && options.write_beside) {
    int error = 0;
    if (!platform::RenameFileNoReplace(target, linked_path, &error)) {
      r.outcome = LinkOutcome::kLinkedCreateFailed;
      r.error = error;
      r.reason = platform::ErrorText(error);
    }
  }
  if (!r.ok()) platform::RemoveFile(target);
  return r;
}

}  // namespace zt::link
