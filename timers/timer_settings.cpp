#include "timers/timer_settings.h"

#include <cstring>

#include "platform/le_bytes.h"

namespace zt {

TIMERSETTINGS DecodeTimerSettings(const uint8_t* b) {
  TIMERSETTINGS t;
  std::memset(&t, 0, sizeof t);
  LeReader r(b, 128);
  t.record_size = r.I32();
  t.timer_index = r.I32();
  r.Bytes(t.timer_name, sizeof t.timer_name);
  t.start_time = r.I32();
  t.stop_time = r.I32();
  t.file_size_limit = r.U32();
  t.range_mm = r.I32();
  t.tx_length_us = r.I32();
  t.period_s = r.F32();
  t.ping_count = r.I32();
  t.interval_s = r.I32();
  t.threshold_pct = r.I32();
  t.deadzone_m = r.F32();
  t.gain_db = r.F32();
  t.tvg_slope = r.F32();
  t.sound_speed = r.F32();
  t.offset_m = r.F32();
  r.Bytes(t.reserved_96, sizeof t.reserved_96);
  t.device_id = r.I32();
  t.output_flags = r.U32();
  r.Bytes(t.reserved_108, sizeof t.reserved_108);
  return t;
}

void EncodeTimerSettings(const TIMERSETTINGS& t, uint8_t* b) {
  StoreI32(b + 0, t.record_size);
  StoreI32(b + 4, t.timer_index);
  std::memcpy(b + 8, t.timer_name, 32);
  StoreI32(b + 40, t.start_time);
  StoreI32(b + 44, t.stop_time);
  StoreU32(b + 48, t.file_size_limit);
  StoreI32(b + 52, t.range_mm);
  StoreI32(b + 56, t.tx_length_us);
  StoreF32(b + 60, t.period_s);
  StoreI32(b + 64, t.ping_count);
  StoreI32(b + 68, t.interval_s);
  StoreI32(b + 72, t.threshold_pct);
  StoreF32(b + 76, t.deadzone_m);
  StoreF32(b + 80, t.gain_db);
  StoreF32(b + 84, t.tvg_slope);
  StoreF32(b + 88, t.sound_speed);
  StoreF32(b + 92, t.offset_m);
  std::memcpy(b + 96, t.reserved_96, 4);
  StoreI32(b + 100, t.device_id);
  StoreU32(b + 104, t.output_flags);
  std::memcpy(b + 108, t.reserved_108, 20);
}

}  // namespace zt
