// zt615 export: a logged ping file to the text, NMEA or CSV format.
#include <cstdint>
#include <cstdio>

#include "cli/cli.h"
#include "export/export_engine.h"
#include "logfile/logfile.h"
#include "platform/file.h"
#include "platform/interrupt.h"
#include "platform/output_file.h"

namespace zt::cli {
namespace {

const char kHelp[] =
    "usage: zt615 export FILE.BIN OUT.LOG [--format text|nmea|csv] [--threshold PCT]\n"
    "                    [--deadzone M] [--sound-speed MPS] [--amplitude-over PCT] [--quiet]\n"
    "\n"
    "Exports a logged ping file, recomputing every ping's altitude from its raw samples.\n"
    "\n"
    "  --format text|nmea|csv  text: \"Echosounder mode + NMEA\" (header lines, NMEA sentences\n"
    "                          and raw samples); nmea: ZDA, XDR and DBT sentences; csv:\n"
    "                          \"KM250 Full\" rows. Default text.\n"
    "  --threshold PCT         detection threshold, 0-100 %\n"
    "  --deadzone M            deadzone, metres, 0 or more\n"
    "  --sound-speed MPS       sound speed, m/s, above 0\n"
    "  --amplitude-over PCT    CSV amplitude gate, 0-100 % (default 80)\n"
    "  --quiet                 no progress bar and no summary line\n"
    "\n"
    "Each detection parameter not given comes from the file header. OUT.LOG is written under\n"
    "a temporary name in its folder and renamed when complete; an existing OUT.LOG is\n"
    "replaced (keeping its permissions), a link's target is written and the link kept. An\n"
    "interrupted export (Ctrl+C, SIGINT or SIGTERM) removes its temporary file and leaves\n"
    "OUT.LOG as it was. OUT.LOG \"-\" is standard output; a device or named pipe (/dev/null,\n"
    "a terminal, a FIFO) is written directly, and a write it refuses ends the export with the\n"
    "system's reason. A progress bar is shown on stderr when it is a terminal.\n"
    "Exit status: 0 done, 1 a file or parameter was refused or a read or write failed\n"
    "(one line on stderr), 2 usage error.\n";

int RunExport(const std::vector<std::string>& args);
const Command kCommand{"export", "export a logged file to text, NMEA or CSV", kHelp, RunExport};
const Registrar kRegistrar(kCommand);

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

int RunExport(const std::vector<std::string>& args) {
  ParsedArgs a = ParseArgs(args, {{"format", true},
                                  {"threshold", true},
                                  {"deadzone", true},
                                  {"sound-speed", true},
                                  {"amplitude-over", true},
                                  {"quiet", false}});
  if (a.help) return PrintHelp(kCommand);
  if (!a.error.empty()) return UsageError(kCommand, a.error);
  if (a.positional.size() != 2)
    return UsageError(kCommand, "needs an input FILE.BIN and an output OUT.LOG");

  int32_t format = kFormatText;
  if (a.Has("format")) {
    std::string f = a.Get("format");
    if (f == "text") format = kFormatText;
    else if (f == "nmea") format = kFormatNmea;
    else if (f == "csv") format = kFormatCsv;
    else return UsageError(kCommand, "unknown format '" + f + "' (text, nmea or csv)");
  }
  long long threshold = 0, gate = kDefaultAmplitudeOverPct;
  float deadzone = 0, sound_speed = 0;
  if (a.Has("threshold") && !ParseInt(a.Get("threshold"), &threshold))
    return UsageError(kCommand, "--threshold needs a whole number of percent");
  if (a.Has("amplitude-over") && !ParseInt(a.Get("amplitude-over"), &gate))
    return UsageError(kCommand, "--amplitude-over needs a whole number of percent");
  if (a.Has("deadzone") && !ParseFloat(a.Get("deadzone"), &deadzone))
    return UsageError(kCommand, "--deadzone needs a number of metres");
  if (a.Has("sound-speed") && !ParseFloat(a.Get("sound-speed"), &sound_speed))
    return UsageError(kCommand, "--sound-speed needs a number of metres per second");

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

  platform::InstallInterruptCleanup();
  const bool quiet = a.Has("quiet");
  ProgressBar bar("exporting", !quiet);
  BarProgress progress(bar);
  ExportOptions options;
  options.atomic_output = true;
  ExportResult r = ExportWorker(job, progress, options);
  bar.Finish();
  if (!r.ok()) return Fail(r.message);
  if (!quiet) {
    static const char* const kNames[] = {"text", "nmea", "csv"};
    // Beside an export to standard output, the summary goes to standard error.
    std::fprintf(platform::IsStandardOutput(out_path) ? stderr : stdout,
                 "%s: %u pings exported as %s\n", platform::OutputName(out_path).c_str(),
                 r.pings_written, kNames[job.data_format]);
  }
  return kExitOk;
}

}  // namespace
}  // namespace zt::cli
