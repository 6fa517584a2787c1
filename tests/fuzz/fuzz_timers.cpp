// The schedule made of the input: TIMERS.DAT read from a file and from memory, and the
// Default Timer and Add Timer forms read from list indices, edit texts and picker times
// taken from the same bytes. A record that was read or built must fill a form that reads
// back (the dialogs open every timer and OK it unchanged).
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_util.h"
#include "timers/timer_file.h"
#include "timers/timer_values.h"

using namespace zt;

namespace {

// Bytes from the front; zeros once they run out.
struct Bytes {
  const uint8_t* p;
  size_t n;
  uint8_t Byte() { return n ? (--n, *p++) : 0; }
  int Index() { return static_cast<int8_t>(Byte()); }  // -128 ... 127: out of list too
  std::string Line() {
    std::string s;
    while (n && *p != '\n') s += static_cast<char>(Byte());
    Byte();
    return s;
  }
  platform::CivilTime Time() {  // what a date and time picker can hold
    platform::CivilTime c;
    const int low = Byte();
    c.year = 1601 + (low | Byte() << 8) % 29227;
    c.month = 1 + Byte() % 12;
    c.day = 1 + Byte() % 31;
    c.hour = Byte() % 24;
    c.minute = Byte() % 60;
    c.second = Byte() % 60;
    return c;
  }
};

void Reopen(const TIMERSETTINGS& t) {
  for (TimerDialogKind kind : {TimerDialogKind::kDefaultTimer, TimerDialogKind::kAddTimer}) {
    TIMERSETTINGS again;
    const bool numbers = std::isfinite(t.tvg_slope) && std::isfinite(t.sound_speed);
    if (ReadTimerForm(FillTimerForm(t, kind), kind, &again) != TimerFormError::kNone && numbers)
      __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::Scratch& scratch = fuzz::Scratch::Get();
  std::vector<TIMERSETTINGS> timers;
  std::string why;
  if (ReadTimerFile(scratch.Write("TIMERS.DAT", data, size), &timers, &why))
    for (const TIMERSETTINGS& t : timers) Reopen(t);
  ParseTimerFile(data, size, &timers, &why);
  scratch.Clear();

  Bytes b{data, size};
  TimerForm f;
  for (int* index : {&f.range, &f.tx_length, &f.period, &f.ping_count, &f.threshold, &f.deadzone,
                     &f.gain, &f.file_size_limit, &f.interval_unit, &f.sd_save_mode,
                     &f.output_format, &f.altitude_precision})
    *index = b.Index();
  const uint8_t checks = b.Byte();
  f.bluetooth_on = checks & 1, f.output_tilt = checks & 2, f.output_time = checks & 4;
  f.output_water_temperature = checks & 8;
  f.start_local = b.Time();
  f.stop_local = b.Time();
  f.interval_number = b.Line();
  f.tvg_slope = b.Line();
  f.sound_speed = b.Line();
  f.timer_name = b.Line();
  for (TimerDialogKind kind : {TimerDialogKind::kDefaultTimer, TimerDialogKind::kAddTimer}) {
    TIMERSETTINGS t;
    if (ReadTimerForm(f, kind, &t) == TimerFormError::kNone) Reopen(t);
  }
  return 0;
}
