// zt615 ports: the serial ports a logger can be attached to.
#include <cstdio>
#include <vector>

#include "cli/cli.h"
#include "platform/serial_port.h"

namespace zt::cli {

const char kPortsHelp[] =
    "usage: zt615 ports\n"
    "\n"
    "Lists the serial ports, one a line, in the order the control program lists them:\n"
    "on Windows the ports the system lists (COM1, COM3, com10 ... by number), on Linux the\n"
    "devices under /dev/serial/by-id, then /dev/ttyUSB*, /dev/ttyACM* and /dev/ttyS*.\n"
    "Give one of them to 'zt615 device ... --port PORT'.\n"
    "\n"
    "Exit status: 0 (also when there are none), 2 usage error.\n";

int RunPorts(const Call& call) {
  if (!call.args.positional.empty()) return call.Usage("takes no arguments");
  for (const std::string& p : platform::ListSerialPorts()) std::printf("%s\n", p.c_str());
  return kExitOk;
}

}  // namespace zt::cli
