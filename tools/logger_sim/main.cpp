// zt615_logger_sim: a stand-in for the ZT615 logger, so that everything can run without one.
#include <string>
#include <vector>

#include "tools/logger_sim/sim_commands.h"
#include "zt_version.h"

namespace {

using zt::cmdline::Takes;

const zt::cmdline::Program kSimulator{
    "zt615_logger_sim", ZT_VERSION, "",
    "'zt615_logger_sim COMMAND --help' explains a command; --version prints the version.\n",
    /*help_word=*/false,
    {
        {"record", "write a logged ping file with realistic echoes", zt::sim::kRecordHelp,
         {{"range", Takes::kValue}, {"pings", Takes::kValue}, {"size", Takes::kValue},
          {"start", Takes::kValue}, {"timer-start", Takes::kValue}, {"period", Takes::kValue},
          {"series", Takes::kValue}, {"interval", Takes::kValue}, {"altitude", Takes::kValue},
          {"pulse-length", Takes::kValue}, {"threshold", Takes::kValue},
          {"deadzone", Takes::kValue}, {"sound-speed", Takes::kValue}, {"offset", Takes::kValue},
          {"device-id", Takes::kValue}, {"first-ping", Takes::kValue}, {"name", Takes::kValue},
          {"trailing", Takes::kValue}, {"seed", Takes::kValue}, {"quiet", Takes::kNothing}},
         zt::sim::RunRecord},
        {"serve", "answer the serial protocol on a pseudo-terminal", zt::sim::kServeHelp,
         {{"link", Takes::kValue}, {"log", Takes::kValue}, {"clock-offset", Takes::kValue},
          {"clock", Takes::kValue}, {"tilt-x", Takes::kValue}, {"tilt-y", Takes::kValue},
          {"temperature", Takes::kValue}, {"battery", Takes::kValue},
          {"no-sd-card", Takes::kNothing}, {"sd-free", Takes::kValue},
          {"device-id", Takes::kValue}, {"fault", Takes::kValues}},
         zt::sim::RunServe},
    }};

}  // namespace

int main(int argc, char** argv) {
  return zt::cmdline::RunProgram(kSimulator, std::vector<std::string>(argv + 1, argv + argc));
}
