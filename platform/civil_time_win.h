// Calendar times as Win32 SYSTEMTIME values: the time zone rules of the Win32 side of the
// seam work on them, and so do the windows' date and time pickers (winui/).
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

// The weekday and milliseconds are not read.
inline CivilTime CivilFromSystemTime(const SYSTEMTIME& st) {
  CivilTime c;
  c.year = st.wYear;
  c.month = st.wMonth;
  c.day = st.wDay;
  c.hour = st.wHour;
  c.minute = st.wMinute;
  c.second = st.wSecond;
  return c;
}

}  // namespace zt::platform
#endif
