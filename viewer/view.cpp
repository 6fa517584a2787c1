// The time window, its clamping, the navigation arithmetic, the value lists and the ping
// index of the open file.
#include <algorithm>
#include <cmath>
#include <new>

#include "viewer/echogram.h"

namespace zt::viewer {

const float ALTITUDE_STEPS[kAltitudeStepCount] = {1.0f,  1.5f,  2.0f,  3.0f,  5.0f,  10.0f,
                                                  15.0f, 20.0f, 30.0f, 40.0f, 50.0f, 60.0f,
                                                  70.0f, 80.0f, 90.0f, 100.0f};
const char* const kAltitudeStepTexts[kAltitudeStepCount] = {
    "1", "1.5", "2", "3", "5", "10", "15", "20", "30", "40", "50", "60", "70", "80", "90", "100"};

// A month counts as 30 days, a year as 360.
const SpanChoice SPAN_CHOICES[kSpanChoiceCount] = {
    {"1 min", 60},         {"5 min", 300},         {"10 min", 600},        {"30 min", 1800},
    {"60 min", 3600},      {"2 hours", 7200},      {"3 hours", 10800},     {"6 hours", 21600},
    {"12 hours", 43200},   {"24 hours", 86400},    {"2 days", 172800},     {"5 days", 432000},
    {"7 days", 604800},    {"15 days", 1296000},   {"30 days", 2592000},   {"2 months", 5184000},
    {"3 months", 7776000}, {"6 months", 15552000}, {"9 months", 23328000}, {"12 months", 31104000},
    {"2 years", 62208000}, {"3 years", 93312000},  {"5 years", 155520000},
};

const float GAMMA_CHOICES[kGammaChoiceCount] = {1.0f, 0.9f, 0.7f, 0.5f, 0.3f};
const char* const kGammaTexts[kGammaChoiceCount] = {"1.0", "0.9", "0.7", "0.5", "0.3"};

int SpanIndexOf(int32_t seconds) {
  for (int i = 0; i < kSpanChoiceCount; ++i)
    if (SPAN_CHOICES[i].seconds == seconds) return i;
  return -1;
}

int AltitudeIndexOf(float metres) {
  for (int i = 0; i < kAltitudeStepCount; ++i)
    if (ALTITUDE_STEPS[i] == metres) return i;
  return -1;
}

int GammaIndexOf(float gamma) {
  for (int i = 0; i < kGammaChoiceCount; ++i)
    if (GAMMA_CHOICES[i] == gamma) return i;
  return -1;
}

void ClampView(ViewWindow* v, int64_t shift) {
  if (v == nullptr) return;
  const int64_t first = v->file_first_time;
  const int64_t last = v->file_last_time;
  // A negative span would put an edge before the first ping; it counts as none.
  const int64_t span = std::max<int64_t>(v->span_s, 0);
  // Beyond 2^33 s every shift passes one end of any 32-bit file; holding it there keeps the
  // sums below from overflowing.
  constexpr int64_t kFar = int64_t{1} << 40;
  shift = std::clamp(shift, -kFar, kFar);
  // Every sum is taken in 64 bits; each result lies between the first and the last ping
  // (or is the begin already tested against them), so it fits the window's 32 bits.
  const int64_t b = v->view_begin + shift;
  if (b < first) {
    v->view_begin = static_cast<int32_t>(first);
    v->view_end = static_cast<int32_t>(std::min(first + span, last));
  } else if (b > last) {
    return;
  } else if (v->view_end + shift > last) {
    v->view_end = static_cast<int32_t>(last);
    v->view_begin = static_cast<int32_t>(std::max(last - span, first));
  } else {
    v->view_begin = static_cast<int32_t>(b);
    v->view_end = static_cast<int32_t>(std::min(b + span, last));
  }
}

void OpenView(ViewWindow* v, int32_t first_time, int32_t last_time) {
  if (v == nullptr) return;
  v->file_first_time = first_time;
  v->file_last_time = last_time;
  v->view_begin = first_time;
  // first + span beyond 32 bits ends after the last ping in any case.
  const int64_t end = int64_t{first_time} + std::max<int32_t>(v->span_s, 0);
  v->view_end = static_cast<int32_t>(std::min<int64_t>(end, INT32_MAX));
  ClampView(v, 0);
}

void OpenView(ViewWindow* v, const PingIndex& index) {
  if (index.pings.empty()) {
    OpenView(v, 0, 0);
    return;
  }
  OpenView(v, static_cast<int32_t>(index.pings.front().time_utc),
           static_cast<int32_t>(index.pings.back().time_utc));
}

float ZoomAltitude(float current_m, int delta) {
  const int found = AltitudeIndexOf(current_m);
  int i = found < 0 ? kAltitudeStepCount : found;
  i += delta > 0 ? 1 : -1;
  i = std::clamp(i, 0, kAltitudeStepCount - 1);
  return ALTITUDE_STEPS[i];
}

int32_t WheelTimeShift(int map_width) { return map_width > 0 ? map_width / 10 : 0; }

int64_t DragShift(int32_t span_s, int map_width, int anchor_x, int x) {
  if (map_width <= 0) return 0;
  const float seconds_per_pixel = static_cast<float>(span_s) / static_cast<float>(map_width);
  const float shift = static_cast<float>(int64_t{anchor_x} - int64_t{x}) * seconds_per_pixel;
  // Far beyond any file's length; keeps the conversion to an integer defined.
  constexpr float kLimit = 9.0e15f;
  if (std::isnan(shift)) return 0;
  if (shift <= -kLimit) return -static_cast<int64_t>(kLimit);
  if (shift >= kLimit) return static_cast<int64_t>(kLimit);
  return static_cast<int64_t>(shift);
}

bool LoadPingIndex(platform::File& file, PingIndex* index, std::string* why) {
  std::string ignored;
  std::string* message = why != nullptr ? why : &ignored;
  if (index == nullptr) {
    *message = "no ping index to fill";
    return false;
  }
  index->pings.clear();
  index->pings.shrink_to_fit();
  if (!InspectLoggedFile(file, &index->info, message)) return false;
  try {
    index->pings.resize(index->info.ping_count);
  } catch (const std::bad_alloc&) {
    *message =
        "not enough memory for the index of " + std::to_string(index->info.ping_count) + " pings";
    return false;
  }
  if (!BuildPingIndex(file, index->pings.data(), index->info.ping_count)) {
    const int code = file.last_error();
    *message =
        "the ping index could not be read" +
        (code != 0 ? ": " + platform::ErrorText(code) : std::string(": the file ended early"));
    index->pings.clear();
    index->pings.shrink_to_fit();
    return false;
  }
  return true;
}

}  // namespace zt::viewer
