#include "timers/timer_values.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/short_number.h"
#include "platform/trace.h"

namespace zt {
namespace {

const char* const kRangeTexts[] = {"1",  "1.5", "2",  "3",  "5",  "10", "15", "20",
                                   "30", "40",  "50", "60", "70", "80", "90", "100"};
const char* const kTxLengthTexts[] = {"10", "15", "20", "30", "50", "100", "150", "200"};
const char* const kPeriodTexts[] = {"0.1", "0.2", "0.25", "0.5"};
const char* const kPingCountTexts[] = {"1", "5", "10", "20", "50", "100"};
const char* const kThresholdTexts[] = {"5", "10", "15", "20", "30", "40", "50", "60", "70"};
const char* const kDeadzoneTexts[] = {"0.1", "0.15", "0.30", "0.5", "1", "2", "5", "10"};
const char* const kGainTexts[] = {"+50", "+40", "+30", "+20", "+10", "+6", "0",
                                  "-6",  "-10", "-20", "-30", "-40", "-50"};
const char* const kFileSizeTexts[] = {"100", "200", "500", "1000", "2000", "3000", "4000"};
const int64_t kFileSizeValues[] = {104857600,  209715200,  524288000, 1048576000,
                                   2097152000, 3145728000, 4194304000};
const char* const kUnitTexts[] = {"sec", "min", "hours", "days"};
const char* const kSdSaveTexts[] = {"None", "Altimeter", "Echosounder"};
const int64_t kSdSaveValues[] = {0, 1, 3};
const char* const kOutputFormatTexts[] = {"NMEA", "NMEA+Text", "Text"};
const int64_t kOutputFormatValues[] = {0, 1, 2};
const char* const kPrecisionTexts[] = {"1mm", "10mm"};
const int64_t kPrecisionValues[] = {0, 1};

#define ZT_LIST(label, texts, stored) \
  TimerValueList { label, texts, stored, static_cast<int>(sizeof(texts) / sizeof(texts[0])) }

const TimerValueList kLists[kTimerListCount] = {
    ZT_LIST("Range, m", kRangeTexts, nullptr),
    ZT_LIST("Tx Length, \xC2\xB5sec", kTxLengthTexts, nullptr),
    ZT_LIST("Period, sec", kPeriodTexts, nullptr),
    ZT_LIST("No. of Pings", kPingCountTexts, nullptr),
    ZT_LIST("Threshold, %", kThresholdTexts, nullptr),
    ZT_LIST("Deadzone, m", kDeadzoneTexts, nullptr),
    ZT_LIST("Gain, db", kGainTexts, nullptr),
    ZT_LIST("Filesize limit, MB", kFileSizeTexts, kFileSizeValues),
    ZT_LIST("Interval", kUnitTexts, kIntervalMultipliers),
    ZT_LIST("Save on SD card", kSdSaveTexts, kSdSaveValues),
    ZT_LIST("Output Format", kOutputFormatTexts, kOutputFormatValues),
    ZT_LIST("Altitude precision", kPrecisionTexts, kPrecisionValues),
};
#undef ZT_LIST

float TextFloat(const char* s) { return std::strtof(s, nullptr); }
int32_t TextInt(const char* s) { return static_cast<int32_t>(std::strtol(s, nullptr, 10)); }
int32_t RangeMm(const char* s) { return static_cast<int32_t>(TextFloat(s) * 1000.0f); }

bool IsFloatList(TimerList l) {
  return l == TimerList::kPeriod || l == TimerList::kDeadzone || l == TimerList::kGain;
}

// The field a text-parsed list writes, as an int32 or a float.
int32_t* IntField(TimerList l, TIMERSETTINGS* t) {
  switch (l) {
    case TimerList::kRange: return &t->range_mm;
    case TimerList::kTxLength: return &t->tx_length_us;
    case TimerList::kPingCount: return &t->ping_count;
    case TimerList::kThreshold: return &t->threshold_pct;
    default: return nullptr;
  }
}
float* FloatField(TimerList l, TIMERSETTINGS* t) {
  switch (l) {
    case TimerList::kPeriod: return &t->period_s;
    case TimerList::kDeadzone: return &t->deadzone_m;
    case TimerList::kGain: return &t->gain_db;
    default: return nullptr;
  }
}

bool ParseWholeFloat(const std::string& s, float* out) {
  const char* p = s.c_str();
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '\0') return false;
  char* end = nullptr;
  errno = 0;
  float v = std::strtof(p, &end);
  while (*end == ' ' || *end == '\t') ++end;
  if (end == p || *end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

// The interval edit reads as the %i conversion does: decimal, or octal with a leading 0.
bool ParseInterval(const std::string& s, int64_t multiplier, int32_t* out) {
  const char* p = s.c_str();
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '\0') return false;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(p, &end, 0);
  while (*end == ' ' || *end == '\t') ++end;
  if (end == p || *end != '\0' || errno == ERANGE) return false;
  if (v > INT32_MAX / multiplier || v < INT32_MIN / multiplier) return false;
  *out = static_cast<int32_t>(v * multiplier);
  return true;
}

}  // namespace

OutputFlags DecodeOutputFlags(uint32_t flags) {
  OutputFlags f;
  f.bluetooth_on = (flags & kFlagBluetoothOn) != 0;
  f.sd_save_mode = (flags & kMaskSdSaveMode) >> kShiftSdSaveMode;
  f.output_format = (flags & kMaskOutputFormat) >> kShiftOutputFormat;
  f.default_timer = (flags & kFlagDefaultTimer) != 0;
  f.altitude_precision = (flags & kFlagAltitude10mm) ? 1 : 0;
  f.output_tilt = (flags & kFlagOutputTilt) != 0;
  f.output_time = (flags & kFlagOutputTime) != 0;
  f.output_water_temperature = (flags & kFlagOutputWaterTemperature) != 0;
  return f;
}

uint32_t EncodeOutputFlags(const OutputFlags& f) {
  uint32_t v = 0;
  if (f.bluetooth_on) v |= kFlagBluetoothOn;
  v |= (f.sd_save_mode << kShiftSdSaveMode) & kMaskSdSaveMode;
  v |= (f.output_format << kShiftOutputFormat) & kMaskOutputFormat;
  if (f.default_timer) v |= kFlagDefaultTimer;
  if (f.altitude_precision & 1) v |= kFlagAltitude10mm;
  if (f.output_tilt) v |= kFlagOutputTilt;
  if (f.output_time) v |= kFlagOutputTime;
  if (f.output_water_temperature) v |= kFlagOutputWaterTemperature;
  return v;
}

const TimerValueList& ValueList(TimerList list) { return kLists[static_cast<int>(list)]; }

bool ApplyListIndex(TimerList list, int index, TIMERSETTINGS* t) {
  const TimerValueList& l = ValueList(list);
  if (index < 0 || index >= l.count) return false;
  const char* text = l.texts[index];
  if (list == TimerList::kRange) {
    t->range_mm = RangeMm(text);
  } else if (int32_t* i = IntField(list, t)) {
    *i = TextInt(text);
  } else if (float* f = FloatField(list, t)) {
    *f = TextFloat(text);
  } else if (list == TimerList::kFileSizeLimit) {
    t->file_size_limit = static_cast<uint32_t>(l.stored[index]);
  } else if (list == TimerList::kIntervalUnit) {
    return true;  // the unit only scales the typed interval (ReadTimerForm)
  } else {
    OutputFlags f = DecodeOutputFlags(t->output_flags);
    const uint32_t v = static_cast<uint32_t>(l.stored[index]);
    if (list == TimerList::kSdSaveMode) f.sd_save_mode = v;
    if (list == TimerList::kOutputFormat) f.output_format = v;
    if (list == TimerList::kAltitudePrecision) f.altitude_precision = v;
    // Only this list's bits change; other bits (and unused ones) are kept as they were.
    const uint32_t mask = kMaskSdSaveMode | kMaskOutputFormat | kFlagAltitude10mm;
    t->output_flags = (t->output_flags & ~mask) | (EncodeOutputFlags(f) & mask);
  }
  return true;
}

int ListIndexFor(TimerList list, const TIMERSETTINGS& t) {
  const TimerValueList& l = ValueList(list);
  TIMERSETTINGS copy = t;
  for (int i = 0; i < l.count; ++i) {
    const char* text = l.texts[i];
    bool match = false;
    if (list == TimerList::kRange) {
      match = t.range_mm == RangeMm(text);
    } else if (IsFloatList(list)) {
      match = *FloatField(list, &copy) == TextFloat(text);
    } else if (int32_t* f = IntField(list, &copy)) {
      match = *f == TextInt(text);
    } else if (list == TimerList::kFileSizeLimit) {
      match = static_cast<int64_t>(t.file_size_limit) == l.stored[i];
    } else if (list == TimerList::kIntervalUnit) {
      match = i == ShowInterval(t.interval_s).unit_index;
    } else {
      const OutputFlags f = DecodeOutputFlags(t.output_flags);
      const uint32_t v = list == TimerList::kSdSaveMode     ? f.sd_save_mode
                         : list == TimerList::kOutputFormat ? f.output_format
                                                            : f.altitude_precision;
      match = static_cast<int64_t>(v) == l.stored[i];
    }
    if (match) return i;
  }
  return 0;
}

IntervalDisplay ShowInterval(int32_t interval_s) {
  const int64_t v = interval_s;
  if (v > 86400 && v % 86400 == 0) return {v / 86400, 3};
  if (v > 3600 && v % 3600 == 0) return {v / 3600, 2};
  if (v > 60 && v % 60 == 0) return {v / 60, 1};
  return {v, 0};
}

TIMERSETTINGS DefaultTimerSettings() {
  TIMERSETTINGS t;
  std::memset(&t, 0, sizeof t);
  t.record_size = kTimerRecordSize;
  t.start_time = 0;
  t.stop_time = -2;
  t.file_size_limit = 4194304000u;
  t.range_mm = 2000;
  t.tx_length_us = 50;
  t.period_s = 0.2f;
  t.ping_count = 1;
  t.interval_s = 60;
  t.threshold_pct = 10;
  t.deadzone_m = 0.3f;
  t.gain_db = 0.0f;
  t.tvg_slope = 280.6f;
  t.sound_speed = 1500.0f;
  t.offset_m = 0.0f;
  return t;
}

TIMERSETTINGS NewAddedTimer(const TIMERSETTINGS& default_timer, int64_t now_utc) {
  TIMERSETTINGS t = default_timer;
  SetTimerName(&t, "Timer");
  t.start_time = static_cast<int32_t>(static_cast<uint32_t>(now_utc));
  t.stop_time = t.start_time;
  return t;
}

void SetTimerName(TIMERSETTINGS* t, const std::string& name) {
  std::memset(t->timer_name, 0, sizeof t->timer_name);
  std::memcpy(t->timer_name, name.data(), name.size() < 31 ? name.size() : 31);
}

std::string TimerName(const TIMERSETTINGS& t) {
  return std::string(t.timer_name, strnlen(t.timer_name, sizeof t.timer_name));
}

TimerForm FillTimerForm(const TIMERSETTINGS& t, TimerDialogKind kind) {
  TimerForm f;
  f.range = ListIndexFor(TimerList::kRange, t);
  f.tx_length = ListIndexFor(TimerList::kTxLength, t);
  f.period = ListIndexFor(TimerList::kPeriod, t);
  f.ping_count = ListIndexFor(TimerList::kPingCount, t);
  f.threshold = ListIndexFor(TimerList::kThreshold, t);
  f.deadzone = ListIndexFor(TimerList::kDeadzone, t);
  f.gain = ListIndexFor(TimerList::kGain, t);
  f.file_size_limit = ListIndexFor(TimerList::kFileSizeLimit, t);
  const IntervalDisplay iv = ShowInterval(t.interval_s);
  f.interval_number = std::to_string(iv.number);
  f.interval_unit = iv.unit_index;
  f.tvg_slope = FixedNumber(t.tvg_slope, 2);
  f.sound_speed = FixedNumber(t.sound_speed, 2);
  if (kind == TimerDialogKind::kDefaultTimer) {
    const OutputFlags o = DecodeOutputFlags(t.output_flags);
    f.bluetooth_on = o.bluetooth_on;
    f.sd_save_mode = ListIndexFor(TimerList::kSdSaveMode, t);
    f.output_format = ListIndexFor(TimerList::kOutputFormat, t);
    f.altitude_precision = ListIndexFor(TimerList::kAltitudePrecision, t);
    f.output_tilt = o.output_tilt;
    f.output_time = o.output_time;
    f.output_water_temperature = o.output_water_temperature;
  } else {
    f.timer_name = TimerName(t);
    f.start_local = platform::LocalCivil(static_cast<uint32_t>(t.start_time));
    f.stop_local = platform::LocalCivil(static_cast<uint32_t>(t.stop_time));
  }
  return f;
}

const char* TimerFormErrorText(TimerFormError e) {
  switch (e) {
    case TimerFormError::kNone: return "";
    case TimerFormError::kInterval: return "The interval must be a whole number that fits the chosen unit";
    case TimerFormError::kTvgSlope: return "The TVG slope must be a number";
    case TimerFormError::kSoundSpeed: return "The sound speed must be a number";
    case TimerFormError::kListIndex: return "A list has no entry selected";
  }
  return "";
}

TimerFormError ReadTimerForm(const TimerForm& form, TimerDialogKind kind, TIMERSETTINGS* out) {
  platform::DebugTrace("sizeof(TIMERSETTINGS) = %i\n", static_cast<int>(sizeof(TIMERSETTINGS)));
  TIMERSETTINGS t;
  std::memset(&t, 0, sizeof t);
  t.record_size = kTimerRecordSize;
  const struct {
    TimerList list;
    int index;
  } lists[] = {{TimerList::kRange, form.range},         {TimerList::kTxLength, form.tx_length},
               {TimerList::kPeriod, form.period},       {TimerList::kPingCount, form.ping_count},
               {TimerList::kThreshold, form.threshold}, {TimerList::kDeadzone, form.deadzone},
               {TimerList::kGain, form.gain},           {TimerList::kFileSizeLimit, form.file_size_limit}};
  for (const auto& l : lists)
    if (!ApplyListIndex(l.list, l.index, &t)) return TimerFormError::kListIndex;
  if (form.interval_unit < 0 || form.interval_unit > 3) return TimerFormError::kListIndex;
  if (!ParseInterval(form.interval_number, kIntervalMultipliers[form.interval_unit],
                     &t.interval_s))
    return TimerFormError::kInterval;
  if (!ParseWholeFloat(form.tvg_slope, &t.tvg_slope)) return TimerFormError::kTvgSlope;
  if (!ParseWholeFloat(form.sound_speed, &t.sound_speed)) return TimerFormError::kSoundSpeed;

  if (kind == TimerDialogKind::kDefaultTimer) {
    SetTimerName(&t, "Default timer");
    t.start_time = 0;
    t.stop_time = -2;
    if (!ApplyListIndex(TimerList::kSdSaveMode, form.sd_save_mode, &t) ||
        !ApplyListIndex(TimerList::kOutputFormat, form.output_format, &t) ||
        !ApplyListIndex(TimerList::kAltitudePrecision, form.altitude_precision, &t))
      return TimerFormError::kListIndex;
    OutputFlags o = DecodeOutputFlags(t.output_flags);
    o.bluetooth_on = form.bluetooth_on;
    o.output_tilt = form.output_tilt;
    o.output_time = form.output_time;
    o.output_water_temperature = form.output_water_temperature;
    o.default_timer = true;
    t.output_flags = EncodeOutputFlags(o);
  } else {
    SetTimerName(&t, form.timer_name);
    t.start_time = static_cast<int32_t>(static_cast<uint32_t>(UtcFromLocalCivil(form.start_local)));
    t.stop_time = static_cast<int32_t>(static_cast<uint32_t>(UtcFromLocalCivil(form.stop_local)));
    t.output_flags = 0;
  }
  *out = t;
  return TimerFormError::kNone;
}

int64_t UtcFromLocalCivil(const platform::CivilTime& local) {
  const int64_t as_utc = platform::SecondsFromCivil(local);
  // The offset depends on the instant; two rounds settle it except inside a DST gap.
  int64_t t = as_utc - platform::LocalOffsetSeconds(as_utc);
  t = as_utc - platform::LocalOffsetSeconds(t);
  return t;
}

}  // namespace zt
