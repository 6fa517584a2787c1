// Calendar times as Win32 SYSTEMTIME values, for the Win32 side of the seam and the windows
// (date and time pickers).
#pragma once
#ifdef _WIN32
#include <windows.h>

#include "platform/time.h"

namespace zt::platform {

// The weekday and milliseconds are left 0: every user of these works them out itself.
inline SYSTEMTIME SystemTimeFromCivil(const CivilTime& c) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(c.year);
  st.wMonth = static_cast<WORD>(c.month);
  st.wDay = static_cast<WORD>(c.day);
  st.wHour = static_cast<WORD>(c.hour);
  st.wMinute = static_cast<WORD>(c.minute);
  st.wSecond = static_cast<WORD>(c.second);
  return st;
}

// The date of `date` with the time of day of `time`; the same value twice for one instant.
inline CivilTime CivilFromSystemTimes(const SYSTEMTIME& date, const SYSTEMTIME& time) {
  CivilTime c;
  c.year = date.wYear;
  c.month = date.wMonth;
  c.day = date.wDay;
  c.hour = time.wHour;
  c.minute = time.wMinute;
  c.second = time.wSecond;
  return c;
}

}  // namespace zt::platform
#endif
