// The groups, variables and attributes of a SONAR-netCDF4 1.0 file for one single-beam
// channel, and the writes of whole ping chunks into them (netCDF-C, netCDF-4/HDF5).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "export/science_export.h"

namespace zt {

// The per-ping variables besides the times and the samples.
enum class NcVar {
  kPingNumber,      // Vendor_specific/ping_number
  kPingInSeries,    // Vendor_specific/ping_in_series
  kSampleCount,     // Sonar/Beam_group1/sample_count
  kTemperature,     // Environment/temperature
  kSoundSpeed,      // Environment/sound_speed_indicative
  kTiltX,           // Platform/tilt_x
  kTiltY,           // Platform/tilt_y
  kBottomRange,     // Sonar/Beam_group1/detected_bottom_range
  kBattery,         // Vendor_specific/battery_voltage
  kDeviceAltitude,  // Vendor_specific/device_altitude
  kLatitude,        // Platform/latitude, with a track only
  kLongitude,       // Platform/longitude, with a track only
  kCount
};

class NcLayout {
 public:
  NcLayout() = default;
  ~NcLayout() { Abort(); }
  NcLayout(const NcLayout&) = delete;
  NcLayout& operator=(const NcLayout&) = delete;

  // Creates the file at `path` (replacing it) with every group, variable and attribute.
  bool Create(const std::string& path, const EXPORTJOB& job, const ScienceInput& input,
              size_t chunk_pings);

  // Pings [at, at + n) of each per-ping variable.
  bool PutTimes(size_t at, size_t n, const int64_t* ns);
  bool PutSamples(size_t at, size_t n, const uint16_t* samples);
  bool PutInt(NcVar v, size_t at, size_t n, const int32_t* values);
  bool PutFloat(NcVar v, size_t at, size_t n, const float* values);
  bool PutDouble(NcVar v, size_t at, size_t n, const double* values);
  // sample_interval and transmit_duration_nominal, the same for every ping.
  bool PutPerChannel(size_t at, size_t n);

  bool Close();
  void Abort();  // closes without caring for the result (the file is then removed)
  // What went wrong, in words; empty while all is well.
  const std::string& why() const { return why_; }

 private:
  struct Ref {
    int grp = -1;
    int var = -1;
  };
  bool Ok(int status, const char* what);
  bool Att(int grp, int var, const char* name, const std::string& text);
  bool AttNumber(int grp, int var, const char* name, double v, int type);
  bool DefVar(int grp, const char* name, int type, int ndims, const int* dims, Ref* ref,
              const char* units, const char* long_name);
  bool PingTime(int grp, const char* name, int* dim);
  bool DefString(int grp, const char* dim_name, const char* name, const std::string& value,
                 int* dim);
  bool DefRoot(const EXPORTJOB& job, const ScienceInput& input);
  bool DefEnvironment(const EXPORTJOB& job);
  bool DefPlatform(bool track);
  bool DefSonar(const ScienceInput& input, int* beam_group);
  bool DefBeamGroup(int grp, const EXPORTJOB& job, const ScienceInput& input);
  bool DefVendor(const ScienceInput& input);

  int ncid_ = -1;
  size_t chunk_pings_ = 1;
  int deflate_ = 4;
  double sample_interval_s_ = 0;
  double tx_duration_s_ = 0;
  Ref vars_[static_cast<int>(NcVar::kCount)];
  Ref times_[4];
  int n_times_ = 0;
  Ref samples_;
  Ref sample_interval_;
  Ref tx_duration_;
  std::string why_;
};

}  // namespace zt
