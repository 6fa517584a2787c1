#include "winui/date_time_pickers.h"

#include <commctrl.h>

#include "platform/civil_time_win.h"

namespace zt::winui {

void SetPickerPair(HWND dlg, int date_id, int time_id, const platform::CivilTime& t) {
  SYSTEMTIME st = platform::SystemTimeFromCivil(t);
  // The weekday is the picker's to work out; it ignores the one given.
  for (int id : {date_id, time_id})
    SendDlgItemMessageW(dlg, id, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
}

platform::CivilTime PickerPair(HWND dlg, int date_id, int time_id) {
  SYSTEMTIME date = {}, time = {};
  SendDlgItemMessageW(dlg, date_id, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date));
  SendDlgItemMessageW(dlg, time_id, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
  platform::CivilTime c = platform::CivilFromSystemTime(date);
  const platform::CivilTime of_day = platform::CivilFromSystemTime(time);
  c.hour = of_day.hour;
  c.minute = of_day.minute;
  c.second = of_day.second;
  return c;
}

}  // namespace zt::winui
