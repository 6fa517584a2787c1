// SONAR-netCDF4 1.0 (ICES) for one single-beam channel, as netCDF-4 (HDF5) with deflate.
// Pings are gathered a chunk at a time and each variable is written one whole chunk per call,
// so every chunk is compressed once and memory stays at one chunk of samples.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "export/netcdf_api.h"
#include "export/netcdf_layout.h"
#include "export/science_export.h"
#include "platform/output_file.h"

namespace zt {

const bool kNetcdfSupported = true;

namespace {

constexpr size_t kChunkBytes = 1 << 20;  // samples of one chunk of backscatter_r
constexpr size_t kMaxChunkPings = 1024;

// A ping's time in nanoseconds since 1970, the nearest to its 1/65536 s: 10^9 / 65536 is
// 1953125 / 128, so the tick count comes back exactly by rounding.
int64_t Nanoseconds(uint32_t time_utc, uint16_t fraction) {
  return static_cast<int64_t>(time_utc) * 1000000000 +
         (static_cast<int64_t>(fraction) * 1953125 + 64) / 128;
}

class NetcdfSink : public PingSink {
 public:
  NetcdfSink(NcLayout& nc, int32_t n0, size_t chunk_pings)
      : nc_(nc), n0_(static_cast<size_t>(n0)), chunk_(chunk_pings) {
    samples_.resize(chunk_ * std::max<size_t>(n0_, 1));
  }

  bool Ping(const PingFacts& p) override {
    const size_t k = time_.size();
    std::copy(p.samples, p.samples + n0_, samples_.begin() + static_cast<ptrdiff_t>(k * n0_));
    time_.push_back(Nanoseconds(p.time_utc, p.time_fraction));
    ping_number_.push_back(p.footer.ping_number);
    ping_in_series_.push_back(p.ping_in_series);
    sample_count_.push_back(p.sample_count);
    temperature_.push_back(p.footer.temperature_c);
    sound_speed_.push_back(p.sound_speed);
    tilt_x_.push_back(p.footer.pitch_deg);
    tilt_y_.push_back(p.footer.roll_deg);
    bottom_.push_back(p.altitude > 0.0f ? p.altitude : NAN);
    battery_.push_back(p.footer.battery_v);
    device_altitude_.push_back(p.footer.altitude_m);
    latitude_.push_back(p.has_position ? p.latitude : NAN);
    longitude_.push_back(p.has_position ? p.longitude : NAN);
    return time_.size() < chunk_ || Flush();
  }

  // Writes the pings gathered since the last flush.
  bool Flush() {
    const size_t n = time_.size();
    if (n == 0) return true;
    const size_t at = written_;
    bool ok = nc_.PutTimes(at, n, time_.data()) &&
              nc_.PutSamples(at, n, samples_.data()) &&
              nc_.PutInt(NcVar::kPingNumber, at, n, ping_number_.data()) &&
              nc_.PutInt(NcVar::kPingInSeries, at, n, ping_in_series_.data()) &&
              nc_.PutInt(NcVar::kSampleCount, at, n, sample_count_.data()) &&
              nc_.PutFloat(NcVar::kTemperature, at, n, temperature_.data()) &&
              nc_.PutFloat(NcVar::kSoundSpeed, at, n, sound_speed_.data()) &&
              nc_.PutFloat(NcVar::kTiltX, at, n, tilt_x_.data()) &&
              nc_.PutFloat(NcVar::kTiltY, at, n, tilt_y_.data()) &&
              nc_.PutFloat(NcVar::kBottomRange, at, n, bottom_.data()) &&
              nc_.PutFloat(NcVar::kBattery, at, n, battery_.data()) &&
              nc_.PutFloat(NcVar::kDeviceAltitude, at, n, device_altitude_.data()) &&
              nc_.PutDouble(NcVar::kLatitude, at, n, latitude_.data()) &&
              nc_.PutDouble(NcVar::kLongitude, at, n, longitude_.data()) &&
              nc_.PutPerChannel(at, n);
    Clear();
    written_ += n;
    if (!ok) why = nc_.why();
    return ok;
  }

 private:
  void Clear() {
    time_.clear();
    for (auto* v : {&ping_number_, &ping_in_series_, &sample_count_}) v->clear();
    for (auto* v : {&temperature_, &sound_speed_, &tilt_x_, &tilt_y_, &bottom_, &battery_,
                    &device_altitude_})
      v->clear();
    latitude_.clear();
    longitude_.clear();
  }

  NcLayout& nc_;
  size_t n0_;
  size_t chunk_;
  size_t written_ = 0;
  std::vector<uint16_t> samples_;
  std::vector<int64_t> time_;
  std::vector<int32_t> ping_number_, ping_in_series_, sample_count_;
  std::vector<float> temperature_, sound_speed_, tilt_x_, tilt_y_, bottom_, battery_,
      device_altitude_;
  std::vector<double> latitude_, longitude_;
};

}  // namespace

ExportResult ExportNetcdf(const EXPORTJOB& job, ExportProgress& progress,
                          const ExportOptions& options) {
  ExportResult res;
  ScienceInput input;
  if (!PrepareScienceExport(job, &input, &res)) return res;
  std::string why;
  if (LoadNetcdf(&why) == nullptr) {
    res.status = ExportStatus::kRefused;
    res.message = "--format netcdf: " + why;
    return res;
  }
  platform::OutputFile out;
  std::string path;
  // The library writes by name and seeks: always a temporary file renamed when complete.
  if (!out.OpenForLibrary(job.output_path, platform::OutputRule::kReplace, &path))
    return OutputFailure(res, job, out.why(), out.error());
  const size_t chunk_pings = std::clamp<size_t>(
      kChunkBytes / (2 * static_cast<size_t>(std::max<int32_t>(input.n0, 1))), 1,
      kMaxChunkPings);
  NcLayout nc;
  if (!nc.Create(path, job, input, chunk_pings)) {
    out.Abandon();
    return OutputFailure(res, job, nc.why());
  }
  NetcdfSink sink(nc, input.n0, chunk_pings);
  const bool streamed = StreamPings(job, input, sink, progress, &res);
  if (!streamed && (options.atomic_output || res.status == ExportStatus::kOutputFailed)) {
    nc.Abort();
    out.Abandon();
    return res;
  }
  // Written in place (the export dialog), the pings before a bad one stay as a whole file.
  if (!sink.Flush() || !nc.Close() || !out.Commit()) {
    const std::string why = nc.why().empty() ? out.why() : nc.why();
    nc.Abort();
    out.Abandon();
    return OutputFailure(res, job, why, nc.why().empty() ? out.error() : 0);
  }
  if (!streamed) {
    res.message += "; the pings before it are kept in a complete netCDF file";
    return res;
  }
  progress.SetPos(99);
  return res;
}

}  // namespace zt
