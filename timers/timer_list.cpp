#include "timers/timer_list.h"

namespace zt {

TimerListUpdate UpdateTimerSlots(TIMERSETTINGS** timers, int32_t* timer_count,
                                 TIMERSETTINGS* p) {
  // A count outside 0..31 would send the scan past the slots: nothing is listed then.
  if (!timers || !timer_count || !p || *timer_count < 0 || *timer_count > kMaxTimers)
    return {TimerListChange::kFull, -1};
  const int32_t n = *timer_count;
  for (int32_t i = 0; i < n; ++i)
    if (timers[i] == p) return {TimerListChange::kReplaced, i};
  if (n >= kMaxTimers) return {TimerListChange::kFull, -1};
  timers[n] = p;
  *timer_count = n + 1;
  return {TimerListChange::kAppended, n};
}

TIMERSETTINGS* DeleteTimerSlot(TIMERSETTINGS** timers, int32_t* timer_count, int i) {
  if (!timers || !timer_count || *timer_count > kMaxTimers) return nullptr;
  const int32_t n = *timer_count;
  if (i < 0 || i >= n) return nullptr;
  TIMERSETTINGS* removed = timers[i];
  for (int32_t k = i; k + 1 < n; ++k) timers[k] = timers[k + 1];
  timers[n - 1] = nullptr;
  *timer_count = n - 1;
  return removed;
}

}  // namespace zt
