// The export engine: turns a logged ping file into the text, NMEA or CSV format, recomputing
// every ping's altitude from its raw samples (the formats of one ping: export/formats.h). The science formats (netCDF, GeoJSON) share the
// job and the result; RunExport (export/science_export.h) runs any of the five.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "export/sound_speed.h"
#include "timers/timer_settings.h"

namespace zt {

enum DataFormat : int32_t {
  kFormatText = 0,  // "Echosounder mode + NMEA"
  kFormatNmea = 1,  // "NMEA"
  kFormatCsv = 2,   // "KM250 Full"
  kFormatNetcdf = 3,   // SONAR-netCDF4
  kFormatGeojson = 4,  // a map of the pings, from a GPS track
};

constexpr size_t kExportBlockLimit = 400000;  // largest output block of one ping
constexpr int32_t kDefaultAmplitudeOverPct = 80;

struct EXPORTJOB {
  std::string output_path;  // UTF-8
  std::string input_path;   // UTF-8
  int32_t data_format = kFormatText;
  int32_t amplitude_over_pct = kDefaultAmplitudeOverPct;
  int32_t threshold_pct = 0;
  float deadzone_m = 0.0f;
  float sound_speed = 0.0f;
  // Mackenzie's equation per ping instead of one sound speed; kSoundSpeedFixed by default.
  WaterSettings water;
  // The science formats: a GPS track (GPX or NMEA 0183) giving each ping a position, the
  // largest gap between two track points to interpolate across, and the netCDF deflate level.
  std::string gps_track_path;
  double max_gap_s = 10.0;
  int32_t compress_level = 4;
};

// The job for a file's own detection settings ("Override parameters" not ticked).
EXPORTJOB JobFromHeader(const TIMERSETTINGS& header, int32_t data_format);

// Receives the worker's progress: the four progress-bar messages, and a count of pings done
// for front ends that show rate and time left.
class ExportProgress {
 public:
  virtual ~ExportProgress() = default;
  virtual void SetRange(int /*low*/, int /*high*/) {}
  virtual void SetStep(int /*step*/) {}
  virtual void StepIt() {}
  virtual void SetPos(int /*pos*/) {}
  virtual void Pings(uint64_t /*done*/, uint64_t /*total*/, uint64_t /*bytes_read*/) {}
};

enum class ExportStatus {
  kOk,
  kRefused,        // bad parameters or not a readable logged file; nothing was created
  kInputFailed,    // input could not be opened or read
  kOutputFailed,   // output could not be created, written or closed
  kCorruptPing,    // a ping's sample count does not fit its record
  kBlockTooLarge,  // one ping's block passed the 400 000-byte limit
  kStopped,        // called off through ExportOptions::stop before it was complete
};

struct ExportResult {
  ExportStatus status = ExportStatus::kOk;
  std::string message;   // what went wrong, in words, naming the file or ping
  int system_error = 0;  // the system's error code where one applies, else 0
  uint32_t pings_written = 0;
  uint32_t ping_count = 0;
  // Pings whose temperature lay outside Mackenzie's equation: they kept the job's sound speed.
  uint32_t sound_speed_fallbacks = 0;
  // GeoJSON: pings left out for want of a position. netCDF: pings without one (NaN).
  uint32_t pings_without_position = 0;
  bool ok() const { return status == ExportStatus::kOk; }
};

struct ExportOptions {
  // Write under a temporary name beside the output and rename it into place when complete,
  // removing it on failure: the output path never holds a half-written file.
  bool atomic_output = false;
  // Pings per block of work, 0 for the engine's own choice. The two workers take alternate
  // blocks; tests set a small block to bring block edges into small files.
  uint32_t block_pings = 0;
  // When given and set (by another thread), the run ends before its next block of work as
  // after a failure: with atomic_output nothing is left behind.
  const std::atomic<bool>* stop = nullptr;
};

// The parameter checks made before any ping is read, for every format; empty when the job is
// acceptable.
std::string CheckExportParameters(const EXPORTJOB& job);

// Runs one export in one of the logger's formats (text, NMEA, CSV) to its end, successfully
// or not. Thread-safe: every run keeps its own buffers, median window and series sum. The
// work is shared with one thread of the run's own, joined before it returns; `progress` is
// called from either thread, one call at a time and in ping order.
ExportResult ExportLoggerFormat(const EXPORTJOB& job, ExportProgress& progress,
                                const ExportOptions& options = {});

}  // namespace zt
