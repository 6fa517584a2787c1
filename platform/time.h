// Clock, ticks, calendar and time zone through the platform seam.
#pragma once

#include <cstdint>

namespace zt::platform {

// Monotonic milliseconds (GetTickCount64 / CLOCK_MONOTONIC). Never goes backwards.
uint64_t TickMs();
void SleepMs(unsigned ms);

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

// The PC's local time for a UTC count, with its time-zone rules (daylight saving included).
CivilTime LocalCivil(int64_t t);
// Local time minus UTC in seconds at instant t.
int64_t LocalOffsetSeconds(int64_t t);

// The PC's standard time-zone bias in minutes: UTC = local standard time + bias
// (India -330, US Eastern 300). Daylight saving is not applied.
int StandardBiasMinutes();

}  // namespace zt::platform
