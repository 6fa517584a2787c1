// The list of added timers behind the main window's timer list box: slot i of `timers`
// belongs to item i, at most 31 are held, and the window mirrors each change these
// functions report.
#pragma once

#include <cstdint>

#include "timers/timer_file.h"
#include "timers/timer_settings.h"

namespace zt {

enum class TimerListChange {
  kReplaced,  // the record was listed: its item is renamed in place
  kAppended,  // a new record, now the last item
  kFull,      // 31 timers are listed: the record is not listed (the caller still owns it)
};

struct TimerListUpdate {
  TimerListChange change;
  int index;  // the item to rename or the appended item; -1 for kFull
};

// Lists `p` (a record the Add Timer dialog stored): renames its item when it is already
// listed, appends it while fewer than 31 are listed. A null record or list, or a count
// outside 0..31, lists nothing (kFull).
TimerListUpdate UpdateTimerSlots(TIMERSETTINGS** timers, int32_t* timer_count,
                                 TIMERSETTINGS* p);

// Removes slot i, moving the later slots down; returns the removed record for the caller to
// free, or null when i is not a listed slot or the list is not valid (nothing changes).
TIMERSETTINGS* DeleteTimerSlot(TIMERSETTINGS** timers, int32_t* timer_count, int i);

// The save control and "Add Timer" are enabled exactly with 1 to 31 timers listed.
inline bool TimerCountAllowsSave(int32_t timer_count) {
  return timer_count >= 1 && timer_count <= kMaxTimers;
}

}  // namespace zt
