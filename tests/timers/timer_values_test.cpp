// The timer record's value lists, defaults and the form functions of the timer dialogs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "platform/time.h"
#include "timers/timer_values.h"

namespace zt {
namespace {

TEST(TimerDefaults, HoldTheDocumentedValues) {
  const TIMERSETTINGS t = DefaultTimerSettings();
  EXPECT_EQ(t.record_size, 128);
  EXPECT_EQ(t.timer_index, 0);
  EXPECT_EQ(t.timer_name[0], '\0');
  EXPECT_EQ(t.start_time, 0);
  EXPECT_EQ(t.stop_time, -2);
  EXPECT_EQ(t.file_size_limit, 4194304000u);
  EXPECT_EQ(t.range_mm, 2000);
  EXPECT_EQ(t.tx_length_us, 50);
  EXPECT_EQ(t.period_s, 0.2f);
  EXPECT_EQ(t.ping_count, 1);
  EXPECT_EQ(t.interval_s, 60);
  EXPECT_EQ(t.threshold_pct, 10);
  EXPECT_EQ(t.deadzone_m, 0.3f);
  EXPECT_EQ(t.gain_db, 0.0f);
  EXPECT_EQ(t.tvg_slope, 280.6f);
  EXPECT_EQ(t.sound_speed, 1500.0f);
  EXPECT_EQ(t.offset_m, 0.0f);
  EXPECT_EQ(t.device_id, 0);
  EXPECT_EQ(t.output_flags, 0u);
  uint8_t bytes[128];
  EncodeTimerSettings(t, bytes);
  // stop_time -2 is the bytes FE FF FF FF; as unsigned seconds it lies in 2106.
  EXPECT_EQ(bytes[44], 0xFE);
  EXPECT_EQ(bytes[45], 0xFF);
  EXPECT_EQ(bytes[47], 0xFF);
  EXPECT_EQ(platform::UtcCivil(static_cast<uint32_t>(t.stop_time)).year, 2106);
  for (int i = 96; i < 100; ++i) EXPECT_EQ(bytes[i], 0) << i;
  for (int i = 108; i < 128; ++i) EXPECT_EQ(bytes[i], 0) << i;
}

TEST(TimerDefaults, FillTheFormWithTheDefaultEntries) {
  const TimerForm f = FillTimerForm(DefaultTimerSettings(), TimerDialogKind::kDefaultTimer);
  EXPECT_STREQ(ValueList(TimerList::kRange).texts[f.range], "2");
  EXPECT_STREQ(ValueList(TimerList::kTxLength).texts[f.tx_length], "50");
  EXPECT_STREQ(ValueList(TimerList::kPeriod).texts[f.period], "0.2");
  EXPECT_STREQ(ValueList(TimerList::kPingCount).texts[f.ping_count], "1");
  EXPECT_STREQ(ValueList(TimerList::kThreshold).texts[f.threshold], "10");
  EXPECT_STREQ(ValueList(TimerList::kDeadzone).texts[f.deadzone], "0.30");
  EXPECT_STREQ(ValueList(TimerList::kGain).texts[f.gain], "0");
  EXPECT_STREQ(ValueList(TimerList::kFileSizeLimit).texts[f.file_size_limit], "4000");
  EXPECT_EQ(f.interval_number, "60");
  EXPECT_EQ(f.interval_unit, 0);
  EXPECT_EQ(f.tvg_slope, "280.60");
  EXPECT_EQ(f.sound_speed, "1500.00");
  EXPECT_FALSE(f.bluetooth_on);
  EXPECT_EQ(f.sd_save_mode, 0);
  EXPECT_EQ(f.output_format, 0);
  EXPECT_EQ(f.altitude_precision, 0);
}

// Every entry of every text-parsed list: selecting it stores the value, and the stored
// value selects the same entry again.
struct ListCase {
  TimerList list;
  int index;
  double stored;  // what the field holds after selecting the entry
};

double FieldOf(TimerList l, const TIMERSETTINGS& t) {
  switch (l) {
    case TimerList::kRange: return t.range_mm;
    case TimerList::kTxLength: return t.tx_length_us;
    case TimerList::kPeriod: return t.period_s;
    case TimerList::kPingCount: return t.ping_count;
    case TimerList::kThreshold: return t.threshold_pct;
    case TimerList::kDeadzone: return t.deadzone_m;
    case TimerList::kGain: return t.gain_db;
    case TimerList::kFileSizeLimit: return t.file_size_limit;
    case TimerList::kSdSaveMode: return DecodeOutputFlags(t.output_flags).sd_save_mode;
    case TimerList::kOutputFormat: return DecodeOutputFlags(t.output_flags).output_format;
    case TimerList::kAltitudePrecision:
      return DecodeOutputFlags(t.output_flags).altitude_precision;
    default: return -1;
  }
}

TEST(TimerValueLists, EveryEntryStoresItsValueAndIsSelectedByIt) {
  const ListCase cases[] = {
      {TimerList::kRange, 0, 1000},     {TimerList::kRange, 1, 1500},
      {TimerList::kRange, 2, 2000},     {TimerList::kRange, 3, 3000},
      {TimerList::kRange, 4, 5000},     {TimerList::kRange, 5, 10000},
      {TimerList::kRange, 6, 15000},    {TimerList::kRange, 7, 20000},
      {TimerList::kRange, 8, 30000},    {TimerList::kRange, 9, 40000},
      {TimerList::kRange, 10, 50000},   {TimerList::kRange, 11, 60000},
      {TimerList::kRange, 12, 70000},   {TimerList::kRange, 13, 80000},
      {TimerList::kRange, 14, 90000},   {TimerList::kRange, 15, 100000},
      {TimerList::kTxLength, 0, 10},    {TimerList::kTxLength, 1, 15},
      {TimerList::kTxLength, 2, 20},    {TimerList::kTxLength, 3, 30},
      {TimerList::kTxLength, 4, 50},    {TimerList::kTxLength, 5, 100},
      {TimerList::kTxLength, 6, 150},   {TimerList::kTxLength, 7, 200},
      {TimerList::kPeriod, 0, 0.1f},    {TimerList::kPeriod, 1, 0.2f},
      {TimerList::kPeriod, 2, 0.25f},   {TimerList::kPeriod, 3, 0.5f},
      {TimerList::kPingCount, 0, 1},    {TimerList::kPingCount, 1, 5},
      {TimerList::kPingCount, 2, 10},   {TimerList::kPingCount, 3, 20},
      {TimerList::kPingCount, 4, 50},   {TimerList::kPingCount, 5, 100},
      {TimerList::kThreshold, 0, 5},    {TimerList::kThreshold, 1, 10},
      {TimerList::kThreshold, 2, 15},   {TimerList::kThreshold, 3, 20},
      {TimerList::kThreshold, 4, 30},   {TimerList::kThreshold, 5, 40},
      {TimerList::kThreshold, 6, 50},   {TimerList::kThreshold, 7, 60},
      {TimerList::kThreshold, 8, 70},   {TimerList::kDeadzone, 0, 0.1f},
      {TimerList::kDeadzone, 1, 0.15f}, {TimerList::kDeadzone, 2, 0.3f},
      {TimerList::kDeadzone, 3, 0.5f},  {TimerList::kDeadzone, 4, 1},
      {TimerList::kDeadzone, 5, 2},     {TimerList::kDeadzone, 6, 5},
      {TimerList::kDeadzone, 7, 10},    {TimerList::kGain, 0, 50},
      {TimerList::kGain, 1, 40},        {TimerList::kGain, 2, 30},
      {TimerList::kGain, 3, 20},        {TimerList::kGain, 4, 10},
      {TimerList::kGain, 5, 6},         {TimerList::kGain, 6, 0},
      {TimerList::kGain, 7, -6},        {TimerList::kGain, 8, -10},
      {TimerList::kGain, 9, -20},       {TimerList::kGain, 10, -30},
      {TimerList::kGain, 11, -40},      {TimerList::kGain, 12, -50},
      {TimerList::kFileSizeLimit, 0, 104857600.0},
      {TimerList::kFileSizeLimit, 1, 209715200.0},
      {TimerList::kFileSizeLimit, 2, 524288000.0},
      {TimerList::kFileSizeLimit, 3, 1048576000.0},
      {TimerList::kFileSizeLimit, 4, 2097152000.0},
      {TimerList::kFileSizeLimit, 5, 3145728000.0},
      {TimerList::kFileSizeLimit, 6, 4194304000.0},
      {TimerList::kSdSaveMode, 0, 0},   {TimerList::kSdSaveMode, 1, 1},
      {TimerList::kSdSaveMode, 2, 3},   {TimerList::kOutputFormat, 0, 0},
      {TimerList::kOutputFormat, 1, 1}, {TimerList::kOutputFormat, 2, 2},
      {TimerList::kAltitudePrecision, 0, 0}, {TimerList::kAltitudePrecision, 1, 1},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(std::string(ValueList(c.list).label) + " entry " + std::to_string(c.index));
    TIMERSETTINGS t = DefaultTimerSettings();
    ASSERT_TRUE(ApplyListIndex(c.list, c.index, &t));
    EXPECT_EQ(FieldOf(c.list, t), c.stored);
    EXPECT_EQ(ListIndexFor(c.list, t), c.index);
  }
}

TEST(TimerValueLists, HaveTheDocumentedLengthsAndOutOfRangeIndicesAreRefused) {
  const struct {
    TimerList list;
    int count;
  } cases[] = {{TimerList::kRange, 16},        {TimerList::kTxLength, 8},
               {TimerList::kPeriod, 4},        {TimerList::kPingCount, 6},
               {TimerList::kThreshold, 9},     {TimerList::kDeadzone, 8},
               {TimerList::kGain, 13},         {TimerList::kFileSizeLimit, 7},
               {TimerList::kIntervalUnit, 4},  {TimerList::kSdSaveMode, 3},
               {TimerList::kOutputFormat, 3},  {TimerList::kAltitudePrecision, 2}};
  for (const auto& c : cases) {
    EXPECT_EQ(ValueList(c.list).count, c.count) << ValueList(c.list).label;
    TIMERSETTINGS t = DefaultTimerSettings();
    const TIMERSETTINGS before = t;
    EXPECT_FALSE(ApplyListIndex(c.list, c.count, &t));
    EXPECT_FALSE(ApplyListIndex(c.list, -1, &t));
    EXPECT_EQ(std::memcmp(&t, &before, sizeof t), 0);
  }
}

TEST(TimerValueLists, ValueNotInTheListSelectsTheFirstEntry) {
  TIMERSETTINGS t = DefaultTimerSettings();
  t.gain_db = 3.0f;
  t.range_mm = 1234;
  t.period_s = 0.3f;
  t.file_size_limit = 5;
  t.output_flags = 2u << kShiftSdSaveMode;  // save mode 2 is not used
  const TimerForm f = FillTimerForm(t, TimerDialogKind::kDefaultTimer);
  EXPECT_EQ(f.gain, 0);
  EXPECT_STREQ(ValueList(TimerList::kGain).texts[f.gain], "+50");
  EXPECT_EQ(f.range, 0);
  EXPECT_EQ(f.period, 0);
  EXPECT_EQ(f.file_size_limit, 0);
  EXPECT_EQ(f.sd_save_mode, 0);
  // Reading the dialog back then stores the first entry's value.
  TIMERSETTINGS back;
  ASSERT_EQ(ReadTimerForm(f, TimerDialogKind::kDefaultTimer, &back), TimerFormError::kNone);
  EXPECT_EQ(back.gain_db, 50.0f);
  EXPECT_EQ(back.range_mm, 1000);
}

TEST(TimerValueLists, RangeOnePointFiveRoundTripsExactly) {
  TIMERSETTINGS t = DefaultTimerSettings();
  t.range_mm = 1500;
  const TimerForm f = FillTimerForm(t, TimerDialogKind::kDefaultTimer);
  EXPECT_STREQ(ValueList(TimerList::kRange).texts[f.range], "1.5");
  TIMERSETTINGS back;
  ASSERT_EQ(ReadTimerForm(f, TimerDialogKind::kDefaultTimer, &back), TimerFormError::kNone);
  EXPECT_EQ(back.range_mm, 1500);
}

TEST(TimerValueLists, DeadzoneComparesAsFloat) {
  TIMERSETTINGS t = DefaultTimerSettings();
  t.deadzone_m = 0.3f;
  EXPECT_STREQ(ValueList(TimerList::kDeadzone).texts[ListIndexFor(TimerList::kDeadzone, t)],
               "0.30");
  t.deadzone_m = std::nextafter(0.3f, 1.0f);
  EXPECT_EQ(ListIndexFor(TimerList::kDeadzone, t), 0);
}

TEST(TimerInterval, ShownWithTheLargestUnitItIsStrictlyAboveAndDividesBy) {
  const struct {
    int32_t seconds;
    int64_t number;
    const char* unit;
  } cases[] = {
      {7200, 2, "hours"},  {90, 90, "sec"},    {120, 2, "min"},     {172800, 2, "days"},
      {86400, 24, "hours"}, {3600, 60, "min"}, {60, 60, "sec"},     {0, 0, "sec"},
      {86401, 86401, "sec"}, {259200, 3, "days"}, {-120, -120, "sec"}, {3660, 61, "min"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seconds);
    const IntervalDisplay d = ShowInterval(c.seconds);
    EXPECT_EQ(d.number, c.number);
    EXPECT_STREQ(ValueList(TimerList::kIntervalUnit).texts[d.unit_index], c.unit);
  }
}

TEST(TimerInterval, TypedNumberTimesUnitIsStoredAndShownTheSameWay) {
  const struct {
    const char* typed;
    int unit;
    int32_t stored;
    const char* shown;
    int shown_unit;
  } cases[] = {
      {"2", 2, 7200, "2", 2},    {"60", 1, 3600, "60", 1},  {"010", 0, 8, "8", 0},
      {"1", 3, 86400, "24", 2},  {"90", 0, 90, "90", 0},    {"3", 3, 259200, "3", 3},
      {" 45", 0, 45, "45", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    TimerForm f = FillTimerForm(DefaultTimerSettings(), TimerDialogKind::kDefaultTimer);
    f.interval_number = c.typed;
    f.interval_unit = c.unit;
    TIMERSETTINGS t;
    ASSERT_EQ(ReadTimerForm(f, TimerDialogKind::kDefaultTimer, &t), TimerFormError::kNone);
    EXPECT_EQ(t.interval_s, c.stored);
    const TimerForm again = FillTimerForm(t, TimerDialogKind::kDefaultTimer);
    EXPECT_EQ(again.interval_number, c.shown);
    EXPECT_EQ(again.interval_unit, c.shown_unit);
  }
}

TEST(TimerForm, UnreadableNumberEditsRefuseTheFormAndLeaveTheRecord) {
  const struct {
    const char* interval;
    int unit;
    const char* tvg;
    const char* speed;
    TimerFormError expected;
  } cases[] = {
      {"", 0, "280.60", "1500.00", TimerFormError::kInterval},
      {"12x", 0, "280.60", "1500.00", TimerFormError::kInterval},
      {"9999999999", 0, "280.60", "1500.00", TimerFormError::kInterval},
      {"30000", 3, "280.60", "1500.00", TimerFormError::kInterval},  // overflows int32
      {"60", 0, "", "1500.00", TimerFormError::kTvgSlope},
      {"60", 0, "abc", "1500.00", TimerFormError::kTvgSlope},
      {"60", 0, "280.60", "1e99", TimerFormError::kSoundSpeed},
      {"60", 0, "280.60", "15OO", TimerFormError::kSoundSpeed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.interval) + "|" + c.tvg + "|" + c.speed);
    TimerForm f = FillTimerForm(DefaultTimerSettings(), TimerDialogKind::kDefaultTimer);
    f.interval_number = c.interval;
    f.interval_unit = c.unit;
    f.tvg_slope = c.tvg;
    f.sound_speed = c.speed;
    TIMERSETTINGS t;
    std::memset(&t, 0x5A, sizeof t);
    EXPECT_EQ(ReadTimerForm(f, TimerDialogKind::kDefaultTimer, &t), c.expected);
    EXPECT_EQ(t.record_size, 0x5A5A5A5A);
    EXPECT_STRNE(TimerFormErrorText(c.expected), "");
  }
}

TEST(TimerForm, TvgSlopeAndSoundSpeedAreShownWithTwoDecimalsAndReadAsFloats) {
  TimerForm f = FillTimerForm(DefaultTimerSettings(), TimerDialogKind::kDefaultTimer);
  f.tvg_slope = "123.45";
  f.sound_speed = "1480.5";
  TIMERSETTINGS t;
  ASSERT_EQ(ReadTimerForm(f, TimerDialogKind::kDefaultTimer, &t), TimerFormError::kNone);
  EXPECT_EQ(t.tvg_slope, 123.45f);
  EXPECT_EQ(t.sound_speed, 1480.5f);
  const TimerForm again = FillTimerForm(t, TimerDialogKind::kDefaultTimer);
  EXPECT_EQ(again.tvg_slope, "123.45");
  EXPECT_EQ(again.sound_speed, "1480.50");
}

TEST(DefaultTimerDialog, SetWithoutChangesNamesTheRecordAndMarksBit7) {
  const TIMERSETTINGS d = DefaultTimerSettings();
  TIMERSETTINGS t;
  ASSERT_EQ(ReadTimerForm(FillTimerForm(d, TimerDialogKind::kDefaultTimer),
                          TimerDialogKind::kDefaultTimer, &t),
            TimerFormError::kNone);
  EXPECT_STREQ(t.timer_name, "Default timer");
  EXPECT_EQ(t.output_flags, 0x80u);
  EXPECT_EQ(t.start_time, 0);
  EXPECT_EQ(t.stop_time, -2);
  EXPECT_EQ(t.record_size, 128);
  EXPECT_EQ(t.timer_index, 0);
  // Everything else as the defaults.
  EXPECT_EQ(t.range_mm, d.range_mm);
  EXPECT_EQ(t.deadzone_m, d.deadzone_m);
  EXPECT_EQ(t.interval_s, d.interval_s);
  EXPECT_EQ(t.file_size_limit, d.file_size_limit);
  EXPECT_EQ(t.tvg_slope, d.tvg_slope);
}

TEST(DefaultTimerDialog, OutputOptionsGoToTheirBits) {
  const struct {
    bool bluetooth;
    int save, format, precision;
    bool tilt, time, temperature;
    uint32_t flags;
  } cases[] = {
      {true, 0, 0, 0, false, false, false, 0x81},
      {false, 1, 0, 0, false, false, false, 0x82},
      {false, 2, 0, 0, false, false, false, 0x86},   // "Echosounder" stores 3
      {false, 0, 1, 0, false, false, false, 0x88},
      {false, 0, 2, 0, false, false, false, 0x90},
      {false, 0, 0, 1, false, false, false, 0x180},
      {false, 0, 0, 0, true, false, false, 0x280},
      {false, 0, 0, 0, false, true, false, 0x480},
      {false, 0, 0, 0, false, false, true, 0x880},
      {true, 2, 2, 1, true, true, true, 0xF97},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    TimerForm f = FillTimerForm(DefaultTimerSettings(), TimerDialogKind::kDefaultTimer);
    f.bluetooth_on = c.bluetooth;
    f.sd_save_mode = c.save;
    f.output_format = c.format;
    f.altitude_precision = c.precision;
    f.output_tilt = c.tilt;
    f.output_time = c.time;
    f.output_water_temperature = c.temperature;
    TIMERSETTINGS t;
    ASSERT_EQ(ReadTimerForm(f, TimerDialogKind::kDefaultTimer, &t), TimerFormError::kNone);
    EXPECT_EQ(t.output_flags, c.flags);
    const TimerForm again = FillTimerForm(t, TimerDialogKind::kDefaultTimer);
    EXPECT_EQ(again.bluetooth_on, c.bluetooth);
    EXPECT_EQ(again.sd_save_mode, c.save);
    EXPECT_EQ(again.output_format, c.format);
    EXPECT_EQ(again.altitude_precision, c.precision);
    EXPECT_EQ(again.output_tilt, c.tilt);
    EXPECT_EQ(again.output_time, c.time);
    EXPECT_EQ(again.output_water_temperature, c.temperature);
  }
}

TEST(AddTimerDialog, NewTimerCopiesTheDefaultWithNameTimerAndNow) {
  TIMERSETTINGS d = DefaultTimerSettings();
  d.range_mm = 50000;
  d.output_flags = 0x81;
  const TIMERSETTINGS t = NewAddedTimer(d, 1700000000);
  EXPECT_STREQ(t.timer_name, "Timer");
  EXPECT_EQ(t.start_time, 1700000000);
  EXPECT_EQ(t.stop_time, 1700000000);
  EXPECT_EQ(t.range_mm, 50000);
  // Its Bluetooth and output options are dropped when the dialog reads it back.
  TIMERSETTINGS back;
  ASSERT_EQ(ReadTimerForm(FillTimerForm(t, TimerDialogKind::kAddTimer),
                          TimerDialogKind::kAddTimer, &back),
            TimerFormError::kNone);
  EXPECT_EQ(back.output_flags, 0u);
  EXPECT_EQ(back.timer_index, 0);
  EXPECT_STREQ(back.timer_name, "Timer");
  EXPECT_EQ(back.start_time, 1700000000);
  EXPECT_EQ(back.stop_time, 1700000000);
  EXPECT_EQ(back.range_mm, 50000);
}

TEST(AddTimerDialog, ThirtyCharacterNameFillsBytes8To37AndANul) {
  TIMERSETTINGS t = DefaultTimerSettings();
  TimerForm f = FillTimerForm(t, TimerDialogKind::kAddTimer);
  f.timer_name = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";
  ASSERT_EQ(f.timer_name.size(), 30u);
  ASSERT_EQ(ReadTimerForm(f, TimerDialogKind::kAddTimer, &t), TimerFormError::kNone);
  uint8_t b[128];
  EncodeTimerSettings(t, b);
  EXPECT_EQ(std::memcmp(b + 8, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", 30), 0);
  for (int i = 38; i < 40; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(FillTimerForm(t, TimerDialogKind::kAddTimer).timer_name, f.timer_name);
}

TEST(AddTimerDialog, OverlongNameIsCutTo31Characters) {
  TIMERSETTINGS t = DefaultTimerSettings();
  SetTimerName(&t, std::string(40, 'x'));
  EXPECT_EQ(TimerName(t), std::string(31, 'x'));
  EXPECT_EQ(t.timer_name[31], '\0');
}

TEST(AddTimerDialog, StartAndStopTimesRoundTripThroughLocalTime) {
  const uint32_t times[] = {0u, 1700000000u, 1751358615u /* a summer date */, 4000000000u};
  for (uint32_t v : times) {
    SCOPED_TRACE(v);
    TIMERSETTINGS t = DefaultTimerSettings();
    t.start_time = static_cast<int32_t>(v);
    t.stop_time = static_cast<int32_t>(v + 3600);
    const TimerForm f = FillTimerForm(t, TimerDialogKind::kAddTimer);
    const platform::CivilTime expect = platform::LocalCivil(v);
    EXPECT_EQ(f.start_local.year, expect.year);
    EXPECT_EQ(f.start_local.hour, expect.hour);
    TIMERSETTINGS back;
    ASSERT_EQ(ReadTimerForm(f, TimerDialogKind::kAddTimer, &back), TimerFormError::kNone);
    EXPECT_EQ(static_cast<uint32_t>(back.start_time), v);
    EXPECT_EQ(static_cast<uint32_t>(back.stop_time), v + 3600);
  }
}

TEST(OutputFlags, UnusedBitsAreDroppedAndFieldsDecode) {
  const OutputFlags f = DecodeOutputFlags(0xFFFFFFFFu);
  EXPECT_TRUE(f.bluetooth_on);
  EXPECT_EQ(f.sd_save_mode, 3u);
  EXPECT_EQ(f.output_format, 15u);
  EXPECT_TRUE(f.default_timer);
  EXPECT_EQ(f.altitude_precision, 1u);
  EXPECT_EQ(EncodeOutputFlags(f), 0xFFFu);
}

}  // namespace
}  // namespace zt
