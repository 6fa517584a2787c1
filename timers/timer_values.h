// The timer record's value lists, defaults and output flags, and the pure form functions
// that the Default Timer and Add Timer dialogs are built on: a filler that turns a record
// into list indices, edit texts and check states, and a reader that builds a record back.
#pragma once

#include <cstdint>
#include <string>

#include "platform/time.h"
#include "timers/timer_settings.h"

namespace zt {

// ---- output_flags -------------------------------------------------------------------

constexpr uint32_t kFlagBluetoothOn = 1u << 0;
constexpr int kShiftSdSaveMode = 1;  // bits 1-2
constexpr uint32_t kMaskSdSaveMode = 3u << kShiftSdSaveMode;
constexpr int kShiftOutputFormat = 3;  // bits 3-6
constexpr uint32_t kMaskOutputFormat = 15u << kShiftOutputFormat;
constexpr uint32_t kFlagDefaultTimer = 1u << 7;  // set in every record the Default Timer dialog builds
constexpr uint32_t kFlagAltitude10mm = 1u << 8;
constexpr uint32_t kFlagOutputTilt = 1u << 9;
constexpr uint32_t kFlagOutputTime = 1u << 10;
constexpr uint32_t kFlagOutputWaterTemperature = 1u << 11;

struct OutputFlags {
  bool bluetooth_on = false;
  uint32_t sd_save_mode = 0;        // 0 None, 1 Altimeter, 3 Echosounder
  uint32_t output_format = 0;       // 0 NMEA, 1 NMEA+Text, 2 Text
  uint32_t altitude_precision = 0;  // 0 1mm, 1 10mm
  bool output_tilt = false;
  bool output_time = false;
  bool output_water_temperature = false;
  bool default_timer = false;       // bit 7
};
OutputFlags DecodeOutputFlags(uint32_t flags);
uint32_t EncodeOutputFlags(const OutputFlags& f);

// ---- value lists ---------------------------------------------------------------------

enum class TimerList {
  kRange,
  kTxLength,
  kPeriod,
  kPingCount,
  kThreshold,
  kDeadzone,
  kGain,
  kFileSizeLimit,
  kIntervalUnit,
  kSdSaveMode,
  kOutputFormat,
  kAltitudePrecision,
};
constexpr int kTimerListCount = 12;

struct TimerValueList {
  const char* label;               // the dialog's label
  const char* const* texts;        // display texts, index 0 first
  const int64_t* stored;           // stored values where the list maps an index to a value
                                   // directly (file size, unit multiplier, flags); else null
  int count;
};
const TimerValueList& ValueList(TimerList list);

// Display text to stored value: the selected entry's text parsed as a number (float for
// range, period, deadzone and gain; integer for the others; range is metres x 1000 rounded
// toward zero), or the entry's stored value for the lists that have one. Writes the field
// of `t` (for the flag lists: the field inside output_flags). An index outside the list
// leaves `t` unchanged and returns false.
bool ApplyListIndex(TimerList list, int index, TIMERSETTINGS* t);
// Stored value to display: the first entry whose stored value equals the field exactly
// (floats compared as floats); 0 when none does. The interval unit list is not a field of
// its own: see IntervalDisplay.
int ListIndexFor(TimerList list, const TIMERSETTINGS& t);

// interval_s as a number and a unit index (0 sec, 1 min, 2 hours, 3 days): the largest unit
// the value is strictly above and divides by.
struct IntervalDisplay {
  int64_t number;
  int unit_index;
};
IntervalDisplay ShowInterval(int32_t interval_s);
constexpr int64_t kIntervalMultipliers[4] = {1, 60, 3600, 86400};

// ---- defaults and the records the dialogs build --------------------------------------

TIMERSETTINGS DefaultTimerSettings();
// A new added timer: a copy of the default timer named "Timer", starting and stopping now.
TIMERSETTINGS NewAddedTimer(const TIMERSETTINGS& default_timer, int64_t now_utc);
// Copies at most 31 bytes of `name` into timer_name and zero-fills the rest of the field.
void SetTimerName(TIMERSETTINGS* t, const std::string& name);
std::string TimerName(const TIMERSETTINGS& t);

// ---- the dialogs' form ----------------------------------------------------------------

enum class TimerDialogKind { kDefaultTimer, kAddTimer };

// What the dialog's controls hold: list indices, edit texts and check states.
struct TimerForm {
  int range = 0;
  int tx_length = 0;
  int period = 0;
  int ping_count = 0;
  int threshold = 0;
  int deadzone = 0;
  int gain = 0;
  int file_size_limit = 0;
  std::string interval_number;
  int interval_unit = 0;
  std::string tvg_slope;
  std::string sound_speed;
  // Default Timer only.
  bool bluetooth_on = false;
  int sd_save_mode = 0;
  int output_format = 0;
  int altitude_precision = 0;
  bool output_tilt = false;
  bool output_time = false;
  bool output_water_temperature = false;
  // Add Timer only: 8-bit name and local start and stop times.
  std::string timer_name;
  platform::CivilTime start_local;
  platform::CivilTime stop_local;
};

constexpr int kTimerNameEditLimit = 30;
constexpr int kNumberEditLimit = 10;

TimerForm FillTimerForm(const TIMERSETTINGS& t, TimerDialogKind kind);

enum class TimerFormError { kNone, kInterval, kTvgSlope, kSoundSpeed, kListIndex };
// The message a dialog shows for a refused form ("" for kNone).
const char* TimerFormErrorText(TimerFormError e);

// Builds a new record from the form. A number edit that is empty, not a number, or (for
// the interval) does not fit the field refuses the whole form and leaves *out untouched.
TimerFormError ReadTimerForm(const TimerForm& form, TimerDialogKind kind, TIMERSETTINGS* out);

// Local calendar time to seconds since 1970 UTC with the PC's time-zone rules for that
// date (daylight saving included).
int64_t UtcFromLocalCivil(const platform::CivilTime& local);

}  // namespace zt
