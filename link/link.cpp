#include "link/link.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "link/link_checks.h"
#include "logfile/logfile.h"
#include "platform/scoped_thread.h"
#include "platform/output_file.h"
#include "platform/le_bytes.h"
#include "platform/time.h"

namespace zt::link {
namespace {

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

namespace {

// 5.-10. File 1's header, then the records of both files, block by block: File 2's sample
// counts are checked on a thread beside the copy of File 1, and before any of File 2 is
// copied; a failed check comes before any failure of the copy, as if it had been made first
// (the caller deletes what was written). Reading has a thread of its own too.
LinkResult Copy(platform::File& file1, platform::File& file2, platform::File& linked,
                const uint8_t* header, uint32_t record_size, int32_t samples,
                const LinkOptions& options, const LinkResult& r) {
  // The join buffers: whole records, as many as fit; a ring of them for the copy and one for
  // the check of File 2.
  std::unique_ptr<uint8_t[]> bufs[ThreadedCopy::kRing + 1];
  for (auto& b : bufs) {
    b.reset(new (std::nothrow) uint8_t[LINK_BUFFER_SIZE]());
    if (!b) return Refuse(r, "no memory for the join buffer");
  }
  auto check = [&] {
    LinkResult c = r;
    try {
      CheckSampleCounts(file2, record_size, samples, r.count2, bufs[ThreadedCopy::kRing].get(),
                        LINK_BUFFER_SIZE / record_size, &c);
    } catch (const std::bad_alloc&) {  // only a failure's text allocates
      c = Refuse(r, "no memory for the join");
    }
    return c;
  };
  RecordSource source(file1, file2, record_size, samples, r.count1, r.count2);
  uint8_t* const ring[ThreadedCopy::kRing] = {bufs[0].get(), bufs[1].get(), bufs[2].get()};
  ThreadedCopy copier(source, ring);
  ProgressPacer pacer(options, r.count1, r.count2);
  LinkResult copied = r;
  {
    // Both threads are joined on every way out; the reader is stopped first.
    platform::ScopedThread checker, reader([&copier] { copier.Stop(); });
    if (!checker.Start([&] { copier.SetCheck(check()); })) copier.SetCheck(check());
    const bool reading = reader.Start([&] { copier.Produce(r); });
    if (!reading) {
      // Without a reading thread: the check's result first, then read and write in turn.
      checker.Join();
      if (!copier.check().ok()) return copier.check();
    }
    if (!linked.WriteAll(header, kFileHeaderSize)) {
      copied = IoFailure(r, linked.last_error(), "writing the Linked file");
    } else {
      pacer.Start();
      if (reading) {
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

}  // namespace

LinkResult JoinFiles(platform::File& file1, platform::File& file2, platform::File& linked,
                     const LinkOptions& options) {
  LinkResult r;
  // 1. Both file headers, byte for byte identical.
  uint8_t header[2][kFileHeaderSize];
  if (!CheckHeaders(file1, file2, header, &r)) return r;
  // 2.-3. Record sizes known and equal; both files holding pings.
  uint32_t record_size = 0;
  int32_t samples = 0;
  if (!CheckRecords(file1, file2, header, &record_size, &samples, &r)) return r;
  // 4. The seam.
  if (!CheckSeam(file1, file2, record_size, &r)) return r;
  return Copy(file1, file2, linked, header[0], record_size, samples, options, r);
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
