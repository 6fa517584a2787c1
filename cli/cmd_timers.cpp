// zt615 timers: writes and shows timer files (TIMERS.DAT), the schedules that
// `zt615 device upload --timers` sends to the logger.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/file.h"
#include "platform/output_file.h"
#include "platform/time.h"
#include "timers/timer_file.h"
#include "timers/timer_values.h"

namespace zt::cli {

const char kTimersHelp[] =
    "usage: zt615 timers show TIMERS.DAT\n"
    "       zt615 timers new OUT.DAT --timer NAME,START,STOP [--timer ...]\n"
    "\n"
    "  show   lists the timers of a timer file: name, start and stop in local time, and\n"
    "         the measurement settings\n"
    "  new    writes a timer file with one timer per --timer, each built as the Add Timer\n"
    "         dialog builds a new timer: the default settings, the NAME (up to 30\n"
    "         characters) and START and STOP in local time as YYYY-MM-DDTHH:MM:SS;\n"
    "         at most 31 timers. OUT.DAT is written under a temporary name and renamed\n"
    "         when complete; \"-\" is standard output (not a terminal), and a device or\n"
    "         named pipe is written directly.\n"
    "\n"
    "Exit status: 0 done, 1 the file was refused or could not be written, 2 usage error.\n";

namespace {

bool ParseLocal(const std::string& s, platform::CivilTime* c) {
  char tail = 0;
  if (std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &c->year, &c->month, &c->day,
                  &c->hour, &c->minute, &c->second, &tail) != 6)
    return false;
  return c->year >= 1970 && c->year <= 2106 && c->month >= 1 && c->month <= 12 &&
         c->day >= 1 && c->day <= 31 && c->hour >= 0 && c->hour <= 23 && c->minute >= 0 &&
         c->minute <= 59 && c->second >= 0 && c->second <= 59;
}

std::string LocalText(int32_t stored) {
  return platform::CivilText(platform::LocalCivil(static_cast<uint32_t>(stored)),
                             "YYYY-MM-DD hh:mm:ss");
}

int Show(const std::string& path) {
  std::vector<TIMERSETTINGS> timers;
  std::string why;
  if (!ReadTimerFile(path, &timers, &why)) return Fail(path + ": " + why);
  std::printf("%zu timer(s)\n", timers.size());
  for (size_t i = 0; i < timers.size(); ++i) {
    const TIMERSETTINGS& t = timers[i];
    const TimerForm f = FillTimerForm(t, TimerDialogKind::kAddTimer);
    auto text = [](TimerList l, int i) { return ValueList(l).texts[i]; };
    std::string name;
    for (unsigned char ch : TimerName(t)) name += (ch < 0x20 || ch >= 0x7F) ? '?' : char(ch);
    std::printf(
        "%zu: \"%s\" %s .. %s local; range %s m, tx %s us, period %s s, %s ping(s) every %s "
        "%s, threshold %s %%, deadzone %s m, gain %s dB, TVG slope %s dB/km, sound speed %s "
        "m/s, file size limit %s MB\n",
        i, name.c_str(), LocalText(t.start_time).c_str(), LocalText(t.stop_time).c_str(),
        text(TimerList::kRange, f.range), text(TimerList::kTxLength, f.tx_length),
        text(TimerList::kPeriod, f.period), text(TimerList::kPingCount, f.ping_count),
        f.interval_number.c_str(), text(TimerList::kIntervalUnit, f.interval_unit),
        text(TimerList::kThreshold, f.threshold), text(TimerList::kDeadzone, f.deadzone),
        text(TimerList::kGain, f.gain), f.tvg_slope.c_str(), f.sound_speed.c_str(),
        text(TimerList::kFileSizeLimit, f.file_size_limit));
  }
  return kExitOk;
}

int New(const Call& call, const std::string& path, const std::vector<std::string>& specs) {
  if (specs.empty()) return call.Usage("new needs at least one --timer");
  if (specs.size() > static_cast<size_t>(kMaxTimers))
    return call.Usage("at most 31 timers");
  std::vector<TIMERSETTINGS> timers;
  for (const std::string& s : specs) {
    const size_t c2 = s.rfind(',');
    const size_t c1 = c2 == std::string::npos || c2 == 0 ? std::string::npos : s.rfind(',', c2 - 1);
    if (c1 == std::string::npos)
      return call.Usage("--timer needs NAME,START,STOP: '" + s + "'");
    TimerForm form = FillTimerForm(NewAddedTimer(DefaultTimerSettings(), platform::NowUtcSeconds()),
                                   TimerDialogKind::kAddTimer);
    form.timer_name = s.substr(0, c1);
    if (form.timer_name.size() > static_cast<size_t>(kTimerNameEditLimit))
      return call.Usage("a timer name has at most 30 characters: '" + form.timer_name + "'");
    if (!ParseLocal(s.substr(c1 + 1, c2 - c1 - 1), &form.start_local) ||
        !ParseLocal(s.substr(c2 + 1), &form.stop_local))
      return call.Usage("START and STOP are YYYY-MM-DDTHH:MM:SS: '" + s + "'");
    TIMERSETTINGS t;
    const TimerFormError e = ReadTimerForm(form, TimerDialogKind::kAddTimer, &t);
    if (e != TimerFormError::kNone) return Fail(TimerFormErrorText(e));
    timers.push_back(t);
  }
  std::vector<TIMERSETTINGS*> list;
  for (TIMERSETTINGS& t : timers) list.push_back(&t);
  int error = 0;
  std::string why;
  if (!SaveTimerFile(path, list.data(), static_cast<int>(list.size()), &error, &why))
    return Fail(platform::OutputName(path) + ": " + why);
  // Beside a file written to standard output, the summary goes to standard error.
  std::fprintf(platform::IsStandardOutput(path) ? stderr : stdout, "%zu timer(s) written to %s\n",
               timers.size(), platform::OutputName(path).c_str());
  return kExitOk;
}

}  // namespace

int RunTimers(const Call& call) {
  const ParsedArgs& a = call.args;
  const std::vector<std::string> specs = a.All("timer");
  if (a.positional.size() != 2) return call.Usage("needs show FILE or new FILE");
  if (a.positional[0] == "show") {
    if (!specs.empty()) return call.Usage("--timer goes with new");
    return Show(a.positional[1]);
  }
  if (a.positional[0] == "new") return New(call, a.positional[1], specs);
  return call.Usage("unknown action '" + a.positional[0] + "'");
}

}  // namespace zt::cli
