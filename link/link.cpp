#include "link/link.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "logfile/logfile.h"
#include "platform/output_file.h"
#include "platform/le_bytes.h"
#include "platform/time.h"

namespace zt::link {
namespace {

std::string TimeText(const char* prefix, uint32_t t) {
  return prefix +
         platform::CivilText(platform::LocalCivil(static_cast<int64_t>(t)), "hh:mm:ss DD.MM.Y") +
         " (Local)";
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

// The records of the Linked file after its header, block by block of whole records: File 1's
// as they are, then File 2's numbered on from File 1's last ping.
class RecordSource {
 public:
  RecordSource(platform::File& file1, platform::File& file2, uint32_t record_size,
               int32_t n_samples, uint32_t count1, uint32_t count2)
      : files_{&file1, &file2},
        counts_{count1, count2},
        record_size_(record_size),
        n_samples_(n_samples),
        per_block_(LINK_BUFFER_SIZE / record_size) {}

  // True when the next block is File 2's first: its sample counts must have been checked,
  // and the checker is done with the file.
  bool AtFile2() const { return file_ == 2 && done_ == 0; }

  // Reads the next block into `buf` (LINK_BUFFER_SIZE bytes): its size, file and records of
  // that file done. False at the end (r untouched) or on a failure (r says which).
  bool Next(uint8_t* buf, size_t* bytes, int* file, uint32_t* done, LinkResult* r) {
    if (file_ > 2) return false;
    platform::File& in = *files_[file_ - 1];
    const uint32_t count = counts_[file_ - 1];
    if (done_ == 0 && !in.Seek(kFileHeaderSize)) {
      *r = IoFailure(*r, in.last_error(), std::string("reading ") + Name(file_));
      return false;
    }
    const uint32_t n = std::min(per_block_, count - done_);
    const size_t want = size_t{n} * record_size_;
    const int64_t got = in.Read(buf, want);
    if (got < 0) {
      *r = IoFailure(*r, in.last_error(), std::string("reading ") + Name(file_));
      return false;
    }
    if (static_cast<uint64_t>(got) != want) {
      *r = IoFailure(*r, 0, std::string(Name(file_)) + " ended early, at ping " +
                                Num(done_ + static_cast<uint64_t>(got) / record_size_) + " of " +
                                Num(count));
      return false;
    }
    if (file_ == 1) {
      last_ = LoadU32(buf + size_t{n - 1} * record_size_ + kRecPingNumber);
    } else {
      for (uint32_t j = 0; j < n; ++j) {
        uint8_t* rec = buf + size_t{j} * record_size_;
        // Checked before File 2 was copied; a file changed since is not copied on.
        if (LoadI32(rec + kRecSampleCount) != n_samples_) {
          *r = Refuse(*r, SampleCountReason(2, done_ + j, rec, n_samples_));
          return false;
        }
        ++last_;
        StoreU32(rec + kRecPingNumber, last_);
        StoreU32(rec + kEchoHeaderSize + 2 * size_t(n_samples_) + kFootPingNumber, last_);
      }
    }
    done_ += n;
    *bytes = want;
    *file = file_;
    *done = done_;
    if (done_ == count) {  // on to the next file (both hold pings)
      ++file_;
      done_ = 0;
    }
    return true;
  }

 private:
  platform::File* files_[2];
  uint32_t counts_[2];
  uint32_t record_size_;
  int32_t n_samples_;
  uint32_t per_block_;
  int file_ = 1;
  uint32_t done_ = 0;  // records of file_ read
  uint32_t last_ = 0;  // ping_number carried on; wraps as the 32-bit field would
};

// The copy on three threads: one checks File 2's sample counts (which must all hold before
// any of File 2 is written), one reads blocks into a ring, and the calling thread writes
// them in order. Writing is the long part; reading and checking happen beside it.
class ThreadedCopy {
 public:
  static constexpr int kRing = 3;

  ThreadedCopy(RecordSource& source, uint8_t* const (&ring)[kRing]) : source_(source) {
    for (int k = 0; k < kRing; ++k) slots_[k].data = ring[k];
  }

  // The checker's result: kLinked when every count holds.
  void SetCheck(const LinkResult& r) {
    std::lock_guard<std::mutex> lock(mu_);
    check_ = r;
    checked_ = true;
    cv_.notify_all();
  }
  const LinkResult& check() const { return check_; }

  // The reading thread's part.
  void Produce(LinkResult base) {
    for (uint64_t seq = 0;; ++seq) {
      Slot& s = slots_[seq % kRing];
      {
        std::unique_lock<std::mutex> lock(mu_);
        cv_.wait(lock, [&] { return stopped_ || s.state == kFree; });
        if (stopped_) return;
        if (source_.AtFile2()) {
          cv_.wait(lock, [&] { return stopped_ || checked_; });
          if (stopped_) return;
          if (!check_.ok()) {  // the writer reports the check's result
            s.state = kEnd;
            cv_.notify_all();
            return;
          }
        }
      }
      LinkResult r = base;
      bool got = false;
      try {
        got = source_.Next(s.data, &s.bytes, &s.file, &s.done, &r);
      } catch (const std::bad_alloc&) {  // only a failure's text allocates
        r = Refuse(base, "no memory for the join");
      }
      std::lock_guard<std::mutex> lock(mu_);
      s.state = got ? kFull : r.ok() ? kEnd : kFailed;
      if (!got) s.failure = r;
      cv_.notify_all();
      if (!got) return;
    }
  }

  // The writer's part: the blocks in order until the end, a failure (in *r) or a failed write.
  void Consume(platform::File& linked, ProgressPacer& pacer, LinkResult* r) {
    for (uint64_t seq = 0;; ++seq) {
      Slot& s = slots_[seq % kRing];
      {
        std::unique_lock<std::mutex> lock(mu_);
        cv_.wait(lock, [&] { return s.state != kFree; });
      }
      if (s.state == kEnd) return;
      if (s.state == kFailed) {
        *r = s.failure;
        return;
      }
      if (!linked.WriteAll(s.data, s.bytes)) {
        *r = IoFailure(*r, linked.last_error(), "writing the Linked file");
        return;
      }
      pacer.Written(s.file, s.done - 1);
      std::lock_guard<std::mutex> lock(mu_);
      s.state = kFree;
      cv_.notify_all();
    }
  }

  // Stops the reading thread wherever it waits.
  void Stop() {
    std::lock_guard<std::mutex> lock(mu_);
    stopped_ = true;
    cv_.notify_all();
  }

 private:
  enum State { kFree, kFull, kEnd, kFailed };
  struct Slot {
    uint8_t* data = nullptr;
    State state = kFree;
    size_t bytes = 0;
    int file = 0;
    uint32_t done = 0;
    LinkResult failure;
  };

  RecordSource& source_;
  Slot slots_[kRing];
  std::mutex mu_;
  std::condition_variable cv_;
  bool stopped_ = false;
  bool checked_ = false;
  LinkResult check_;
};

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

  // 2. The join buffers: whole records, as many as fit; a ring of them for the copy and one
  // for the check of File 2.
  std::unique_ptr<uint8_t[]> bufs[ThreadedCopy::kRing + 1];
  for (auto& b : bufs) {
    b.reset(new (std::nothrow) uint8_t[LINK_BUFFER_SIZE]());
    if (!b) return Refuse(r, "no memory for the join buffer");
  }

  // 3. Record sizes: known and equal.
  int32_t range[2], samples[2];
  uint32_t rs[2];
  for (int k = 0; k < 2; ++k) {
    range[k] = HeaderRangeMm(header[k]);
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

  // File 2's sample counts are checked beside the copy of File 1, and before any of File 2
  // is copied; a failed check comes before any failure of the copy, as if it had been made
  // first, and the caller deletes what was written.
  const uint32_t per_block = LINK_BUFFER_SIZE / record_size;
  auto check = [&] {
    LinkResult c = r;
    try {
      CheckSampleCounts(file2, record_size, n_samples, r.count2, bufs[ThreadedCopy::kRing].get(),
                        per_block, &c);
    } catch (const std::bad_alloc&) {  // only a failure's text allocates
      c = Refuse(r, "no memory for the join");
    }
    return c;
  };
  RecordSource source(file1, file2, record_size, n_samples, r.count1, r.count2);
  uint8_t* const ring[ThreadedCopy::kRing] = {bufs[0].get(), bufs[1].get(), bufs[2].get()};
  ThreadedCopy copier(source, ring);
  ProgressPacer pacer(options, r.count1, r.count2);
  LinkResult copied = r;
  std::thread checker, reader;
  {
    // Both threads are joined on every way out; the reader is stopped first.
    struct Joiner {
      ThreadedCopy& copier;
      std::thread& checker;
      std::thread& reader;
      ~Joiner() {
        copier.Stop();
        if (reader.joinable()) reader.join();
        if (checker.joinable()) checker.join();
      }
    } joiner{copier, checker, reader};
    try {
      checker = std::thread([&] { copier.SetCheck(check()); });
      reader = std::thread([&] { copier.Produce(r); });
    } catch (const std::system_error&) {
    }
    if (!checker.joinable()) copier.SetCheck(check());
    if (!reader.joinable()) {
      // Without a reading thread: the check's result first, then read and write in turn.
      if (checker.joinable()) checker.join();
      if (!copier.check().ok()) return copier.check();
    }

    // 5. File 1's header is the Linked file's header.
    if (!linked.WriteAll(header[0], kFileHeaderSize)) {
      copied = IoFailure(r, linked.last_error(), "writing the Linked file");
    } else {
      // 6.-10. The copy, block by block of whole records.
      pacer.Start();
      if (reader.joinable()) {
        copier.Consume(linked, pacer, &copied);
      } else {
        size_t bytes = 0;
        int file = 0;
        uint32_t done = 0;
        while (source.Next(bufs[0].get(), &bytes, &file, &done, &copied)) {
          if (!linked.WriteAll(bufs[0].get(), bytes)) {
            copied = IoFailure(r, linked.last_error(), "writing the Linked file");
            break;
          }
          pacer.Written(file, done - 1);
        }
      }
    }
  }
  if (!copier.check().ok()) return copier.check();
  if (!copied.ok()) return copied;

  // 11. The bar at its upper bound.
  pacer.Finish();
  return r;
}

LinkResult LinkFiles(const std::string& file1_path, const std::string& file2_path,
                     const std::string& linked_path, const LinkOptions& options) {
  LinkResult r;
  platform::File f1, f2;
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
  // An existing Linked path of any kind is never replaced, whichever way it is written; a
  // device or pipe is refused too, since the join makes a new file.
  platform::OutputFile out;
  if (!out.Open(linked_path, options.write_beside ? platform::OutputRule::kNeverReplace
                                                  : platform::OutputRule::kNewInPlace)) {
    r.outcome = LinkOutcome::kLinkedCreateFailed;
    r.error = out.error();
    r.reason = out.why();
    return r;
  }

  r = JoinFiles(f1, f2, out.file(), options);
  f1.Close();
  f2.Close();
  if (!r.ok()) {
    out.Abandon();
  } else if (!out.Commit()) {
    if (out.error() != 0 && out.error() != platform::FileExistsError())
      r = IoFailure(r, out.error(), "writing the Linked file");
    else {
      r.outcome = LinkOutcome::kLinkedCreateFailed;
      r.error = out.error();
      r.reason = out.why();
    }
  }
  return r;
}

}  // namespace zt::link
