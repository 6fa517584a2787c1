// Writes logged ping files as the logger does: the timer record as file header, then pings
// on the timer's schedule with a realistic echo envelope. Seeded, reproducible, streaming.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "timers/timer_settings.h"

namespace zt::sim {

struct RecordSettings {
  int32_t range_mm = 10000;
  uint64_t pings = 1000;
  uint32_t start_utc = 1780272000;  // first ping, 2026-06-01 00:00:00 UTC
  // The timer's start in the file header; a recording split over several files has the
  // same header in each. 0: the first ping's time.
  uint32_t timer_start_utc = 0;
  float period_s = 0.2f;
  int32_t pings_per_series = 10;
  int32_t interval_s = 60;  // from the start of one series to the start of the next
  uint64_t seed = 1;
  float altitude_m = -1.0f;  // bottom altitude at the start; < 0: 60 % of the range
  int32_t tx_length_us = 50;
  int32_t threshold_pct = 10;
  float deadzone_m = 0.3f;
  float gain_db = 0.0f;
  float tvg_slope = 280.6f;
  float sound_speed = 1500.0f;
  float offset_m = 0.0f;
  int32_t device_id = 123456;
  int32_t first_ping_number = 1;
  std::string timer_name = "Default timer";
  uint32_t trailing_bytes = 0;  // a cut-off partial record at the end
};

// The file header the logger writes for these settings.
TIMERSETTINGS HeaderFor(const RecordSettings& s);

// Writes the file; progress(done, total) is called now and then. Returns an empty string on
// success, else what went wrong.
std::string WriteLoggedFile(const std::string& path, const RecordSettings& s,
                            const std::function<void(uint64_t, uint64_t)>& progress = {});

}  // namespace zt::sim
