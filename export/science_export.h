// The science formats: a SONAR-netCDF4 file for the scientific stack (xarray, MATLAB, R,
// Panoply) and a GeoJSON map of the pings from the boat's GPS track. They read the pings
// in file order through one loop (StreamPings) that detects each ping's altitude, with the
// sound speed of its water when asked, and gives it its position on the track.
#pragma once

#include <cstdint>
#include <string>

#include "export/export_engine.h"
#include "export/gps_track.h"
#include "logfile/logfile.h"
#include "platform/file.h"

namespace zt {

// False in a build without the netCDF library (the Windows zt615.exe).
extern const bool kNetcdfSupported;

// Runs an export in any of the five formats: the logger's own through ExportLoggerFormat, the
// others here. Thread-safe as ExportLoggerFormat is.
ExportResult RunExport(const EXPORTJOB& job, ExportProgress& progress,
                       const ExportOptions& options = {});

ExportResult ExportNetcdf(const EXPORTJOB& job, ExportProgress& progress,
                          const ExportOptions& options = {});
ExportResult ExportGeojson(const EXPORTJOB& job, ExportProgress& progress,
                           const ExportOptions& options = {});

// One ping as the science formats see it.
struct PingFacts {
  uint32_t index = 0;  // place in the file, 0-based
  uint32_t time_utc = 0;
  uint16_t time_fraction = 0;
  int32_t ping_in_series = 0;
  int32_t sample_count = 0;  // the ping's own
  ECHOFOOTER footer{};
  const uint16_t* samples = nullptr;  // N0 samples (N0: ping 0's count), host order
  float altitude = 0.0f;              // the detected altitude, 0 when no bottom was found
  float sound_speed = 0.0f;           // the one it was found with
  bool sound_speed_fallback = false;  // the temperature was outside the model's range
  bool has_position = false;
  double latitude = 0.0;
  double longitude = 0.0;
};

// What a science export knows before its first ping.
struct ScienceInput {
  platform::File in;
  LoggedFileInfo info;
  int32_t n0 = 0;
  bool has_track = false;
  GpsTrack track;
  int64_t max_gap_ticks = 0;
};

// The refusals before any output exists, as ExportLoggerFormat makes them (output is the input, an
// unreadable or corrupt file, bad parameters), and the track loaded. False with *res set.
bool PrepareScienceExport(const EXPORTJOB& job, ScienceInput* input, ExportResult* res);

class PingSink {
 public:
  virtual ~PingSink() = default;
  // Takes one ping; false with why/error set when its output failed (the export ends).
  virtual bool Ping(const PingFacts& p) = 0;
  std::string why;
  int error = 0;
};

// Every ping in file order to the sink, with the progress of the logger's formats. False with
// *res set after a read failure, a corrupt ping or the sink's failure; res->pings_written
// counts the pings the sink took.
bool StreamPings(const EXPORTJOB& job, ScienceInput& input, PingSink& sink,
                 ExportProgress& progress, ExportResult* res);

// `res` as a failure of the output, naming it.
ExportResult OutputFailure(ExportResult res, const EXPORTJOB& job, const std::string& why,
                           int code = 0);

// "2026-01-15T10:20:30Z": the time a file was made, for the files' own records.
std::string UtcNowIso();

}  // namespace zt
