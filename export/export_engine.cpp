#include "export/export_engine.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "export/altitude.h"
#include "export/text_builder.h"
#include "logfile/logfile.h"
#include "logfile/record_reader.h"
#include "platform/file.h"
#include "platform/output_file.h"
#include "platform/le_bytes.h"
#include "platform/short_number.h"
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

// Local time through the PC's time-zone rules. Zone offsets change only at UTC instants
// that are whole quarter hours, so one look-up serves every ping of a quarter hour.
class LocalClock {
 public:
  platform::CivilTime Local(int64_t t) {
    int64_t bucket = t >= 0 ? t / 900 : -1 - (-t - 1) / 900;
    if (bucket != bucket_) {
      bucket_ = bucket;
      offset_ = platform::LocalOffsetSeconds(t);
    }
    return platform::UtcCivil(t + offset_);
  }

 private:
  int64_t bucket_ = INT64_MIN;
  int64_t offset_ = 0;
};

// The CSV's battery millivolts, rounded as the logger's tools always have (+0.5, then toward
// zero). A damaged footer's value beyond 32 bits, or not a number, gives INT32_MIN, as the x86
// conversion does, instead of undefined behaviour.
int32_t Millivolts(float volts) {
  const double x = static_cast<double>(volts * 1000.0f) + 0.5;
  if (!(x > -2147483649.0 && x < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(x);
}

// "%04d%02d%02d %02d:%02d:%02d.%0Nd"
void AppendStamp(TextBuilder& b, const platform::CivilTime& c, int fraction, int digits) {
  char text[32];
  const size_t n = platform::CivilText(
      c, digits == 3 ? "YYYYMMDD hh:mm:ss.fff" : "YYYYMMDD hh:mm:ss.ff", fraction, text,
      sizeof text);
  b.Str(std::string_view(text, n));
}

class Sentence {
 public:
  explicit Sentence(TextBuilder& b) : b_(b) {
    b_.Char('$');
    start_ = b_.size();
  }
  ~Sentence() {
    uint8_t sum = 0;
    if (!b_.overflow()) {
      // Eight bytes at a time, then folded: the XOR of every byte whatever the byte order.
      const char* p = b_.data() + start_;
      size_t n = b_.size() - start_;
      uint64_t wide = 0;
      for (; n >= 8; n -= 8, p += 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        wide ^= w;
      }
      wide ^= wide >> 32;
      wide ^= wide >> 16;
      wide ^= wide >> 8;
      sum = static_cast<uint8_t>(wide);
      for (; n > 0; --n, ++p) sum ^= static_cast<uint8_t>(*p);
    }
    static const char kHex[] = "0123456789ABCDEF";
    b_.Char('*').Char(kHex[sum >> 4]).Char(kHex[sum & 15]).Str("\r\n");
  }

 private:
  TextBuilder& b_;
  size_t start_;
};

struct PingView {
  int64_t time_utc;
  uint16_t time_fraction;
  int32_t ping_in_series;
  ECHOFOOTER footer;
  float sound_speed;  // the one the ping's altitude was found with
};

// The CSV columns that carry from ping to ping (the running median of 15 and the series
// sum), worked out in ping order.
struct CsvFigures {
  int32_t amp_pct = 0;
  float gated = 0.0f;
  float median = 0.0f;
  bool series_end = false;  // the last ping of a series: its row ends with the average
  float series_average = 0.0f;
};

class CsvStatistics {
 public:
  CsvStatistics(int32_t amplitude_over_pct, int32_t ping_count)
      : gate_(amplitude_over_pct), ping_count_(ping_count) {}

  CsvFigures Add(float altitude, float peak, int32_t ping_in_series) {
    CsvFigures f;
    f.amp_pct = AmplitudePercent(peak);
    f.gated = AmplitudeGate(altitude, f.amp_pct, gate_);
    f.median = median_.Add(f.gated);
    series_sum_ += f.median;
    if (ping_in_series == ping_count_) {
      f.series_end = true;
      f.series_average = SeriesAverage(series_sum_, ping_count_);
      series_sum_ = 0.0f;
    }
    return f;
  }

 private:
  int32_t gate_;
  int32_t ping_count_;
  MedianOf15 median_;
  float series_sum_ = 0.0f;
};

class BlockWriter {
 public:
  BlockWriter(const EXPORTJOB& job, const LoggedFileInfo& info, int zone_bias)
      : job_(job), hdr_(info.header), zone_bias_(zone_bias) {}

  void Sentences(TextBuilder& b, const PingView& p, float depth_m) {
    platform::CivilTime u = platform::UtcCivil(p.time_utc);
    {
      Sentence s(b);
      char text[32];
      const size_t n = platform::CivilText(u, "hhmmss.ff,DD,MM,YYYY",
                                           FractionHundredths(p.time_fraction), text, sizeof text);
      b.Str("SDZDA,").Str(std::string_view(text, n)).Char(',').Int(-zone_bias_ / 60, 2, true).Char(',');
      b.Int((zone_bias_ < 0 ? -zone_bias_ : zone_bias_) % 60, 2, true);
    }
    {
      Sentence s(b);
      b.Str("SDXDR,A,").Fixed(p.footer.pitch_deg, 1).Str(",D,PTCH,A,");
      b.Fixed(p.footer.roll_deg, 1).Str(",D,ROLL");
    }
    {
      Sentence s(b);
      b.Str("SDDBT,").Fixed(depth_m / 0.3048, 3).Str(",f,").Fixed(depth_m, 3).Str(",M,");
      b.Fixed(depth_m / 1.8288, 3).Str(",F");
    }
  }

  void Text(TextBuilder& b, const PingView& p, float altitude, const uint16_t* samples,
            int32_t n0) {
    b.Str("#DeviceID ").Int(hdr_.device_id, 6, true).Str(" ZT615 USB/SDCard + Alfat Type\r\n");
    const int hundredths = FractionHundredths(p.time_fraction);
    b.Str("#TimeLocal ");
    AppendStamp(b, clock_.Local(p.time_utc), hundredths, 2);
    b.Str("\r\n#TimeUTC   ");
    AppendStamp(b, platform::UtcCivil(p.time_utc), hundredths, 2);
    b.Str("\r\n#Ping   ").Int(p.footer.ping_number);
    b.Str("\r\n#Ping num in series  ").Int(p.ping_in_series);
    b.Str("\r\n#Altitude,m   ").Fixed(altitude, 3, 6);
    b.Str("\r\n#Temperature,\xB0" "C ").Fixed(p.footer.temperature_c, 2, 5);
    b.Str("\r\n#NSamples ").Int(p.footer.sample_count);
    b.Str("\r\n#Resolution,m ").Fixed(p.sound_speed * 0.5 / 100000, 4, 7);
    b.Str("\r\n#SoundSpeed,mps ").Fixed(p.sound_speed, 2, 7);
    b.Str("\r\n#---------------Parameters---------------\r\n#Tx_Frequency,Hz 450000");
    b.Str("\r\n#Range,m ").Fixed(hdr_.range_mm / 1000.0, 1, 6);
    b.Str("\r\n#Pulse period,sec  ").Fixed(hdr_.period_s, 2, 4);
    b.Str("\r\n#Pulses in series,num  ").Int(hdr_.ping_count);
    b.Str("\r\n#Interval between series,sec  ").Int(hdr_.interval_s);
    b.Str("\r\n#Threshold,%   ").Int(job_.threshold_pct);
    b.Str("\r\n#Offset,m  ").Fixed(hdr_.offset_m, 3, 6);
    b.Str("\r\n#Deadzone,m  ").Fixed(job_.deadzone_m, 3, 5);
    b.Str("\r\n#PulseLength,uks ").Int(hdr_.tx_length_us);
    b.Str("\r\n#TVG_Gain,dB  ").Fixed(hdr_.gain_db, 3, 5, false, true);
    b.Str("\r\n#TVG_Slope,dB/km ").Fixed(hdr_.tvg_slope, 1, 5);
    b.Str("\r\n#TVG_Mode  1\r\n#OutputMode    2");
    b.Str("\r\n#Pitch,deg ").Fixed(p.footer.pitch_deg, 3, 8, true);
    b.Str("\r\n#Roll,deg ").Fixed(p.footer.roll_deg, 3, 8, true);
    b.Str("\r\n\r\n");
    Sentences(b, p, p.footer.altitude_m);
    b.Str("\r\n##DataStart\r\n");
    b.SampleLines(samples, n0);
    b.Str("##DataEnd\r\n\r\n");
  }

  void CsvHeader(TextBuilder& b) {
    b.Str(" Date Time,Ping,Altitude [mm],Temperature [Celsius],Battery[mV],Amplitude Raw[%FS],"
          " Ampl>");
    b.Int(job_.amplitude_over_pct, 2, true);
    b.Str("%, Median15, Average Value, NSeries, Interval\r\n");
  }

  void CsvRow(TextBuilder& b, const PingView& p, float altitude, const CsvFigures& f) {
    b.Char(' ');
    AppendStamp(b, clock_.Local(p.time_utc), FractionMilliseconds(p.time_fraction), 3);
    b.Char(',').Int(p.footer.ping_number, 7);
    b.Char(',').Fixed(p.footer.altitude_m * 1000.0f, 1, 8);
    b.Char(',').Fixed(p.footer.temperature_c, 2, 7);
    b.Char(',').Int(Millivolts(p.footer.battery_v), 6);
    b.Char(',').Int(f.amp_pct, 4);
    b.Char(',').Fixed(altitude * 1000.0f, 1, 8);
    b.Char(',').Fixed(f.gated * 1000.0f, 1, 8);
    b.Char(',').Fixed(f.median * 1000.0f, 1, 8);
    b.Char(',');
    if (f.series_end) {
      b.Fixed(f.series_average * 1000.0f, 1, 8);
      b.Str(" N:").Int(hdr_.ping_count).Str(" Interval: ").Fixed(1.0f / hdr_.period_s, 1, 4);
    }
    b.Str("\r\n");
  }

 private:
  const EXPORTJOB& job_;
  const TIMERSETTINGS& hdr_;
  int zone_bias_;
  LocalClock clock_;
};

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
    const uint32_t rs = run_.info.record_size;
    const int32_t n0 = run_.n0;
    const int32_t n_max = run_.info.samples;
    const int32_t format = run_.job.data_format;
    len_ = 0;
    holds_turn_ = false;
    stopped_ = false;
    reported_ = first;
    formatted_ = first;
    rows_.clear();
    Failure failure;

    for (uint32_t c = first; c < end && failure.ok();) {
      if (run_.stopped()) return false;
      const uint32_t n = std::min(run_.chunk_pings, end - c);
      int code = 0;
      const int64_t got = Read(c, n, &code);
      const uint32_t whole = got < 0 ? 0 : static_cast<uint32_t>(static_cast<uint64_t>(got) / rs);
      const uint8_t* recs = reinterpret_cast<const uint8_t*>(chunk_.get());
      for (uint32_t j = 0; j < whole; ++j) {
        const uint32_t i = c + j;
        const uint8_t* rec = recs + size_t{j} * rs;
        // The ping's own count places its footer; one that does not fit the record is corrupt.
        const int32_t own = LoadI32(rec + kRecSampleCount);
        if (own < 0 || own > n_max) {
          failure = Corrupt(i, own);
          break;
        }
        PingView p;
        p.time_utc = LoadU32(rec + kRecTimeUtc);
        p.time_fraction = LoadU16(rec + kRecTimeFraction);
        p.ping_in_series = LoadI32(rec + kRecPingInSeries);
        p.footer = DecodeEchoFooter(rec + kEchoHeaderSize + 2 * static_cast<size_t>(own));
        const uint16_t* samples = SamplesOf(rec, n0, scratch_.data());
        bool outside = false;
        p.sound_speed = PingSoundSpeed(run_.job.water, run_.job.sound_speed,
                                       p.footer.temperature_c, &outside);
        if (outside) run_.CountFallback();
        float peak = 0.0f;
        const float altitude =
            FindAltitude(samples, n0, run_.job.threshold_pct, run_.job.deadzone_m,
                         run_.info.header.offset_m, p.sound_speed,
                         run_.info.header.tx_length_us, &peak);
        if (format == kFormatCsv) {
          rows_.push_back(CsvPing{p, altitude, peak, CsvFigures{}});
          continue;
        }
        TextBuilder b(out_.get() + len_, kPingRoom);
        if (format == kFormatText) {
          writer_.Text(b, p, altitude, samples, n0);
        } else {
          writer_.Sentences(b, p, altitude);
        }
        if (!Commit(k, i, b, &failure)) break;
      }
      if (stopped_) return false;
      if (failure.ok() && whole < n) {
        const uint32_t i = c + whole;
        failure.status = ExportStatus::kInputFailed;
        failure.code = got < 0 ? code : 0;
        failure.message = run_.job.input_path + ": ping " + std::to_string(i) +
                          " could not be read: " +
                          (failure.code ? platform::ErrorText(failure.code)
                                        : std::string("the file ended early"));
      }
      c += n;
    }

    if (format == kFormatCsv) {
      // The running statistics go through the blocks in ping order; the rows are then
      // formatted while the other worker takes its turn.
      if (!run_.WaitStatisticsTurn(k)) return false;
      for (CsvPing& r : rows_)
        r.figures = run_.statistics.Add(r.altitude, r.peak, r.p.ping_in_series);
      run_.PassStatisticsTurn(k);
      for (size_t j = 0; j < rows_.size(); ++j) {
        TextBuilder b(out_.get() + len_, kPingRoom);
        writer_.CsvRow(b, rows_[j].p, rows_[j].altitude, rows_[j].figures);
        Failure earlier;  // a ping before the one that stopped the reading
        if (!Commit(k, first + static_cast<uint32_t>(j), b, &earlier)) {
          if (!earlier.ok()) failure = std::move(earlier);
          break;
        }
      }
      if (stopped_) return false;
    }

    // The block's output, after every block before it. After a failure the pings before it
    // are still written, as one worker would have written them.
    if (!TakeWriteTurn(k)) return false;
    if (failure.status == ExportStatus::kOutputFailed) {
      run_.Fail(std::move(failure));
      return false;
    }
    WriteOut(&failure);
    if (!failure.ok()) {
      run_.Fail(std::move(failure));
      return false;
    }
    run_.PassWriteTurn(k);
    return true;
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
  BlockWriter writer_;
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

// Joins a worker thread on every way out, stopping the run first so that it cannot wait
// for a block that will never come.
class Joiner {
 public:
  Joiner(Run& run, std::thread& t) : run_(run), t_(t) {}
  ~Joiner() {
    if (!t_.joinable()) return;
    if (std::uncaught_exceptions() > 0) run_.Stop();
    t_.join();
  }

 private:
  Run& run_;
  std::thread& t_;
};

}  // namespace

EXPORTJOB JobFromHeader(const TIMERSETTINGS& header, int32_t data_format) {
  EXPORTJOB job;
  job.data_format = data_format;
  job.threshold_pct = header.threshold_pct;
  job.deadzone_m = header.deadzone_m;
  job.sound_speed = header.sound_speed;
  job.amplitude_over_pct = kDefaultAmplitudeOverPct;
  return job;
}

std::string CheckExportParameters(const EXPORTJOB& job) {
  if (job.data_format < kFormatText || job.data_format > kFormatGeojson)
    return "unknown data format " + std::to_string(job.data_format);
  if (!(std::isfinite(job.sound_speed) && job.sound_speed > 0.0f))
    return "sound speed " + ShortNumber(job.sound_speed) + " m/s is not a positive number";
  if (job.threshold_pct < 0 || job.threshold_pct > 100)
    return "threshold " + std::to_string(job.threshold_pct) + " % is outside 0-100";
  if (!(job.deadzone_m >= 0.0f) || std::isinf(job.deadzone_m))
    return "deadzone " + ShortNumber(job.deadzone_m) + " m is not zero or a positive number";
  if (job.amplitude_over_pct < 0 || job.amplitude_over_pct > 100)
    return "amplitude gate " + std::to_string(job.amplitude_over_pct) + " % is outside 0-100";
  return CheckWaterSettings(job.water);
}

ExportResult ExportWorker(const EXPORTJOB& job, ExportProgress& progress,
                          const ExportOptions& options) {
  ExportResult res;
  auto fail = [&res](ExportStatus status, std::string message, int code = 0) {
    res.status = status;
    res.message = std::move(message);
    res.system_error = code;
    return res;
  };

  // Refusals before any ping is read. An output that names the input (the same path, another
  // spelling of it, or a link to the same file) would truncate the recording it reads.
  if (platform::OutputIsInput(job.output_path, job.input_path))
    return fail(ExportStatus::kRefused,
                job.output_path + ": is the input file; choose another output");
  platform::File in;
  if (!in.OpenRead(job.input_path))
    return fail(ExportStatus::kInputFailed,
                job.input_path + ": " + platform::ErrorText(in.last_error()), in.last_error());
  LoggedFileInfo info;
  std::string why;
  if (!InspectLoggedFile(in, &info, &why))
    return fail(ExportStatus::kRefused, job.input_path + ": " + why);
  why = CheckExportParameters(job);
  if (!why.empty()) return fail(ExportStatus::kRefused, job.input_path + ": " + why);
  // The logger's own formats stay as the logger's tools write them: no positions.
  if (job.data_format > kFormatCsv)
    return fail(ExportStatus::kRefused, "the netCDF and GeoJSON formats are written by RunExport");
  if (!job.gps_track_path.empty())
    return fail(ExportStatus::kRefused,
                "a GPS track is for the netCDF and GeoJSON formats; the text, NMEA and CSV "
                "formats stay as the logger's tools write them");

  const uint32_t count = info.ping_count;
  const int32_t n_max = info.samples;
  res.ping_count = count;

  // N0, ping 0's own sample count, bounds the scan and the printed samples of every ping.
  std::vector<uint8_t> record(info.record_size, 0);
  int32_t n0 = 0;
  if (count > 0) {
    int64_t got = ReadPingSized(in, record.data(), info.record_size, 0);
    if (got != info.record_size)
      return fail(ExportStatus::kInputFailed,
                  job.input_path + ": ping 0 could not be read" +
                      (got < 0 ? ": " + platform::ErrorText(in.last_error()) : std::string()),
                  got < 0 ? in.last_error() : 0);
    n0 = LoadI32(record.data() + kRecSampleCount);
    if (n0 < 0 || n0 > n_max)
      return fail(ExportStatus::kCorruptPing,
                  job.input_path + ": ping 0 is corrupt: its sample count " + std::to_string(n0) +
                      " does not fit the " + std::to_string(n_max) + " samples of a record");
  }

  // A plain file is written under a temporary name and renamed when complete; a device or
  // pipe is written through. An interrupted program removes its temporary file.
  const std::string& target = job.output_path;
  platform::OutputFile out;
  if (!out.Open(target, options.atomic_output ? platform::OutputRule::kReplace
                                              : platform::OutputRule::kInPlace))
    return fail(ExportStatus::kOutputFailed, platform::OutputName(target) + ": " + out.why(),
                out.error());

  // Ends the run after a failure: keep what was written (the dialog's behaviour), or leave
  // nothing behind when writing under a temporary name.
  auto abandon = [&](ExportStatus status, std::string message, int code) {
    out.Abandon();
    return fail(status, std::move(message), code);
  };

  progress.SetRange(1, 99);
  progress.SetStep(1);

  if (job.data_format == kFormatCsv) {
    char line[256];
    TextBuilder b(line, sizeof line);
    BlockWriter(job, info, 0).CsvHeader(b);
    if (!out.WriteAll(b.data(), b.size()))
      return abandon(ExportStatus::kOutputFailed,
                     platform::OutputName(target) + ": " + out.why(), out.error());
  }

  const uint32_t block_pings =
      options.block_pings > 0 ? options.block_pings : BlockPings(job, info, n0);
  Run run(job, info, n0, block_pings, in, out.file(), progress, options.stop);
  Worker first(run, false);
  if (run.blocks > 1) {
    // The second worker takes the odd blocks; without a thread the first takes them all.
    Worker second(run, true);
    std::exception_ptr second_failed;
    std::thread helper;
    try {
      helper = std::thread([&run, &second, &second_failed] {
        try {
          second.Work(1, 2);
        } catch (...) {
          second_failed = std::current_exception();
          run.Stop();
        }
      });
    } catch (const std::system_error&) {
    }
    {
      Joiner joiner(run, helper);
      first.Work(0, helper.joinable() ? 2 : 1);
    }
    if (second_failed) std::rethrow_exception(second_failed);
  } else {
    first.Work(0, 1);
  }

  res.pings_written = run.pings_written();
  res.sound_speed_fallbacks = run.fallbacks();
  const Failure& failure = run.failure();
  if (!failure.ok()) return abandon(failure.status, failure.message, failure.code);
  if (!out.Commit())
    return fail(ExportStatus::kOutputFailed, platform::OutputName(target) + ": " + out.why(),
                out.error());
  progress.Pings(count, count, PingOffset(info.record_size, count));
  progress.SetPos(99);
  return res;
}

}  // namespace zt
