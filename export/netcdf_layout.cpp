#include "export/netcdf_layout.h"

#include "export/netcdf_api.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/short_number.h"
#include "zt_version.h"

namespace zt {
namespace {

constexpr size_t kOneDimChunkMin = 1024;  // pings per chunk of the small per-ping variables

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SixDigits(int32_t v) {
  std::string s = std::to_string(v);
  return v >= 0 && s.size() < 6 ? std::string(6 - s.size(), '0') + s : s;
}

}  // namespace

bool NcLayout::Ok(int status, const char* what) {
  if (status == NC_NOERR) return true;
  if (why_.empty()) why_ = std::string("netCDF: ") + what + ": " + Nc().strerror(status);
  return false;
}

bool NcLayout::Att(int grp, int var, const char* name, const std::string& text) {
  return Ok(Nc().put_att_text(grp, var, name, text.size(), text.data()), name);
}

bool NcLayout::AttNumber(int grp, int var, const char* name, double v, int type) {
  return Ok(Nc().put_att_double(grp, var, name, type, 1, &v), name);
}

// A variable, chunked and compressed along ping_time when it has that dimension (its first
// unlimited one), with its units and long name.
bool NcLayout::DefVar(int grp, const char* name, int type, int ndims, const int* dims, Ref* ref,
                      const char* units, const char* long_name) {
  ref->grp = grp;
  if (!Ok(Nc().def_var(grp, name, type, ndims, dims, &ref->var), name)) return false;
  int unlimited = -1;
  for (int k = 0; k < ndims && unlimited < 0; ++k) {
    int ids[NC_MAX_DIMS], n = 0;
    Nc().inq_unlimdims(grp, &n, ids);
    for (int u = 0; u < n; ++u)
      if (ids[u] == dims[k]) unlimited = k;
  }
  if (unlimited >= 0) {
    std::vector<size_t> chunks(static_cast<size_t>(ndims), 1);
    for (int k = 0; k < ndims; ++k) {
      size_t len = 1;
      Nc().inq_dimlen(grp, dims[k], &len);
      chunks[k] = k == unlimited ? (ndims == 1 ? std::max(chunk_pings_, kOneDimChunkMin)
                                               : chunk_pings_)
                                 : std::max<size_t>(len, 1);
    }
    if (!Ok(Nc().def_var_chunking(grp, ref->var, NC_CHUNKED, chunks.data()), name)) return false;
    // Room for the chunk being filled and one more: the library's default cache keeps every
    // finished chunk of every variable until it is full, megabytes per variable.
    size_t type_size = 1, chunk_bytes = 1;
    Nc().inq_type(grp, type, nullptr, &type_size);
    for (size_t c : chunks) chunk_bytes *= c;
    chunk_bytes *= type_size;
    if (!Ok(Nc().set_var_chunk_cache(grp, ref->var, 2 * chunk_bytes + 4096, 7, 1.0f), name))
      return false;
    if (deflate_ > 0 && !Ok(Nc().def_var_deflate(grp, ref->var, 1, 1, deflate_), name))
      return false;
  }
  if (type == NC_FLOAT || type == NC_DOUBLE) {
    const double nan = NAN;
    const float nanf = NAN;
    if (!Ok(Nc().def_var_fill(grp, ref->var, 0, type == NC_FLOAT ? static_cast<const void*>(&nanf)
                                                               : &nan),
            name))
      return false;
  }
  return (!units || Att(grp, ref->var, "units", units)) &&
         (!long_name || Att(grp, ref->var, "long_name", long_name));
}

// An unlimited time dimension with its coordinate: int64 nanoseconds since 1970 UTC.
bool NcLayout::PingTime(int grp, const char* name, int* dim) {
  Ref& t = times_[n_times_++];
  return Ok(Nc().def_dim(grp, name, NC_UNLIMITED, dim), name) &&
         DefVar(grp, name, NC_INT64, 1, dim, &t, "nanoseconds since 1970-01-01T00:00:00Z",
                "Timestamp of each ping") &&
         Att(grp, t.var, "calendar", "standard") && Att(grp, t.var, "axis", "T") &&
         Att(grp, t.var, "standard_name", "time");
}

// A dimension of length 1 and a string variable along it holding `value`.
bool NcLayout::DefString(int grp, const char* dim_name, const char* name,
                         const std::string& value, int* dim) {
  Ref r;
  const char* text = value.c_str();
  return Ok(Nc().def_dim(grp, dim_name, 1, dim), dim_name) &&
         DefVar(grp, name, NC_STRING, 1, dim, &r, nullptr, nullptr) &&
         Ok(Nc().put_var_string(grp, r.var, &text), name);
}

bool NcLayout::Create(const std::string& path, const EXPORTJOB& job, const ScienceInput& input,
                      size_t chunk_pings) {
  chunk_pings_ = chunk_pings;
  deflate_ = job.compress_level;
  sample_interval_s_ = 1e-5;  // one sample per 10 microseconds of two-way travel
  tx_duration_s_ = input.info.header.tx_length_us * 1e-6;
  if (!Ok(Nc().create(path.c_str(), NC_NETCDF4 | NC_CLOBBER, &ncid_), "create")) {
    ncid_ = -1;
    return false;
  }
  int beam_group = -1;
  return DefRoot(job, input) && DefEnvironment(job) && DefPlatform(input.has_track) &&
         DefSonar(input, &beam_group) && DefBeamGroup(beam_group, job, input) &&
         DefVendor(input) && Ok(Nc().enddef(ncid_), "definitions");
}

bool NcLayout::DefRoot(const EXPORTJOB& job, const ScienceInput& input) {
  const std::string now = UtcNowIso();
  const std::string source = BaseName(job.input_path);
  int prov = -1, dim = -1;
  return Att(ncid_, NC_GLOBAL, "Conventions", "CF-1.7, SONAR-netCDF4-1.0, ACDD-1.3") &&
         Att(ncid_, NC_GLOBAL, "date_created", now) &&
         Att(ncid_, NC_GLOBAL, "keywords",
             "ZT615, single-beam echosounder, altimeter, backscatter, bottom detection") &&
         Att(ncid_, NC_GLOBAL, "sonar_convention_authority", "ICES") &&
         Att(ncid_, NC_GLOBAL, "sonar_convention_name", "SONAR-netCDF4") &&
         Att(ncid_, NC_GLOBAL, "sonar_convention_version", "1.0") &&
         Att(ncid_, NC_GLOBAL, "summary",
             "Pings of a ZT615 single-beam echo sounder and altimeter logger (450 kHz): the raw "
             "echo envelope of every ping, the water temperature, tilt and battery, and the "
             "bottom range detected in the samples, converted from " + source + ".") &&
         Att(ncid_, NC_GLOBAL, "title", "ZT615 recording " + source + ", device " +
                                            SixDigits(input.info.header.device_id)) &&
         Ok(Nc().def_grp(ncid_, "Provenance", &prov), "Provenance") &&
         Att(prov, NC_GLOBAL, "conversion_software_name", "zt615") &&
         Att(prov, NC_GLOBAL, "conversion_software_version", ZT_VERSION) &&
         Att(prov, NC_GLOBAL, "conversion_time", now) &&
         DefString(prov, "filenames", "source_filenames", source, &dim);
}

bool NcLayout::DefEnvironment(const EXPORTJOB& job) {
  int grp = -1, dim = -1;
  Ref& speed = vars_[static_cast<int>(NcVar::kSoundSpeed)];
  return Ok(Nc().def_grp(ncid_, "Environment", &grp), "Environment") &&
         PingTime(grp, "time1", &dim) &&
         DefVar(grp, "temperature", NC_FLOAT, 1, &dim,
                &vars_[static_cast<int>(NcVar::kTemperature)], "degree_C",
                "Water temperature at the transducer") &&
         DefVar(grp, "sound_speed_indicative", NC_FLOAT, 1, &dim, &speed, "m/s",
                "Sound speed used for the ping's ranges") &&
         Att(grp, speed.var, "sound_speed_model", SoundSpeedModelName(job.water.model)) &&
         (job.water.model != kSoundSpeedMackenzie ||
          (AttNumber(grp, speed.var, "salinity_psu", job.water.salinity_psu, NC_FLOAT) &&
           AttNumber(grp, speed.var, "transducer_depth_m", job.water.depth_m, NC_FLOAT) &&
           Att(grp, speed.var, "comment",
               "Mackenzie (1981) from each ping's temperature; pings whose temperature is "
               "outside 2-30 degC keep " + ShortNumber(job.sound_speed) + " m/s")));
}

bool NcLayout::DefPlatform(bool track) {
  int grp = -1, dim = -1;
  Ref& lat = vars_[static_cast<int>(NcVar::kLatitude)];
  Ref& lon = vars_[static_cast<int>(NcVar::kLongitude)];
  return Ok(Nc().def_grp(ncid_, "Platform", &grp), "Platform") && PingTime(grp, "time1", &dim) &&
         DefVar(grp, "tilt_x", NC_FLOAT, 1, &dim, &vars_[static_cast<int>(NcVar::kTiltX)],
                "arc_degree", "Tilt about the x axis (pitch), degrees") &&
         DefVar(grp, "tilt_y", NC_FLOAT, 1, &dim, &vars_[static_cast<int>(NcVar::kTiltY)],
                "arc_degree", "Tilt about the y axis (roll), degrees") &&
         (!track ||
          (DefVar(grp, "latitude", NC_DOUBLE, 1, &dim, &lat, "degrees_north",
                  "Platform latitude, interpolated in the GPS track") &&
           Att(grp, lat.var, "standard_name", "latitude") &&
           DefVar(grp, "longitude", NC_DOUBLE, 1, &dim, &lon, "degrees_east",
                  "Platform longitude, interpolated in the GPS track") &&
           Att(grp, lon.var, "standard_name", "longitude")));
}

bool NcLayout::DefSonar(const ScienceInput& input, int* beam_group) {
  int grp = -1, dim = -1;
  Ref descr;
  const char* text = "Single-beam echo sounder, one channel at 450 kHz";
  return Ok(Nc().def_grp(ncid_, "Sonar", &grp), "Sonar") &&
         Att(grp, NC_GLOBAL, "sonar_model", "ZT615") &&
         Att(grp, NC_GLOBAL, "sonar_serial_number", SixDigits(input.info.header.device_id)) &&
         Att(grp, NC_GLOBAL, "sonar_software_name", "zt615") &&
         Att(grp, NC_GLOBAL, "sonar_software_version", ZT_VERSION) &&
         Att(grp, NC_GLOBAL, "sonar_type", "echosounder") &&
         DefString(grp, "beam_group", "beam_group", "Beam_group1", &dim) &&
         DefVar(grp, "beam_group_descr", NC_STRING, 1, &dim, &descr, nullptr,
                "Beam group description") &&
         Ok(Nc().put_var_string(grp, descr.var, &text), "beam_group_descr") &&
         Ok(Nc().def_grp(grp, "Beam_group1", beam_group), "Beam_group1");
}

bool NcLayout::DefBeamGroup(int grp, const EXPORTJOB& job, const ScienceInput& input) {
  int channel = -1, ping = -1, range = -1;
  const TIMERSETTINGS& h = input.info.header;
  Ref range_sample, frequency;
  if (!(Att(grp, NC_GLOBAL, "beam_mode", "vertical") &&
        Att(grp, NC_GLOBAL, "beam_type", "single") &&
        DefString(grp, "channel", "channel", "ZT615 " + SixDigits(h.device_id) + " 450 kHz",
                  &channel) &&
        PingTime(grp, "ping_time", &ping) &&
        Ok(Nc().def_dim(grp, "range_sample", static_cast<size_t>(input.n0), &range),
           "range_sample") &&
        DefVar(grp, "range_sample", NC_INT, 1, &range, &range_sample, nullptr,
               "Along-range sample number, base 0")))
    return false;
  const int cpr[3] = {channel, ping, range};
  const int cp[2] = {channel, ping};
  Ref& bottom_ref = vars_[static_cast<int>(NcVar::kBottomRange)];
  const double frequency_hz = 450000;
  std::vector<int32_t> index(static_cast<size_t>(input.n0));
  for (size_t k = 0; k < index.size(); ++k) index[k] = static_cast<int32_t>(k);
  return DefVar(grp, "backscatter_r", NC_USHORT, 3, cpr, &samples_, "count",
                "Raw backscatter amplitude: the echo envelope, full scale 1023") &&
         DefVar(grp, "sample_interval", NC_DOUBLE, 2, cp, &sample_interval_, "s",
                "Interval between recorded raw data samples") &&
         DefVar(grp, "transmit_duration_nominal", NC_DOUBLE, 2, cp, &tx_duration_, "s",
                "Nominal duration of the transmitted pulse") &&
         DefVar(grp, "frequency_nominal", NC_DOUBLE, 1, &channel, &frequency, "Hz",
                "Transducer frequency") &&
         DefVar(grp, "sample_count", NC_INT, 1, &ping,
                &vars_[static_cast<int>(NcVar::kSampleCount)], nullptr,
                "Number of samples the ping's record holds") &&
         DefVar(grp, "detected_bottom_range", NC_FLOAT, 1, &ping, &bottom_ref, "m",
                "Altitude above the bottom found in the raw samples (NaN: no bottom found)") &&
         AttNumber(grp, bottom_ref.var, "threshold_pct", job.threshold_pct, NC_INT) &&
         AttNumber(grp, bottom_ref.var, "deadzone_m", job.deadzone_m, NC_FLOAT) &&
         AttNumber(grp, bottom_ref.var, "offset_m", h.offset_m, NC_FLOAT) &&
         Att(grp, bottom_ref.var, "sound_speed",
             "Environment/sound_speed_indicative of the ping") &&
         Ok(Nc().put_var_int(grp, range_sample.var, index.data()), "range_sample") &&
         Ok(Nc().put_var_double(grp, frequency.var, &frequency_hz), "frequency_nominal");
}

bool NcLayout::DefVendor(const ScienceInput& input) {
  int grp = -1, dim = -1;
  const TIMERSETTINGS& h = input.info.header;
  if (!(Ok(Nc().def_grp(ncid_, "Vendor_specific", &grp), "Vendor_specific") &&
        PingTime(grp, "ping_time", &dim) &&
        DefVar(grp, "battery_voltage", NC_FLOAT, 1, &dim,
               &vars_[static_cast<int>(NcVar::kBattery)], "V", "Battery voltage") &&
        DefVar(grp, "ping_number", NC_INT, 1, &dim,
               &vars_[static_cast<int>(NcVar::kPingNumber)], nullptr,
               "Running ping number of the recording") &&
        DefVar(grp, "ping_in_series", NC_INT, 1, &dim,
               &vars_[static_cast<int>(NcVar::kPingInSeries)], nullptr,
               "Place of the ping in its series, from 1") &&
        DefVar(grp, "device_altitude", NC_FLOAT, 1, &dim,
               &vars_[static_cast<int>(NcVar::kDeviceAltitude)], "m",
               "Altitude the logger measured itself")))
    return false;
  const std::string name(h.timer_name, strnlen(h.timer_name, sizeof h.timer_name));
  return Att(grp, NC_GLOBAL, "timer_name", name) &&
         AttNumber(grp, NC_GLOBAL, "device_id", h.device_id, NC_INT) &&
         AttNumber(grp, NC_GLOBAL, "range_mm", h.range_mm, NC_INT) &&
         AttNumber(grp, NC_GLOBAL, "tx_length_us", h.tx_length_us, NC_INT) &&
         AttNumber(grp, NC_GLOBAL, "period_s", h.period_s, NC_FLOAT) &&
         AttNumber(grp, NC_GLOBAL, "ping_count", h.ping_count, NC_INT) &&
         AttNumber(grp, NC_GLOBAL, "interval_s", h.interval_s, NC_INT) &&
         AttNumber(grp, NC_GLOBAL, "threshold_pct", h.threshold_pct, NC_INT) &&
         AttNumber(grp, NC_GLOBAL, "deadzone_m", h.deadzone_m, NC_FLOAT) &&
         AttNumber(grp, NC_GLOBAL, "gain_db", h.gain_db, NC_FLOAT) &&
         AttNumber(grp, NC_GLOBAL, "tvg_slope_db_per_km", h.tvg_slope, NC_FLOAT) &&
         AttNumber(grp, NC_GLOBAL, "sound_speed", h.sound_speed, NC_FLOAT) &&
         AttNumber(grp, NC_GLOBAL, "offset_m", h.offset_m, NC_FLOAT);
}

bool NcLayout::PutTimes(size_t at, size_t n, const int64_t* ns) {
  for (int k = 0; k < n_times_; ++k)
    if (!Ok(Nc().put_vara_longlong(times_[k].grp, times_[k].var, &at, &n,
                                 reinterpret_cast<const long long*>(ns)),
            "ping times"))
      return false;
  return true;
}

bool NcLayout::PutSamples(size_t at, size_t n, const uint16_t* samples) {
  size_t len = 0;
  int range_dim[3];
  Nc().inq_vardimid(samples_.grp, samples_.var, range_dim);
  Nc().inq_dimlen(samples_.grp, range_dim[2], &len);
  const size_t start[3] = {0, at, 0};
  const size_t count[3] = {1, n, len};
  return len == 0 ||
         Ok(Nc().put_vara_ushort(samples_.grp, samples_.var, start, count, samples), "backscatter_r");
}

bool NcLayout::PutInt(NcVar v, size_t at, size_t n, const int32_t* values) {
  const Ref& r = vars_[static_cast<int>(v)];
  return r.var < 0 || Ok(Nc().put_vara_int(r.grp, r.var, &at, &n, values), "per-ping values");
}

bool NcLayout::PutFloat(NcVar v, size_t at, size_t n, const float* values) {
  const Ref& r = vars_[static_cast<int>(v)];
  return r.var < 0 || Ok(Nc().put_vara_float(r.grp, r.var, &at, &n, values), "per-ping values");
}

bool NcLayout::PutDouble(NcVar v, size_t at, size_t n, const double* values) {
  const Ref& r = vars_[static_cast<int>(v)];
  return r.var < 0 || Ok(Nc().put_vara_double(r.grp, r.var, &at, &n, values), "per-ping values");
}

bool NcLayout::PutPerChannel(size_t at, size_t n) {
  const size_t start[2] = {0, at};
  const size_t count[2] = {1, n};
  const std::vector<double> interval(n, sample_interval_s_), duration(n, tx_duration_s_);
  return Ok(Nc().put_vara_double(sample_interval_.grp, sample_interval_.var, start, count,
                               interval.data()),
            "sample_interval") &&
         Ok(Nc().put_vara_double(tx_duration_.grp, tx_duration_.var, start, count,
                               duration.data()),
            "transmit_duration_nominal");
}

bool NcLayout::Close() {
  if (ncid_ < 0) return why_.empty();
  const int id = ncid_;
  ncid_ = -1;
  return Ok(Nc().close(id), "close") && why_.empty();
}

void NcLayout::Abort() {
  if (ncid_ < 0) return;
  Nc().close(ncid_);
  ncid_ = -1;
}

}  // namespace zt
