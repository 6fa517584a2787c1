#include "export/export_engine.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "export/altitude.h"
#include "export/text_builder.h"
#include "logfile/logfile.h"
#include "logfile/record_reader.h"
#include "platform/file.h"
#include "platform/interrupt.h"
#include "platform/le_bytes.h"
#include "platform/short_number.h"
#include "platform/time.h"

namespace zt {

namespace {

// Local time through the PC's time-zone rules. Zone offsets change only at UTC instants
// that are whole quarter hours, so one look-up serves every ping of a quarter hour.
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

// "%04d%02d%02d %02d:%02d:%02d.%0Nd"
void AppendStamp(TextBuilder& b, const platform::CivilTime& c, int fraction, int digits) {
  b.Int(c.year, 4, true).Int(c.month, 2, true).Int(c.day, 2, true).Char(' ');
  b.Int(c.hour, 2, true).Char(':').Int(c.minute, 2, true).Char(':').Int(c.second, 2, true);
  b.Char('.').Int(fraction, digits, true);
}

class Sentence {
 public:
  explicit Sentence(TextBuilder& b) : b_(b) {
    b_.Char('$');
    start_ = b_.size();
  }
  ~Sentence() {
    uint8_t sum = 0;
    if (!b_.overflow())
      for (size_t k = start_; k < b_.size(); ++k) sum ^= static_cast<uint8_t>(b_.data()[k]);
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
};

class BlockWriter {
 public:
  BlockWriter(const EXPORTJOB& job, const LoggedFileInfo& info, int zone_bias)
      : job_(job), hdr_(info.header), zone_bias_(zone_bias) {}

  void Sentences(TextBuilder& b, const PingView& p, float depth_m) {
    platform::CivilTime u = platform::UtcCivil(p.time_utc);
    {
      Sentence s(b);
      b.Str("SDZDA,").Int(u.hour, 2, true).Int(u.minute, 2, true).Int(u.second, 2, true);
      b.Char('.').Int(FractionHundredths(p.time_fraction), 2, true).Char(',');
      b.Int(u.day, 2, true).Char(',').Int(u.month, 2, true).Char(',').Int(u.year, 4, true);
      b.Char(',').Int(-zone_bias_ / 60, 2, true).Char(',');
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
    b.Str("\r\n#Resolution,m ").Fixed(job_.sound_speed * 0.5 / 100000, 4, 7);
    b.Str("\r\n#SoundSpeed,mps ").Fixed(job_.sound_speed, 2, 7);
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
    median_.Reset();
    series_sum_ = 0.0f;
  }

  void CsvRow(TextBuilder& b, const PingView& p, float altitude, float peak) {
    const int32_t amp_pct = AmplitudePercent(peak);
    const float gated = AmplitudeGate(altitude, amp_pct, job_.amplitude_over_pct);
    const float median = median_.Add(gated);
    series_sum_ += median;
    b.Char(' ');
    AppendStamp(b, clock_.Local(p.time_utc), FractionMilliseconds(p.time_fraction), 3);
    b.Char(',').Int(p.footer.ping_number, 7);
    b.Char(',').Fixed(p.footer.altitude_m * 1000.0f, 1, 8);
    b.Char(',').Fixed(p.footer.temperature_c, 2, 7);
    b.Char(',').Int(static_cast<int32_t>(static_cast<double>(p.footer.battery_v * 1000.0f) + 0.5),
                    6);
    b.Char(',').Int(amp_pct, 4);
    b.Char(',').Fixed(altitude * 1000.0f, 1, 8);
    b.Char(',').Fixed(gated * 1000.0f, 1, 8);
    b.Char(',').Fixed(median * 1000.0f, 1, 8);
    b.Char(',');
    if (p.ping_in_series == hdr_.ping_count) {
      b.Fixed(SeriesAverage(series_sum_, hdr_.ping_count) * 1000.0f, 1, 8);
      b.Str(" N:").Int(hdr_.ping_count).Str(" Interval: ").Fixed(1.0f / hdr_.period_s, 1, 4);
      series_sum_ = 0.0f;
    }
    b.Str("\r\n");
  }

 private:
  const EXPORTJOB& job_;
  const TIMERSETTINGS& hdr_;
  int zone_bias_;
  LocalClock clock_;
  MedianOf15 median_;
  float series_sum_ = 0.0f;
};

// Output file with a large write buffer: many ping blocks go out in one write.
class Output {
 public:
  static constexpr size_t kFlushAt = 1 << 20;
  static constexpr size_t kCapacity = kFlushAt + kExportBlockLimit + 4096;

  Output() : buf_(kCapacity) {}
  platform::File& file() { return file_; }
  // A builder over the free space, large enough for one block and a little more so that a
  // block over the limit is detected rather than cut.
  TextBuilder Block() { return TextBuilder(buf_.data() + len_, kExportBlockLimit + 4096); }
  void Commit(size_t n) { len_ += n; }
  bool NeedsFlush() const { return len_ >= kFlushAt; }
  bool Flush() {
    bool ok = len_ == 0 || file_.WriteAll(buf_.data(), len_);
    len_ = 0;
    return ok;
  }

 private:
  platform::File file_;
  std::vector<char> buf_;
  size_t len_ = 0;
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
  if (job.data_format < kFormatText || job.data_format > kFormatCsv)
    return "unknown data format " + std::to_string(job.data_format);
  if (!(std::isfinite(job.sound_speed) && job.sound_speed > 0.0f))
    return "sound speed " + ShortNumber(job.sound_speed) + " m/s is not a positive number";
  if (job.threshold_pct < 0 || job.threshold_pct > 100)
    return "threshold " + std::to_string(job.threshold_pct) + " % is outside 0-100";
  if (!(job.deadzone_m >= 0.0f) || std::isinf(job.deadzone_m))
    return "deadzone " + ShortNumber(job.deadzone_m) + " m is not zero or a positive number";
  if (job.amplitude_over_pct < 0 || job.amplitude_over_pct > 100)
    return "amplitude gate " + std::to_string(job.amplitude_over_pct) + " % is outside 0-100";
  return {};
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
  if (platform::SameFile(job.input_path, job.output_path))
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

  Output out;
  const std::string target = job.output_path;
  const std::string written_path =
      options.atomic_output ? platform::TempPathBeside(target) : target;
  // An interrupted program removes its temporary file rather than leave it half-written.
  platform::RemoveOnInterrupt remove_on_interrupt(options.atomic_output ? written_path
                                                                        : std::string());
  if (!out.file().Create(written_path, platform::CreateMode::kAlways))
    return fail(ExportStatus::kOutputFailed,
                target + ": " + platform::ErrorText(out.file().last_error()),
                out.file().last_error());

  // Ends the run after a failure: keep what was written (the dialog's behaviour), or leave
  // nothing behind when writing under a temporary name.
  auto abandon = [&](ExportStatus status, std::string message, int code) {
    if (status != ExportStatus::kOutputFailed) out.Flush();
    out.file().Close();
    if (options.atomic_output) platform::RemoveFile(written_path);
    return fail(status, std::move(message), code);
  };
  auto write_failed = [&]() {
    int code = out.file().last_error();
    return abandon(ExportStatus::kOutputFailed, target + ": " + platform::ErrorText(code), code);
  };

  BlockWriter writer(job, info, platform::StandardBiasMinutes());
  const float step = 100.0f / static_cast<float>(count);
  int last_progress = 0;
  progress.SetRange(1, 99);
  progress.SetStep(1);

  if (job.data_format == kFormatCsv) {
    TextBuilder b = out.Block();
    writer.CsvHeader(b);
    out.Commit(b.size());
  }

  // The detection needs only the samples, so it runs on the reading thread as each block
  // arrives, while this thread formats and writes the block before.
  struct Detection {
    float altitude;
    float peak;
  };
  std::vector<Detection> detections[2];
  std::vector<uint16_t> hook_samples(static_cast<size_t>(n0));
  auto detect = [&](const uint8_t* first, size_t records, int slot) {
    std::vector<Detection>& d = detections[slot];
    d.resize(records);
    for (size_t k = 0; k < records; ++k) {
      const uint8_t* rec = first + k * info.record_size;
      const uint16_t* s = SamplesOf(rec, n0, hook_samples.data());
      d[k].altitude = FindAltitude(s, n0, job.threshold_pct, job.deadzone_m, info.header.offset_m,
                                   job.sound_speed, info.header.tx_length_us, &d[k].peak);
    }
  };
  std::vector<uint16_t> samples(static_cast<size_t>(n0));
  RecordReader reader(in, info.record_size, 0, count, detect);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* rec = reader.Next();
    if (!rec) {
      int code = reader.last_error();
      return abandon(ExportStatus::kInputFailed,
                     job.input_path + ": ping " + std::to_string(i) + " could not be read: " +
                         (code ? platform::ErrorText(code) : std::string("the file ended early")),
                     code);
    }
    // The ping's own count places its footer; one that does not fit the record is corrupt.
    const int32_t own = LoadI32(rec + kRecSampleCount);
    if (own < 0 || own > n_max)
      return abandon(ExportStatus::kCorruptPing,
                     job.input_path + ": ping " + std::to_string(i) +
                         " is corrupt: its sample count " + std::to_string(own) +
                         " does not fit the " + std::to_string(n_max) + " samples of a record",
                     0);

    PingView p;
    p.time_utc = LoadU32(rec + kRecTimeUtc);
    p.time_fraction = LoadU16(rec + kRecTimeFraction);
    p.ping_in_series = LoadI32(rec + kRecPingInSeries);
    p.footer = DecodeEchoFooter(rec + kEchoHeaderSize + 2 * static_cast<size_t>(own));
    const Detection& found = detections[reader.slot()][reader.index_in_block()];
    const float altitude = found.altitude;
    const float peak = found.peak;

    TextBuilder b = out.Block();
    switch (job.data_format) {
      case kFormatText: writer.Text(b, p, altitude, SamplesOf(rec, n0, samples.data()), n0); break;
      case kFormatNmea: writer.Sentences(b, p, altitude); break;
      default: writer.CsvRow(b, p, altitude, peak); break;
    }
    if (b.overflow() || b.size() > kExportBlockLimit)
      return abandon(ExportStatus::kBlockTooLarge,
                     job.input_path + ": ping " + std::to_string(i) +
                         " makes an output block over the 400000-byte limit",
                     0);
    out.Commit(b.size());
    if (out.NeedsFlush() && !out.Flush()) return write_failed();
    res.pings_written = i + 1;

    const int pos = static_cast<int>(static_cast<float>(i) * step);
    if (pos >= 2 && pos != last_progress) {
      progress.StepIt();
      last_progress = pos;
    }
    if ((i & 1023) == 1023) progress.Pings(i + 1, count, PingOffset(info.record_size, i + 1));
  }

  if (!out.Flush()) return write_failed();
  if (!out.file().Close()) return write_failed();
  if (options.atomic_output) {
    int code = 0;
    if (!platform::RenameFile(written_path, target, &code)) {
      platform::RemoveFile(written_path);
      return fail(ExportStatus::kOutputFailed, target + ": " + platform::ErrorText(code), code);
    }
  }
  progress.Pings(count, count, PingOffset(info.record_size, count));
  progress.SetPos(99);
  return res;
}

}  // namespace zt
