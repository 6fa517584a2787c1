// Which ping and which sample every pixel of the echogram shows.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "platform/trace.h"
#include "viewer/echogram.h"

namespace zt::viewer {

PingSpan FindPingSpan(const PINGINDEX* pings, uint32_t count, int32_t view_begin,
                      int32_t view_end) {
  // The whole file needs only the count.
  if (view_begin == 0 && view_end == 0) return {0, count};
  if (pings == nullptr) return {count, count};
  const uint32_t begin = static_cast<uint32_t>(view_begin);
  const uint32_t end = static_cast<uint32_t>(view_end);
  uint32_t first = 0;
  while (first < count && pings[first].time_utc < begin) ++first;
  // The highest qualifying position wins, also when the times are not in order: scanning
  // down from the end finds it first.
  uint32_t last = count;
  for (uint32_t i = count; i > first; --i) {
    if (pings[i - 1].time_utc <= end) {
      last = i - 1;
      break;
    }
  }
  return {first, last};
}

namespace {

void FillMap(const PINGINDEX* pings, uint32_t count, int32_t samples, int32_t range_mm,
             int32_t view_begin, int32_t view_end, float max_altitude_m, int width, int height,
             PIXELMAP* map) {
  const size_t w = static_cast<size_t>(width);
  const size_t h = static_cast<size_t>(height);
  const PingSpan span = FindPingSpan(pings, count, view_begin, view_end);
  const double n = static_cast<double>(span.last) - static_cast<double>(span.first);

  // Every row of a column shows the same ping and every column of a row the same sample:
  // each is computed once.
  std::vector<int32_t> column_ping(w);
  for (size_t c = 0; c < w; ++c) {
    const double offset = std::trunc(static_cast<double>(c) * n / static_cast<double>(width));
    const double ping = static_cast<double>(span.first) + offset;
    column_ping[c] = ping < static_cast<double>(INT32_MAX) ? static_cast<int32_t>(ping) : INT32_MAX;
  }
  std::vector<int32_t> row_sample(h);
  const double range_m = static_cast<double>(range_mm) / 1000.0;
  for (size_t r = 0; r < h; ++r) {
    const double x = static_cast<double>(r) / static_cast<double>(height) *
                     static_cast<double>(samples) * static_cast<double>(max_altitude_m) / range_m;
    // Rows deeper than the recorded range show no data; so do rows a negative or
    // non-numeric scale would put above the transducer.
    const double s = std::trunc(x);
    row_sample[r] = s >= 0.0 && s < static_cast<double>(samples) ? static_cast<int32_t>(s) : 0;
  }
  for (size_t r = 0; r < h; ++r) {
    PIXELMAP* row = map + r * w;
    const int32_t sample = row_sample[r];
    for (size_t c = 0; c < w; ++c) row[c] = PIXELMAP{column_ping[c], sample};
  }
}

}  // namespace

void MapPixels(const PINGINDEX* pings, uint32_t count, int32_t samples, int32_t range_mm,
               int32_t view_begin, int32_t view_end, float max_altitude_m, int width, int height,
               PIXELMAP* map) {
  if (map == nullptr || width <= 0 || height <= 0) return;
  platform::DebugTrace("begin time => %d, end time => %d\n", view_begin, view_end);
  const size_t w = static_cast<size_t>(width);
  const size_t h = static_cast<size_t>(height);
  // Without a known range there is no sample count to spread over the rows, and no ping
  // may be read.
  if (samples <= 0 || range_mm <= 0) {
    std::fill(map, map + w * h, PIXELMAP{0, 0});
    return;
  }
  try {
    FillMap(pings, count, samples, range_mm, view_begin, view_end, max_altitude_m, width, height,
            map);
  } catch (const std::bad_alloc&) {
    // No data anywhere rather than a part of the picture.
    std::fill(map, map + w * h, PIXELMAP{0, 0});
    platform::DebugTrace("MapPixels: no memory for %d columns and %d rows\n", width, height);
  }
}

}  // namespace zt::viewer
