// Date and time pickers hold calendar times; the pickers of one instant are a pair: the date
// picker shows the date, the time picker the time of day.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include "platform/time.h"

namespace zt::winui {

// Shows `t` in both pickers of a dialog.
void SetPickerPair(HWND dlg, int date_id, int time_id, const platform::CivilTime& t);
// The date of the date picker with the time of day of the time picker.
platform::CivilTime PickerPair(HWND dlg, int date_id, int time_id);

}  // namespace zt::winui
#endif
