// The added timers behind the main window's list box: append, rename in place, the 31-timer
// limit, deletion that closes the gap, and when saving is allowed.
#include <gtest/gtest.h>

#include <vector>

#include "timers/timer_list.h"

namespace zt {
namespace {

// Slots as the main window holds them, records 0 .. n-1 listed.
struct List {
  explicit List(int n) {
    for (int i = 0; i < n; ++i) UpdateTimerSlots(slots, &count, &records[i]);
  }
  std::vector<TIMERSETTINGS*> Slots() const { return {slots, slots + MAX_TIMER_SLOTS}; }
  std::vector<TIMERSETTINGS*> Holding(const std::vector<int>& listed) {
    std::vector<TIMERSETTINGS*> s(MAX_TIMER_SLOTS, nullptr);
    for (size_t i = 0; i < listed.size(); ++i) s[i] = &records[listed[i]];
    return s;
  }
  TIMERSETTINGS records[MAX_TIMER_SLOTS + 1] = {};
  TIMERSETTINGS* slots[MAX_TIMER_SLOTS] = {};
  int32_t count = 0;
};

std::vector<int> Upto(int n) {
  std::vector<int> v;
  for (int i = 0; i < n; ++i) v.push_back(i);
  return v;
}

TEST(UpdateTimerSlots, AppendsNewRecordsRenamesListedOnesRefusesThe32nd) {
  const struct {
    const char* behaviour;
    int listed, record;
    TimerListChange change;
    int index;
  } cases[] = {
      {"the first record goes into slot 0", 0, 0, TimerListChange::kAppended, 0},
      {"a new record is appended", 3, 3, TimerListChange::kAppended, 3},
      {"a listed record is renamed in place", 3, 1, TimerListChange::kReplaced, 1},
      {"a listed record is renamed with 31 listed", 31, 30, TimerListChange::kReplaced, 30},
      {"the 32nd record is refused", 31, 31, TimerListChange::kFull, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.behaviour);
    List l(c.listed);
    const TimerListUpdate u = UpdateTimerSlots(l.slots, &l.count, &l.records[c.record]);
    EXPECT_EQ(u.change, c.change);
    EXPECT_EQ(u.index, c.index);
    const bool added = c.change == TimerListChange::kAppended;
    std::vector<int> listed = Upto(c.listed);
    if (added) listed.push_back(c.record);
    EXPECT_EQ(l.count, static_cast<int32_t>(listed.size()));
    EXPECT_EQ(l.Slots(), l.Holding(listed));
  }
  List l(2);
  int32_t bogus = 40;
  EXPECT_EQ(UpdateTimerSlots(l.slots, &l.count, nullptr).change, TimerListChange::kFull);
  EXPECT_EQ(UpdateTimerSlots(l.slots, &bogus, &l.records[5]).change, TimerListChange::kFull);
  EXPECT_EQ(l.Slots(), l.Holding({0, 1}));
}

TEST(DeleteTimerSlot, RemovesTheSlotAndClosesTheGapOrChangesNothing) {
  const struct {
    const char* behaviour;
    int index;
    int removed;  // the record handed back, -1 for none
    std::vector<int> left;
  } cases[] = {
      {"the second of three", 1, 1, {0, 2}},
      {"the last of three", 2, 2, {0, 1}},
      {"one past the last", 3, -1, {0, 1, 2}},
      {"a negative index", -1, -1, {0, 1, 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.behaviour);
    List l(3);
    EXPECT_EQ(DeleteTimerSlot(l.slots, &l.count, c.index),
              c.removed < 0 ? nullptr : &l.records[c.removed]);
    EXPECT_EQ(l.Slots(), l.Holding(c.left)) << "later slots move down, the freed slot is null";
    EXPECT_EQ(l.count, static_cast<int32_t>(c.left.size()));
  }
  int32_t count = 1;
  EXPECT_EQ(DeleteTimerSlot(nullptr, &count, 0), nullptr);
}

TEST(TimerCountAllowsSave, ExactlyOneToThirtyOneTimers) {
  for (int32_t n : {-1, 0, 1, 31, 32})
    EXPECT_EQ(TimerCountAllowsSave(n), n >= 1 && n <= 31) << n;
}

}  // namespace
}  // namespace zt
