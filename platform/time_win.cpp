#include <windows.h>

#include "platform/civil_time_win.h"
#include "platform/time.h"

namespace zt::platform {

uint64_t TickMs() { return GetTickCount64(); }
void SleepMs(unsigned ms) { Sleep(ms); }

static constexpr int64_t kEpochDiff100ns = 116444736000000000LL;  // 1601 -> 1970

int64_t NowUtcSeconds() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER u;
  u.LowPart = ft.dwLowDateTime;
  u.HighPart = ft.dwHighDateTime;
  return (static_cast<int64_t>(u.QuadPart) - kEpochDiff100ns) / 10000000LL;
}

int64_t LocalOffsetSeconds(int64_t t) {
  CivilTime c = UtcCivil(t);
  SYSTEMTIME utc = SystemTimeFromCivil(c);
  SYSTEMTIME local;
  // The year's own daylight-saving rules where Windows knows them.
  DYNAMIC_TIME_ZONE_INFORMATION dtzi;
  TIME_ZONE_INFORMATION tzi;
  BOOL ok = FALSE;
  if (GetDynamicTimeZoneInformation(&dtzi) != TIME_ZONE_ID_INVALID &&
      GetTimeZoneInformationForYear(utc.wYear, &dtzi, &tzi)) {
    ok = SystemTimeToTzSpecificLocalTime(&tzi, &utc, &local);
  }
  if (!ok && !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return 0;
  return SecondsFromCivil(CivilFromSystemTime(local)) - SecondsFromCivil(c);
}

int StandardBiasMinutes() {
  TIME_ZONE_INFORMATION tzi;
  if (GetTimeZoneInformation(&tzi) == TIME_ZONE_ID_INVALID) return 0;
  return static_cast<int>(tzi.Bias + tzi.StandardBias);
}

}  // namespace zt::platform
