// Clock, ticks, calendar and time zone through the platform seam.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zt::platform {

// Monotonic milliseconds (GetTickCount64 / CLOCK_MONOTONIC). Never goes backwards.
uint64_t TickMs();
void SleepMs(unsigned ms);

// Ticks and pauses as one object, so that an exchange with the logger can be run against
// virtual time: its deadlines and pauses then cost nothing and do not depend on load.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint64_t NowMs() = 0;
  virtual void Sleep(unsigned ms) = 0;
  // True once the exchange running on this clock was called off (its window closed): no
  // further frame is sent and no reply waited for.
  virtual bool Stopped() { return false; }
};

// TickMs and SleepMs.
inline Clock& SystemClock() {
  struct System final : Clock {
    uint64_t NowMs() override { return TickMs(); }
    void Sleep(unsigned ms) override { SleepMs(ms); }
  };
  static System clock;
  return clock;
}

// Seconds since 1970-01-01 00:00:00 UTC, from the system clock.
int64_t NowUtcSeconds();

struct CivilTime {
  int year = 1970;
  int month = 1;  // 1-12
  int day = 1;    // 1-31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Proleptic Gregorian calendar, pure arithmetic (no time zone).
CivilTime UtcCivil(int64_t t);
int64_t SecondsFromCivil(const CivilTime& c);

// A calendar time as text, the one date formatter of every program. In `pattern` a run of
// Y, M, D, h, m or s is the year, month, day, hour, minute or second, and a run of f is
// `fraction`, each with at least as many digits as the run is long (zeros in front, as
// printf's %0Nd); every other character stands for itself.
//   "YYYY-MM-DD hh:mm:ss"    2026-05-28 20:26:40
//   "hh:mm:ss DD.MM.Y"       20:26:40 28.05.2026
//   "YYYYMMDD hh:mm:ss.ff"   20260528 20:26:40.07   (fraction 7)
std::string CivilText(const CivilTime& c, std::string_view pattern, int fraction = 0);
// The same into out[0, room), cut short where it does not fit; returns its length. For
// callers that build text in a buffer of their own, ping by ping.
size_t CivilText(const CivilTime& c, std::string_view pattern, int fraction, char* out,
                 size_t room);

// The PC's local time for a UTC count, with its time-zone rules (daylight saving included).
CivilTime LocalCivil(int64_t t);
// Local time minus UTC in seconds at instant t.
int64_t LocalOffsetSeconds(int64_t t);

// The PC's standard time-zone bias in minutes: UTC = local standard time + bias
// (India -330, US Eastern 300). Daylight saving is not applied.
int StandardBiasMinutes();

}  // namespace zt::platform
