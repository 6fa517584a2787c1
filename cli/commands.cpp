// zt615's table of commands, in the README's order: what `zt615 --help` lists, in that order,
// and what each command takes. The dispatcher (cmdline/) parses these options, and writes the help and usage errors.
#include "cli/cli.h"
#include "zt_version.h"

namespace zt::cli {

using cmdline::Takes;

const cmdline::Program& Zt615() {
  static const cmdline::Program program{
      "zt615", ZT_VERSION,
      "Reads, converts and joins ZT615 logged ping files, and talks to the logger.\n\n",
      "'zt615 COMMAND --help' explains a command; 'zt615 --version' prints the version.\n"
      "Exit status: 0 success, 1 an input was refused or a read or write failed, 2 usage error.\n",
      /*help_word=*/true,
      {
          {"info", "show what a logged ping file holds", kInfoHelp, {{"json", Takes::kNothing}},
           RunInfo},
          {"export", "export a logged file to text, NMEA, CSV, netCDF or GeoJSON", kExportHelp,
           {{"format", Takes::kValue}, {"threshold", Takes::kValue}, {"deadzone", Takes::kValue},
            {"sound-speed", Takes::kValue}, {"amplitude-over", Takes::kValue},
            {"sound-speed-model", Takes::kValue}, {"salinity", Takes::kValue},
            {"transducer-depth", Takes::kValue}, {"gps", Takes::kValue},
            {"max-gap", Takes::kValue}, {"compress", Takes::kValue}, {"quiet", Takes::kNothing}},
           RunExport},
          {"echogram", "draw a logged file's echogram as a PNG", kEchogramHelp,
           {{"width", Takes::kValue}, {"height", Takes::kValue}, {"begin", Takes::kValue},
            {"end", Takes::kValue}, {"max-altitude", Takes::kValue}, {"palette", Takes::kValue},
            {"gamma", Takes::kValue}, {"out-dir", Takes::kValue}, {"jobs", Takes::kValue}},
           RunEchogram},
          {"link", "join two consecutive logged files into one", kLinkHelp,
           {{"quiet", Takes::kNothing}}, RunLink},
          {"ports", "list the serial ports", kPortsHelp, {}, RunPorts},
          {"device", "read, sync or program a logger on a serial port", kDeviceHelp,
           {{"port", Takes::kValue}, {"default", Takes::kNothing}, {"timers", Takes::kValue}},
           RunDevice},
          {"timers", "write or show a timer file (TIMERS.DAT)", kTimersHelp,
           {{"timer", Takes::kValues}}, RunTimers},
      }};
  return program;
}

int Fail(const std::string& message) { return cmdline::Fail(Zt615().name, message); }

}  // namespace zt::cli
