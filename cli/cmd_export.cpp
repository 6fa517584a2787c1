// zt615 export: a logged ping file to the text, NMEA or CSV format.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <cstdio>

#include "cli/cli.h"
#include "export/export_engine.h"
#include "export/science_export.h"
#include "logfile/logfile.h"
#include "platform/file.h"
#include "platform/interrupt.h"
#include "platform/output_file.h"

namespace zt::cli {

const char kExportHelp[] =
    "usage: zt615 export FILE.BIN OUT [--format text|nmea|csv|netcdf|geojson] [--threshold PCT]\n"
    "                    [--deadzone M] [--sound-speed MPS] [--amplitude-over PCT]\n"
    "                    [--sound-speed-model mackenzie [--salinity PSU] [--transducer-depth M]]\n"
    "                    [--gps TRACK [--max-gap SECONDS]] [--compress 0..9] [--quiet]\n"
    "\n"
    "Exports a logged ping file, recomputing every ping's altitude from its raw samples.\n"
    "\n"
    "  --format text|nmea|csv  text: \"Echosounder mode + NMEA\" (header lines, NMEA sentences\n"
    "                          and raw samples); nmea: ZDA, XDR and DBT sentences; csv:\n"
    "                          \"KM250 Full\" rows. Default text.\n"
    "  --format netcdf         a SONAR-netCDF4 1.0 file (netCDF-4) for xarray, MATLAB, R and\n"
    "                          Panoply: samples, times, temperature, tilt, detected altitude\n"
    "  --format geojson        a GeoJSON map of the pings (needs --gps), for QGIS and the web\n"
    "  --threshold PCT         detection threshold, 0-100 %\n"
    "  --deadzone M            deadzone, metres, 0 or more\n"
    "  --sound-speed MPS       sound speed, m/s, above 0\n"
    "  --amplitude-over PCT    CSV amplitude gate, 0-100 % (default 80)\n"
    "  --sound-speed-model mackenzie\n"
    "                          each ping's sound speed from its own temperature (Mackenzie\n"
    "                          1981); a ping outside 2-30 degC keeps the one sound speed\n"
    "  --salinity PSU          for the model, 25-40 (default 35)\n"
    "  --transducer-depth M    for the model, 0-8000 m (default 0)\n"
    "  --gps TRACK             a GPX file or an NMEA 0183 log of the boat's track: each ping's\n"
    "                          position, interpolated in time (netcdf and geojson only)\n"
    "  --max-gap SECONDS       no position between track points further apart (default 10)\n"
    "  --compress 0..9         netCDF deflate level (default 4; 0 uncompressed)\n"
    "  --quiet                 no progress bar and no summary line\n"
    "\n"
    "Each detection parameter not given comes from the file header. OUT is written under a\n"
    "temporary name in its folder and renamed when complete; an existing OUT is replaced\n"
    "(keeping its permissions), a link's target is written and the link kept. An\n"
    "interrupted export (Ctrl+C, SIGINT or SIGTERM) removes its temporary file and leaves\n"
    "OUT as it was.\n"
    "OUT \"-\" is standard output; a device or named pipe (/dev/null, a terminal, a FIFO) is\n"
    "written directly, and a write it refuses ends the export with the system's reason (a\n"
    "netCDF file needs a file it can seek in: no \"-\", device or pipe). A progress bar is\n"
    "shown on stderr when it is a terminal.\n"
    "Exit status: 0 done, 1 a file or parameter was refused or a read or write failed\n"
    "(one line on stderr), 2 usage error.\n";

namespace {

class BarProgress : public ExportProgress {
 public:
  explicit BarProgress(ProgressBar& bar) : bar_(bar) {}
  void Pings(uint64_t done, uint64_t total, uint64_t bytes) override {
    bar_.Update(done, total, bytes);
  }

 private:
  ProgressBar& bar_;
};

// Out-of-range values are refused by the export's own checks, with its message.
int32_t ClampToInt32(long long v) {
  return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

const char* const kFormatNames[] = {"text", "nmea", "csv", "netcdf", "geojson"};

// The options of the sound speed model and the science formats into the job; a usage error
// in words, or empty.
std::string ScienceOptions(const ParsedArgs& a, EXPORTJOB* job) {
  if (a.Has("sound-speed-model")) {
    if (a.Get("sound-speed-model") != "mackenzie")
      return "unknown sound speed model '" + a.Get("sound-speed-model") + "' (mackenzie)";
    job->water.model = kSoundSpeedMackenzie;
  }
  if ((a.Has("salinity") || a.Has("transducer-depth")) && !a.Has("sound-speed-model"))
    return "--salinity and --transducer-depth go with --sound-speed-model mackenzie";
  if (a.Has("salinity") && !ParseFloat(a.Get("salinity"), &job->water.salinity_psu))
    return "--salinity needs a number (PSU)";
  if (a.Has("transducer-depth") && !ParseFloat(a.Get("transducer-depth"), &job->water.depth_m))
    return "--transducer-depth needs a number of metres";
  const bool science = job->data_format == kFormatNetcdf || job->data_format == kFormatGeojson;
  if ((a.Has("gps") || a.Has("max-gap")) && !science)
    return "--gps and --max-gap go with --format netcdf or geojson; the text, NMEA and CSV "
           "formats stay as the logger's tools write them";
  if (a.Has("compress") && job->data_format != kFormatNetcdf)
    return "--compress goes with --format netcdf";
  if (job->data_format == kFormatGeojson && !a.Has("gps"))
    return "--format geojson needs --gps TRACK to place the pings";
  if (a.Has("gps")) job->gps_track_path = a.Get("gps");
  float gap = 0;
  if (a.Has("max-gap")) {
    if (!ParseFloat(a.Get("max-gap"), &gap)) return "--max-gap needs a number of seconds";
    job->max_gap_s = gap;
  }
  long long level = 0;
  if (a.Has("compress")) {
    if (!ParseInt(a.Get("compress"), &level)) return "--compress needs a level 0-9";
    job->compress_level = ClampToInt32(level);
  }
  return {};
}

// What the user should know beside the summary: pings left out, sound speeds not modelled.
void Notes(const EXPORTJOB& job, const ExportResult& r) {
  if (!job.gps_track_path.empty() && r.pings_without_position > 0)
    std::fprintf(stderr, "%u of %u pings had no position on the track%s\n",
                 r.pings_without_position, r.pings_written,
                 job.data_format == kFormatGeojson ? " and were left out"
                                                   : " (latitude and longitude NaN)");
  if (r.sound_speed_fallbacks > 0)
    std::fprintf(stderr,
                 "%u pings had a temperature outside 2-30 degC and kept the sound speed %.2f m/s\n",
                 r.sound_speed_fallbacks, static_cast<double>(job.sound_speed));
}

}  // namespace

int RunExport(const Call& call) {
  const ParsedArgs& a = call.args;
  if (a.positional.size() != 2)
    return call.Usage("needs an input FILE.BIN and an output OUT");

  int32_t format = kFormatText;
  if (a.Has("format")) {
    const std::string f = a.Get("format");
    const auto* at = std::find(std::begin(kFormatNames), std::end(kFormatNames), f);
    if (at == std::end(kFormatNames))
      return call.Usage("unknown format '" + f + "' (text, nmea, csv, netcdf or geojson)");
    format = static_cast<int32_t>(at - std::begin(kFormatNames));
  }
  long long threshold = 0, gate = kDefaultAmplitudeOverPct;
  float deadzone = 0, sound_speed = 0;
  if (a.Has("threshold") && !ParseInt(a.Get("threshold"), &threshold))
    return call.Usage("--threshold needs a whole number of percent");
  if (a.Has("amplitude-over") && !ParseInt(a.Get("amplitude-over"), &gate))
    return call.Usage("--amplitude-over needs a whole number of percent");
  if (a.Has("deadzone") && !ParseFloat(a.Get("deadzone"), &deadzone))
    return call.Usage("--deadzone needs a number of metres");
  if (a.Has("sound-speed") && !ParseFloat(a.Get("sound-speed"), &sound_speed))
    return call.Usage("--sound-speed needs a number of metres per second");

  const std::string& in_path = a.positional[0];
  const std::string& out_path = a.positional[1];
  if (platform::OutputIsInput(out_path, in_path))
    return Fail(platform::OutputName(out_path) + ": is the input file; choose another output");

  // The file's own settings, as the export dialog uses them without "Override parameters".
  platform::File in;
  LoggedFileInfo info;
  std::string why;
  if (!OpenLoggedFile(in_path, &in, &info, &why)) return Fail(in_path + ": " + why);
  in.Close();

  EXPORTJOB job = JobFromHeader(info.header, format);
  job.input_path = in_path;
  job.output_path = out_path;
  if (a.Has("threshold"))
    job.threshold_pct = ClampToInt32(threshold);
  if (a.Has("amplitude-over"))
    job.amplitude_over_pct = ClampToInt32(gate);
  if (a.Has("deadzone")) job.deadzone_m = deadzone;
  if (a.Has("sound-speed")) job.sound_speed = sound_speed;
  why = ScienceOptions(a, &job);
  if (!why.empty()) return call.Usage(why);

  platform::InstallInterruptCleanup();
  const bool quiet = a.Has("quiet");
  ProgressBar bar("exporting", !quiet);
  BarProgress progress(bar);
  ExportOptions options;
  options.atomic_output = true;
  ExportResult r = zt::RunExport(job, progress, options);
  bar.Finish();
  if (!r.ok()) return Fail(r.message);
  Notes(job, r);
  if (!quiet) {
    // Beside an export to standard output, the summary goes to standard error.
    std::fprintf(platform::IsStandardOutput(out_path) ? stderr : stdout,
                 "%s: %u pings exported as %s\n", platform::OutputName(out_path).c_str(),
                 job.data_format == kFormatGeojson ? r.pings_written - r.pings_without_position
                                                   : r.pings_written,
                 kFormatNames[job.data_format]);
  }
  return kExitOk;
}

}  // namespace zt::cli
