// The 128-byte timer record: one measurement schedule of the logger. The same bytes are the
// payload of the timer upload commands, a slot of TIMERS.DAT and the header of every
// logged ping file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zt {

constexpr int32_t kTimerRecordSize = 128;

struct TIMERSETTINGS {
  int32_t record_size;        // always 128
  int32_t timer_index;        // position in the timer list when saved or uploaded
  char timer_name[32];        // 8-bit text, NUL-terminated
  int32_t start_time;         // seconds since 1970 UTC, read back as unsigned
  int32_t stop_time;          // likewise
  uint32_t file_size_limit;   // bytes
  int32_t range_mm;           // measuring range, mm
  int32_t tx_length_us;       // transmit pulse length, us
  float period_s;             // period between pings of a series, s
  int32_t ping_count;         // pings per series
  int32_t interval_s;         // interval between series, s
  int32_t threshold_pct;      // detection threshold, %
  float deadzone_m;           // dead zone, m
  float gain_db;              // TVG gain, dB
  float tvg_slope;            // TVG slope, dB/km
  float sound_speed;          // m/s
  float offset_m;             // added to a computed altitude, m
  uint8_t reserved_96[4];
  int32_t device_id;          // serial number of the recording device
  uint32_t output_flags;      // Bluetooth and output options
  uint8_t reserved_108[20];
};

static_assert(sizeof(TIMERSETTINGS) == 128, "TIMERSETTINGS is 128 bytes");
static_assert(offsetof(TIMERSETTINGS, timer_index) == 4);
static_assert(offsetof(TIMERSETTINGS, timer_name) == 8);
static_assert(offsetof(TIMERSETTINGS, start_time) == 40);
static_assert(offsetof(TIMERSETTINGS, stop_time) == 44);
static_assert(offsetof(TIMERSETTINGS, file_size_limit) == 48);
static_assert(offsetof(TIMERSETTINGS, range_mm) == 52);
static_assert(offsetof(TIMERSETTINGS, tx_length_us) == 56);
static_assert(offsetof(TIMERSETTINGS, period_s) == 60);
static_assert(offsetof(TIMERSETTINGS, ping_count) == 64);
static_assert(offsetof(TIMERSETTINGS, interval_s) == 68);
static_assert(offsetof(TIMERSETTINGS, threshold_pct) == 72);
static_assert(offsetof(TIMERSETTINGS, deadzone_m) == 76);
static_assert(offsetof(TIMERSETTINGS, gain_db) == 80);
static_assert(offsetof(TIMERSETTINGS, tvg_slope) == 84);
static_assert(offsetof(TIMERSETTINGS, sound_speed) == 88);
static_assert(offsetof(TIMERSETTINGS, offset_m) == 92);
static_assert(offsetof(TIMERSETTINGS, reserved_96) == 96);
static_assert(offsetof(TIMERSETTINGS, device_id) == 100);
static_assert(offsetof(TIMERSETTINGS, output_flags) == 104);
static_assert(offsetof(TIMERSETTINGS, reserved_108) == 108);

// Byte-exact conversion between the little-endian wire/file form and the struct, whatever
// the host's byte order. Reserved bytes are carried through unchanged.
TIMERSETTINGS DecodeTimerSettings(const uint8_t* bytes128);
void EncodeTimerSettings(const TIMERSETTINGS& t, uint8_t* bytes128);

}  // namespace zt
