#include "export/science_export.h"

#include <cmath>
#include <vector>

#include "export/altitude.h"
#include "logfile/record_reader.h"
#include "platform/le_bytes.h"
#include "platform/output_file.h"
#include "platform/short_number.h"
#include "platform/time.h"

namespace zt {
namespace {

constexpr double kMaxGapLimitS = 86400.0;

ExportResult Refused(ExportStatus status, std::string message, int code = 0) {
  ExportResult r;
  r.status = status;
  r.message = std::move(message);
  r.system_error = code;
  return r;
}

// The checks of the science formats' own parameters; empty when acceptable.
std::string CheckScienceParameters(const EXPORTJOB& job) {
  if (job.compress_level < 0 || job.compress_level > 9)
    return "compression level " + std::to_string(job.compress_level) + " is outside 0-9";
  if (!(job.max_gap_s > 0 && job.max_gap_s <= kMaxGapLimitS))
    return "largest track gap " + ShortNumber(job.max_gap_s) +
           " s is not a number of seconds above 0 and up to a day";
  if (job.data_format == kFormatGeojson && job.gps_track_path.empty())
    return "the GeoJSON format needs a GPS track to place the pings";
  return {};
}

// Progress as the logger's formats give it: a step each time the whole percentage changes
// (from 2 % on), a ping count every 1024 pings.
class Steps {
 public:
  Steps(ExportProgress& progress, uint32_t count, uint32_t record_size)
      : progress_(progress), count_(count), record_size_(record_size),
        step_(100.0f / static_cast<float>(count)) {
    progress_.SetRange(1, 99);
    progress_.SetStep(1);
  }
  void Done(uint32_t i) {
    const int pos = static_cast<int>(static_cast<float>(i) * step_);
    if (pos >= 2 && pos != last_) {
      progress_.StepIt();
      last_ = pos;
    }
    if ((i & 1023) == 1023) progress_.Pings(i + 1, count_, PingOffset(record_size_, i + 1));
  }

 private:
  ExportProgress& progress_;
  uint32_t count_;
  uint32_t record_size_;
  float step_;
  int last_ = 0;
};

std::string CorruptMessage(const EXPORTJOB& job, uint32_t i, int32_t own, int32_t n_max) {
  return job.input_path + ": ping " + std::to_string(i) + " is corrupt: its sample count " +
         std::to_string(own) + " does not fit the " + std::to_string(n_max) +
         " samples of a record";
}

// A record's facts; false for a corrupt ping.
bool Facts(const EXPORTJOB& job, const ScienceInput& input, const uint8_t* rec,
           std::vector<uint16_t>& scratch, PingFacts* p) {
  const int32_t own = LoadI32(rec + kRecSampleCount);
  if (own < 0 || own > input.info.samples) {
    p->sample_count = own;
    return false;
  }
  p->sample_count = own;
  p->time_utc = LoadU32(rec + kRecTimeUtc);
  p->time_fraction = LoadU16(rec + kRecTimeFraction);
  p->ping_in_series = LoadI32(rec + kRecPingInSeries);
  p->footer = DecodeEchoFooter(rec + kEchoHeaderSize + 2 * static_cast<size_t>(own));
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  for (int32_t j = 0; j < input.n0; ++j) scratch[j] = LoadU16(rec + kEchoHeaderSize + 2 * j);
  p->samples = scratch.data();
#else
  (void)scratch;
  p->samples = RecordReader::SamplesInPlace(rec);
#endif
  p->sound_speed = PingSoundSpeed(job.water, job.sound_speed, p->footer.temperature_c,
                                  &p->sound_speed_fallback);
  float peak = 0.0f;
  p->altitude = FindAltitude(p->samples, input.n0, job.threshold_pct, job.deadzone_m,
                             input.info.header.offset_m, p->sound_speed,
                             input.info.header.tx_length_us, &peak);
  p->has_position =
      input.has_track && input.track.PositionAt(PingTicks(p->time_utc, p->time_fraction),
                                                input.max_gap_ticks, &p->latitude, &p->longitude);
  return true;
}

}  // namespace

ExportResult RunExport(const EXPORTJOB& job, ExportProgress& progress,
                       const ExportOptions& options) {
  if (job.data_format == kFormatNetcdf) return ExportNetcdf(job, progress, options);
  if (job.data_format == kFormatGeojson) return ExportGeojson(job, progress, options);
  return ExportLoggerFormat(job, progress, options);
}

bool PrepareScienceExport(const EXPORTJOB& job, ScienceInput* input, ExportResult* res) {
  if (platform::OutputIsInput(job.output_path, job.input_path)) {
    *res = Refused(ExportStatus::kRefused,
                   job.output_path + ": is the input file; choose another output");
    return false;
  }
  std::string why;
  if (!input->in.OpenRead(job.input_path)) {
    const int code = input->in.last_error();
    *res = Refused(ExportStatus::kInputFailed, job.input_path + ": " + platform::ErrorText(code),
                   code);
    return false;
  }
  if (!InspectLoggedFile(input->in, &input->info, &why) ||
      !(why = CheckExportParameters(job)).empty() ||
      !(why = CheckScienceParameters(job)).empty()) {
    *res = Refused(ExportStatus::kRefused, job.input_path + ": " + why);
    return false;
  }
  res->ping_count = input->info.ping_count;
  if (input->info.ping_count > 0) {
    std::vector<uint8_t> record(input->info.record_size);
    const int64_t got = ReadPingSized(input->in, record.data(), input->info.record_size, 0);
    if (got != input->info.record_size) {
      const int code = got < 0 ? input->in.last_error() : 0;
      *res = Refused(ExportStatus::kInputFailed,
                     job.input_path + ": ping 0 could not be read" +
                         (code ? ": " + platform::ErrorText(code) : std::string()),
                     code);
      return false;
    }
    input->n0 = LoadI32(record.data() + kRecSampleCount);
    if (input->n0 < 0 || input->n0 > input->info.samples) {
      *res = Refused(ExportStatus::kCorruptPing,
                     CorruptMessage(job, 0, input->n0, input->info.samples));
      return false;
    }
  }
  input->has_track = !job.gps_track_path.empty();
  input->max_gap_ticks = static_cast<int64_t>(std::floor(job.max_gap_s * kTicksPerSecond));
  if (input->has_track && !LoadGpsTrack(job.gps_track_path, &input->track, &why)) {
    *res = Refused(ExportStatus::kRefused, why);
    return false;
  }
  return true;
}

bool StreamPings(const EXPORTJOB& job, ScienceInput& input, PingSink& sink,
                 ExportProgress& progress, ExportResult* res) {
  const uint32_t count = input.info.ping_count;
  Steps steps(progress, count, input.info.record_size);
  std::vector<uint16_t> scratch(static_cast<size_t>(input.n0));
  RecordReader reader(input.in, input.info.record_size, 0, count);
  uint32_t i = 0;
  for (const uint8_t* rec; (rec = reader.Next()) != nullptr; ++i) {
    PingFacts p;
    p.index = i;
    if (!Facts(job, input, rec, scratch, &p)) {
      res->status = ExportStatus::kCorruptPing;
      res->message = CorruptMessage(job, i, p.sample_count, input.info.samples);
      return false;
    }
    if (p.sound_speed_fallback) ++res->sound_speed_fallbacks;
    if (input.has_track && !p.has_position) ++res->pings_without_position;
    if (!sink.Ping(p)) {
      res->status = ExportStatus::kOutputFailed;
      res->message = platform::OutputName(job.output_path) + ": " + sink.why;
      res->system_error = sink.error;
      return false;
    }
    res->pings_written = i + 1;
    steps.Done(i);
  }
  if (!reader.ok()) {
    res->status = ExportStatus::kInputFailed;
    res->system_error = reader.last_error();
    res->message = job.input_path + ": ping " + std::to_string(i) + " could not be read: " +
                   (reader.last_error() ? platform::ErrorText(reader.last_error())
                                        : std::string("the file ended early"));
    return false;
  }
  progress.Pings(count, count, PingOffset(input.info.record_size, count));
  return true;
}

ExportResult OutputFailure(ExportResult res, const EXPORTJOB& job, const std::string& why,
                           int code) {
  res.status = ExportStatus::kOutputFailed;
  res.message = platform::OutputName(job.output_path) + ": " + why;
  res.system_error = code;
  return res;
}

std::string UtcNowIso() {
  return platform::CivilText(platform::UtcCivil(platform::NowUtcSeconds()),
                             "YYYY-MM-DDThh:mm:ssZ");
}

}  // namespace zt
