// zt615_logger_sim serve: a ZT615 on a pseudo-terminal, for `zt615 device`, the control
// program under Wine, and the tests.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cmdline/cmdline.h"
#include "platform/time.h"
#include "tools/logger_sim/serve_device.h"
#include "tools/logger_sim/serve_pty.h"
#include "tools/logger_sim/sim_commands.h"

namespace zt::sim {

using cmdline::ParseFloat;
using cmdline::ParseInt;

const char kServeHelp[] =
    "usage: zt615_logger_sim serve [--link PATH] [options]\n"
    "\n"
    "Opens a pseudo-terminal and answers on it as a ZT615 logger does: the clock, tilt,\n"
    "temperature, battery, SD card and device id queries; SET_CLOCK, SET_DEFAULT_TIMER,\n"
    "ADD_TIMER and the two upload preambles are taken without an answer and applied (the\n"
    "clock follows SET_CLOCK, uploaded timers are kept). Prints the device path to connect\n"
    "to on stderr and writes one JSON line per frame received (arrival time, code, name,\n"
    "decoded fields, the reply) to stdout or the log file. A reply that the host leaves\n"
    "unread for 5 s is dropped, with a line on stderr. Runs until interrupted, or until a\n"
    "hangup fault ends it.\n"
    "\n"
    "  --link PATH          also make PATH a symbolic link to the device\n"
    "  --log FILE           JSON lines to FILE instead of stdout\n"
    "  --clock-offset S     device clock minus host clock, seconds (default 0)\n"
    "  --clock T            device clock at start, seconds since 1970 (instead of an offset)\n"
    "  --tilt-x DEG         tilt X (default 1.5)\n"
    "  --tilt-y DEG         tilt Y (default -0.8)\n"
    "  --temperature C      water temperature (default 12.3)\n"
    "  --battery V          battery voltage (default 11.9)\n"
    "  --no-sd-card         report no SD card\n"
    "  --sd-free BYTES      SD card free space, 64-bit (default 7516192768)\n"
    "  --device-id N        device identification number (default 123456)\n"
    "  --fault LIST         misbehave on purpose; LIST is KIND[:CODE[:ARG]],... with CODE a\n"
    "                       query code or 'any' (default any). KIND:\n"
    "                         no-reply      no answer\n"
    "                         wrong-magic   the reply starts \"CMNX\"\n"
    "                         wrong-code    the reply echoes another query's code\n"
    "                         split         the reply in four writes, ARG ms apart (150)\n"
    "                         delay         the reply after ARG ms (2500)\n"
    "                         garbage       bytes before the reply\n"
    "                         no-cr         the reply without its CR\n"
    "                         flood         ARG bytes (1000) without a CR instead\n"
    "                         short         one result word less than the code returns\n"
    "                         hangup        the reply as usual; once the host has read it,\n"
    "                                       the logger closes its side of the line, logs\n"
    "                                       {\"event\": \"hangup\"} and exits with status 0;\n"
    "                                       the host's writes then fail\n"
    "                       --fault may be given more than once.\n"
    "\n"
    "Example: zt615_logger_sim serve --link /tmp/zt615 --fault delay:103:2500\n";

int RunServe(const cmdline::Call& call) {
  const cmdline::ParsedArgs& a = call.args;
  std::vector<Fault> faults;
  for (const std::string& list : a.All("fault")) {
    std::string why;
    if (!ParseFaults(list, &faults, &why)) return call.Usage(why);
  }
  if (!a.positional.empty()) return call.Usage("unexpected argument '" + a.positional[0] + "'");

  LoggerState s;
  long long v;
  if (a.Has("clock-offset")) {
    if (!ParseInt(a.Get("clock-offset"), &v))
      return call.Usage("--clock-offset needs whole seconds");
    s.clock_offset_s = v;
  }
  if (a.Has("clock")) {
    if (!ParseInt(a.Get("clock"), &v) || v < 0 || v > 0xFFFFFFFFLL)
      return call.Usage("--clock needs seconds since 1970 (0 to 4294967295)");
    s.clock_offset_s = v - platform::NowUtcSeconds();
  }
  const struct {
    const char* name;
    float* field;
  } floats[] = {{"tilt-x", &s.tilt_x},
                {"tilt-y", &s.tilt_y},
                {"temperature", &s.temperature},
                {"battery", &s.battery}};
  for (const auto& f : floats)
    if (a.Has(f.name) && !ParseFloat(a.Get(f.name), f.field))
      return call.Usage(std::string("--") + f.name + " needs a number");
  if (a.Has("no-sd-card")) s.sd_present = false;
  if (a.Has("sd-free")) {
    const std::string t = a.Get("sd-free");
    char* end = nullptr;
    errno = 0;
    const unsigned long long u = std::strtoull(t.c_str(), &end, 10);
    if (t.empty() || t[0] == '-' || *end != '\0' || errno != 0)
      return call.Usage("--sd-free needs a byte count");
    s.sd_free = u;
  }
  if (a.Has("device-id")) {
    if (!ParseInt(a.Get("device-id"), &v) || v < INT32_MIN || v > INT32_MAX)
      return call.Usage("--device-id needs a 32-bit number");
    s.device_id = static_cast<int32_t>(v);
  }

  ServeOptions o;
  o.link = a.Get("link");
  FILE* log = nullptr;
  if (a.Has("log")) {
    log = std::fopen(a.Get("log").c_str(), "w");
    if (!log) {
      std::perror(a.Get("log").c_str());
      return cmdline::kExitFailed;
    }
    o.log = log;
  }
  SimLogger logger(s, faults);
  const int rc = ServeOnPty(&logger, o);
  if (log) std::fclose(log);
  return rc;
}

}  // namespace zt::sim
