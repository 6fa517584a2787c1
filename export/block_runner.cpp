#include "export/block_runner.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "export/altitude.h"
#include "export/formats.h"
#include "export/text_builder.h"
#include "logfile/record_reader.h"
#include "platform/le_bytes.h"
#include "platform/output_file.h"
#include "platform/scoped_thread.h"
#include "platform/time.h"

namespace zt {

namespace {

// A record's first n samples in host order: in place on a little-endian host, else converted
// into `scratch`.
const uint16_t* SamplesOf(const uint8_t* rec, int32_t n, uint16_t* scratch) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  for (int32_t j = 0; j < n; ++j) scratch[j] = LoadU16(rec + kEchoHeaderSize + 2 * j);
  return scratch;
#else
  (void)n;
  (void)scratch;
  return RecordReader::SamplesInPlace(rec);
#endif
}

// Pings are read in chunks small enough to stay in the processor's cache while they are
// checked, detected and formatted.
constexpr size_t kChunkBytes = 128 * 1024;
// A block, the unit of work of one worker, is a few chunks: enough pings that handing blocks
// from one worker to the other costs nothing next to the work on them.
constexpr uint32_t kChunksPerBlock = 8;
// Output goes out in writes of about this size, or one per block when a block makes less.
constexpr size_t kFlushAt = 1 << 20;
// Room for one ping's block and a little more, so that a block over the limit is detected
// rather than cut.
constexpr size_t kPingRoom = kExportBlockLimit + 4096;
constexpr size_t kOutputCapacity = kFlushAt + kPingRoom;

uint32_t ChunkPings(uint32_t record_size) {
  return std::max<uint32_t>(1, static_cast<uint32_t>(kChunkBytes / record_size));
}

struct Failure {
  ExportStatus status = ExportStatus::kOk;
  std::string message;
  int code = 0;
  bool ok() const { return status == ExportStatus::kOk; }
};

// What the workers of one export share. Block k of the pings goes to worker k % 2, which
// reads, checks, detects and formats it into a buffer of its own; a block is written only
// when every block before it is, so the output is the same as one worker's, byte for byte.
// The CSV's running statistics pass from block to block in ping order the same way.
class Run {
 public:
  Run(const EXPORTJOB& job, const LoggedFileInfo& info, int32_t n0, uint32_t block_pings,
      platform::File& in, platform::File& out, ExportProgress& progress,
      const std::atomic<bool>* stop)
      : job(job),
        info(info),
        n0(n0),
        count(info.ping_count),
        block_pings(block_pings),
        chunk_pings(std::min(block_pings, ChunkPings(info.record_size))),
        blocks((uint64_t{count} + block_pings - 1) / block_pings),
        statistics(job.amplitude_over_pct, info.header.ping_count),
        in_(in),
        out_(out),
        progress_(progress),
        stop_(stop),
        step_(100.0f / static_cast<float>(count)) {}

  const EXPORTJOB& job;
  const LoggedFileInfo& info;
  const int32_t n0;
  const uint32_t count;
  const uint32_t block_pings;
  const uint32_t chunk_pings;
  const uint64_t blocks;
  // Used only by the worker that holds the statistics' turn.
  CsvStatistics statistics;

  // Reads n whole records from ping `first` on through the run's handle; the bytes read,
  // or -1 with the code.
  int64_t Read(uint32_t first, uint32_t n, void* buf, int* code) {
    std::lock_guard<std::mutex> lock(read_mu_);
    const int64_t got =
        in_.ReadAt(PingOffset(info.record_size, first), buf, size_t{n} * info.record_size);
    if (got < 0) *code = in_.last_error();
    return got;
  }

  // The output, written only by the worker whose turn it is.
  platform::File& out() { return out_; }

  // Waits until every block before `block` is written (or the run stopped: false).
  bool WaitWriteTurn(uint64_t block) { return WaitFor(write_turn_, block); }
  void PassWriteTurn(uint64_t block) { Pass(write_turn_, block); }
  // The same for the CSV statistics.
  bool WaitStatisticsTurn(uint64_t block) { return WaitFor(statistics_turn_, block); }
  void PassStatisticsTurn(uint64_t block) { Pass(statistics_turn_, block); }

  // Progress for pings [first, end), just written; by the worker whose turn it is.
  void Written(uint32_t first, uint32_t end) {
    for (uint32_t i = first; i < end; ++i) {
      const int pos = static_cast<int>(static_cast<float>(i) * step_);
      if (pos >= 2 && pos != last_progress_) {
        progress_.StepIt();
        last_progress_ = pos;
      }
      if ((i & 1023) == 1023) progress_.Pings(i + 1, count, PingOffset(info.record_size, i + 1));
    }
    if (end > pings_written_) pings_written_ = end;
  }

  // Ends the run with the failure of the block whose turn it is: every block before it is
  // written, and no block after it will be.
  void Fail(Failure f) {
    std::lock_guard<std::mutex> lock(mu_);
    failure_ = std::move(f);
    stopped_ = true;
    cv_.notify_all();
  }
  // Ends the run without a failure of its own (a worker leaving by an exception).
  void Stop() {
    std::lock_guard<std::mutex> lock(mu_);
    stopped_ = true;
    cv_.notify_all();
  }
  bool stopped() const { return stopped_; }
  bool StopAsked() const { return stop_ && stop_->load(); }

  // After the workers are joined.
  const Failure& failure() const { return failure_; }
  uint32_t pings_written() const { return pings_written_; }
  // Pings whose temperature was outside the sound speed model's range.
  void CountFallback() { fallbacks_.fetch_add(1, std::memory_order_relaxed); }
  uint32_t fallbacks() const { return fallbacks_.load(); }

 private:
  bool WaitFor(uint64_t& turn, uint64_t block) {
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait(lock, [&] { return stopped_ || turn == block; });
    return !stopped_;
  }
  void Pass(uint64_t& turn, uint64_t block) {
    std::lock_guard<std::mutex> lock(mu_);
    turn = block + 1;
    cv_.notify_all();
  }

  platform::File& in_;
  std::mutex read_mu_;
  platform::File& out_;
  ExportProgress& progress_;
  const std::atomic<bool>* stop_;
  const float step_;
  int last_progress_ = 0;
  uint32_t pings_written_ = 0;

  std::mutex mu_;
  std::condition_variable cv_;
  uint64_t write_turn_ = 0;
  uint64_t statistics_turn_ = 0;
  std::atomic<bool> stopped_{false};
  std::atomic<uint32_t> fallbacks_{0};
  Failure failure_;
};

// One worker: its own input chunk, output buffer and formatter (with its own local-time
// cache). Made on the calling thread, so that running it allocates nothing large.
class Worker {
 public:
  // A worker with `own_input` reads through a handle of its own, so that the two workers'
  // reads do not wait for each other; it shares the run's when the file it opens is not the
  // one being exported (same size and file header).
  Worker(Run& run, bool own_input)
      : run_(run),
        writer_(run.job, run.info, platform::StandardBiasMinutes()),
        chunk_(new uint16_t[size_t{run.chunk_pings} * run.info.record_size / 2 + 1]),
        scratch_(static_cast<size_t>(run.n0)),
        out_(new char[kOutputCapacity]) {
    if (run.job.data_format == kFormatCsv) rows_.reserve(std::min(run.block_pings, run.count));
    if (own_input && in_.OpenRead(run.job.input_path)) {
      uint8_t header[kFileHeaderSize];
      own_input_ = in_.Size() == static_cast<int64_t>(run.info.file_size) &&
                   in_.ReadAt(0, header, kFileHeaderSize) == kFileHeaderSize &&
                   std::memcmp(header, run.info.header_bytes, kFileHeaderSize) == 0;
    }
  }

  // Blocks first, first + stride, ... until the end or the run stops.
  void Work(uint64_t first, uint64_t stride) {
    for (uint64_t k = first; k < run_.blocks; k += stride) {
      if (run_.StopAsked()) {
        run_.Fail({ExportStatus::kStopped, "the export to " + run_.job.output_path + " was stopped", 0});
        return;
      }
      if (!Block(k)) return;
    }
  }

 private:
  struct CsvPing {
    PingView p;
    float altitude;
    float peak;
    CsvFigures figures;
  };

  // One block to its end: false when the run stopped (by this block's failure or another's).
  bool Block(uint64_t k) {
    const uint32_t first = static_cast<uint32_t>(k * run_.block_pings);
    const uint32_t end = static_cast<uint32_t>(
        std::min<uint64_t>(run_.count, uint64_t{first} + run_.block_pings));
    len_ = 0;
    holds_turn_ = false;
    stopped_ = false;
    reported_ = first;
    formatted_ = first;
    rows_.clear();
    Failure failure;
    // 1. The block's pings read, checked and detected, chunk by chunk, and (but for CSV)
    //    formatted.
    for (uint32_t c = first; c < end && failure.ok();) {
      if (run_.stopped()) return false;
      const uint32_t n = std::min(run_.chunk_pings, end - c);
      if (!Chunk(k, c, n, &failure)) return false;
      c += n;
    }
    // 2. CSV: the running statistics through the blocks in ping order, then the rows, while
    //    the other worker takes its turn.
    if (run_.job.data_format == kFormatCsv && !CsvRows(k, first, &failure)) return false;
    // 3. The block's output, after every block before it. After a failure the pings before
    //    it are still written, as one worker would have written them.
    if (!TakeWriteTurn(k)) return false;
    if (failure.status != ExportStatus::kOutputFailed) WriteOut(&failure);
    if (!failure.ok()) {
      run_.Fail(std::move(failure));
      return false;
    }
    run_.PassWriteTurn(k);
    return true;
  }

  // Pings c ... c + n - 1 of block k; false when the run stopped meanwhile.
  bool Chunk(uint64_t k, uint32_t c, uint32_t n, Failure* failure) {
    const uint32_t rs = run_.info.record_size;
    int code = 0;
    const int64_t got = Read(c, n, &code);
    const uint32_t whole = got < 0 ? 0 : static_cast<uint32_t>(static_cast<uint64_t>(got) / rs);
    const uint8_t* recs = reinterpret_cast<const uint8_t*>(chunk_.get());
    for (uint32_t j = 0; j < whole && failure->ok(); ++j)
      if (!Ping(k, c + j, recs + size_t{j} * rs, failure)) break;
    if (stopped_) return false;
    if (failure->ok() && whole < n) {
      failure->status = ExportStatus::kInputFailed;
      failure->code = got < 0 ? code : 0;
      failure->message = run_.job.input_path + ": ping " + std::to_string(c + whole) +
                         " could not be read: " +
                         (failure->code ? platform::ErrorText(failure->code)
                                        : std::string("the file ended early"));
    }
    return true;
  }

  // Ping i: checked, its altitude detected, kept for the CSV rows or formatted at once.
  bool Ping(uint64_t k, uint32_t i, const uint8_t* rec, Failure* failure) {
    const int32_t n0 = run_.n0;
    // The ping's own count places its footer; one that does not fit the record is corrupt.
    const int32_t own = LoadI32(rec + kRecSampleCount);
    if (own < 0 || own > run_.info.samples) {
      *failure = Corrupt(i, own);
      return false;
    }
    PingView p;
    p.time_utc = LoadU32(rec + kRecTimeUtc);
    p.time_fraction = LoadU16(rec + kRecTimeFraction);
    p.ping_in_series = LoadI32(rec + kRecPingInSeries);
    p.footer = DecodeEchoFooter(rec + kEchoHeaderSize + 2 * static_cast<size_t>(own));
    const uint16_t* samples = SamplesOf(rec, n0, scratch_.data());
    bool outside = false;
    p.sound_speed = PingSoundSpeed(run_.job.water, run_.job.sound_speed, p.footer.temperature_c,
                                   &outside);
    if (outside) run_.CountFallback();
    float peak = 0.0f;
    const float altitude =
        FindAltitude(samples, n0, run_.job.threshold_pct, run_.job.deadzone_m,
                     run_.info.header.offset_m, p.sound_speed, run_.info.header.tx_length_us, &peak);
    const int32_t format = run_.job.data_format;
    if (format == kFormatCsv) {
      rows_.push_back(CsvPing{p, altitude, peak, CsvFigures{}});
      return true;
    }
    TextBuilder b(out_.get() + len_, kPingRoom);
    if (format == kFormatText)
      writer_.Text(b, p, altitude, samples, n0);
    else
      writer_.Sentences(b, p, altitude);
    return Commit(k, i, b, failure);
  }

  // The CSV rows of block k, whose pings begin at `first`; false when the run stopped.
  bool CsvRows(uint64_t k, uint32_t first, Failure* failure) {
    if (!run_.WaitStatisticsTurn(k)) return false;
    for (CsvPing& r : rows_) r.figures = run_.statistics.Add(r.altitude, r.peak, r.p.ping_in_series);
    run_.PassStatisticsTurn(k);
    for (size_t j = 0; j < rows_.size(); ++j) {
      TextBuilder b(out_.get() + len_, kPingRoom);
      writer_.CsvRow(b, rows_[j].p, rows_[j].altitude, rows_[j].figures);
      Failure earlier;  // a ping before the one that stopped the reading
      if (!Commit(k, first + static_cast<uint32_t>(j), b, &earlier)) {
        if (!earlier.ok()) *failure = std::move(earlier);
        break;
      }
    }
    return !stopped_;
  }

  // Takes in one formatted ping; false when the run must leave the block (*failure set, or
  // stopped_ when another block stopped it).
  bool Commit(uint64_t k, uint32_t i, const TextBuilder& b, Failure* failure) {
    if (b.overflow() || b.size() > kExportBlockLimit) {
      failure->status = ExportStatus::kBlockTooLarge;
      failure->code = 0;
      failure->message = run_.job.input_path + ": ping " + std::to_string(i) +
                         " makes an output block over the 400000-byte limit";
      return false;
    }
    len_ += b.size();
    formatted_ = i + 1;
    if (len_ < kFlushAt) return true;
    if (!TakeWriteTurn(k)) return false;
    return WriteOut(failure);
  }

  // Reads n whole records from ping `first` on into the chunk; the bytes read, or -1 with
  // the code.
  int64_t Read(uint32_t first, uint32_t n, int* code) {
    if (!own_input_) return run_.Read(first, n, chunk_.get(), code);
    const uint32_t rs = run_.info.record_size;
    const int64_t got = in_.ReadAt(PingOffset(rs, first), chunk_.get(), size_t{n} * rs);
    if (got < 0) *code = in_.last_error();
    return got;
  }

  bool TakeWriteTurn(uint64_t k) {
    if (!holds_turn_) {
      if (!run_.WaitWriteTurn(k)) {
        stopped_ = true;
        return false;
      }
      holds_turn_ = true;
    }
    return true;
  }

  // Writes the buffer (the turn held) and reports the pings in it; on a failed write sets
  // *failure unless it already holds an earlier ping's failure.
  bool WriteOut(Failure* failure) {
    const bool ok = len_ == 0 || run_.out().WriteAll(out_.get(), len_);
    len_ = 0;
    if (!ok) {
      if (failure->ok()) {
        failure->status = ExportStatus::kOutputFailed;
        failure->code = run_.out().last_error();
        failure->message =
            platform::OutputName(run_.job.output_path) + ": " + platform::ErrorText(failure->code);
      }
      return false;
    }
    run_.Written(reported_, formatted_);
    reported_ = formatted_;
    return true;
  }

  Failure Corrupt(uint32_t i, int32_t own) const {
    Failure f;
    f.status = ExportStatus::kCorruptPing;
    f.message = run_.job.input_path + ": ping " + std::to_string(i) +
                " is corrupt: its sample count " + std::to_string(own) + " does not fit the " +
                std::to_string(run_.info.samples) + " samples of a record";
    return f;
  }

  Run& run_;
  PingFormatter writer_;
  platform::File in_;
  bool own_input_ = false;
  // Not cleared: only what was read or formatted is used.
  std::unique_ptr<uint16_t[]> chunk_;  // 16-bit words: samples are read in place (even records)
  std::vector<uint16_t> scratch_;      // samples in host order on a big-endian host
  std::unique_ptr<char[]> out_;
  std::vector<CsvPing> rows_;
  size_t len_ = 0;
  bool holds_turn_ = false;  // every block before this one is written
  bool stopped_ = false;     // another block stopped the run while this one waited
  uint32_t reported_ = 0;    // pings of the block written and reported
  uint32_t formatted_ = 0;   // pings of the block in the buffer or written
};


void RunWorkers(Run& run) {
  Worker first(run, false);
  if (run.blocks <= 1) {
    first.Work(0, 1);
    return;
  }
  Worker second(run, true);
  std::exception_ptr second_failed;
  {
    // On every way out the run is stopped first, so that the second worker cannot wait for
    // a block that will never come.
    platform::ScopedThread helper([&run] { run.Stop(); });
    const bool two = helper.Start([&run, &second, &second_failed] {
      try {
        second.Work(1, 2);
      } catch (...) {
        second_failed = std::current_exception();
        run.Stop();
      }
    });
    first.Work(0, two ? 2 : 1);
    helper.Join();
  }
  if (second_failed) std::rethrow_exception(second_failed);
}

}  // namespace

// Pings per block for a job: a few cache-sized chunks; for the text format no more than
// fill about one output write in the worst case, so that a block rarely waits for its turn
// in the middle.
uint32_t BlockPings(const EXPORTJOB& job, const LoggedFileInfo& info, int32_t n0) {
  uint32_t block = ChunkPings(info.record_size) * kChunksPerBlock;
  if (job.data_format == kFormatText) {
    // At most 7 bytes a sample ("65535\r\n") and well under 2 KiB of header lines.
    const size_t per_ping = static_cast<size_t>(n0) * 7 + 2048;
    const uint32_t fit = static_cast<uint32_t>(std::max<size_t>(1, kFlushAt / per_ping));
    block = std::min(block, fit);
  }
  return block;
}

BlocksRun RunBlocks(const EXPORTJOB& job, const LoggedFileInfo& info, int32_t n0,
                    uint32_t block_pings, platform::File& in, platform::File& out,
                    ExportProgress& progress, const std::atomic<bool>* stop) {
  Run run(job, info, n0, block_pings, in, out, progress, stop);
  RunWorkers(run);
  BlocksRun r;
  r.status = run.failure().status;
  r.message = run.failure().message;
  r.code = run.failure().code;
  r.pings_written = run.pings_written();
  r.sound_speed_fallbacks = run.fallbacks();
  return r;
}

}  // namespace zt
