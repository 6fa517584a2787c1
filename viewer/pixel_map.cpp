// Which ping and which sample every pixel of the echogram shows.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
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

// The first position in [0, count) at which `holds` is true, for a test that is false up to
// some position and true from there on; count when it never holds. Looks outward from
// `hint` in doubling steps, then halves the bracket found: a position d away from the hint
// costs about 2 log2(d) looks. -1 when a look failed.
int64_t PartitionPoint(uint32_t count, uint32_t hint, const std::function<int(uint32_t)>& holds) {
  if (count == 0) return 0;
  uint64_t lo = 0, hi = count;  // holds(lo - 1) is false (or lo is 0); holds(hi) true or hi = count
  uint64_t at = std::min<uint64_t>(hint, count - 1);
  const int here = holds(static_cast<uint32_t>(at));
  if (here < 0) return -1;
  uint64_t step = 1;
  if (here) {
    hi = at;
    while (hi > 0) {  // outward to the left until the test fails
      const uint64_t probe = hi > step ? hi - step : 0;
      const int r = holds(static_cast<uint32_t>(probe));
      if (r < 0) return -1;
      if (!r) {
        lo = probe + 1;
        break;
      }
      hi = probe;
      step *= 2;
    }
  } else {
    lo = at + 1;
    while (lo < count) {  // outward to the right until the test holds
      const uint64_t probe = std::min<uint64_t>(lo - 1 + step, count - 1);
      const int r = holds(static_cast<uint32_t>(probe));
      if (r < 0) return -1;
      if (r) {
        hi = probe;
        break;
      }
      lo = probe + 1;
      step *= 2;
    }
  }
  while (lo < hi) {  // holds(hi) or hi = count; the test fails before lo
    const uint64_t mid = lo + (hi - lo) / 2;
    const int r = holds(static_cast<uint32_t>(mid));
    if (r < 0) return -1;
    if (r) hi = mid;
    else lo = mid + 1;
  }
  return static_cast<int64_t>(lo);
}

}  // namespace

PingSpan SearchPingSpan(const PingTimeAt& time_at, uint32_t count, int32_t view_begin,
                        int32_t view_end, uint32_t hint) {
  if (view_begin == 0 && view_end == 0) return {0, count};
  const uint32_t begin = static_cast<uint32_t>(view_begin);
  const uint32_t end = static_cast<uint32_t>(view_end);
  auto at_least = [&](uint32_t key) {
    return [&time_at, key](uint32_t i) {
      uint32_t t = 0;
      return time_at(i, &t) ? (t >= key ? 1 : 0) : -1;
    };
  };
  // The first ping at or after the begin, and the first after the end.
  const int64_t first = PartitionPoint(count, hint, at_least(begin));
  if (first < 0) return {count, count};
  const int64_t after = end == UINT32_MAX
                            ? int64_t{count}
                            : PartitionPoint(count, static_cast<uint32_t>(first), at_least(end + 1));
  if (after < 0) return {count, count};
  // The last at or before the end, if it is not before the first; as the scan has it, none
  // (count) otherwise.
  const uint32_t last = after > first ? static_cast<uint32_t>(after - 1) : count;
  return {static_cast<uint32_t>(first), last};
}

namespace {

ViewAxes Axes(PingSpan span, int32_t samples, int32_t range_mm, float max_altitude_m, int width,
              int height) {
  const size_t w = static_cast<size_t>(width);
  const size_t h = static_cast<size_t>(height);
  const double n = static_cast<double>(span.last) - static_cast<double>(span.first);
  ViewAxes axes;
  axes.column_ping.resize(w);
  for (size_t c = 0; c < w; ++c) {
    const double offset = std::trunc(static_cast<double>(c) * n / static_cast<double>(width));
    const double ping = static_cast<double>(span.first) + offset;
    axes.column_ping[c] = ping < static_cast<double>(INT32_MAX) ? static_cast<int32_t>(ping) : INT32_MAX;
  }
  axes.row_sample.resize(h);
  const double range_m = static_cast<double>(range_mm) / 1000.0;
  for (size_t r = 0; r < h; ++r) {
    const double x = static_cast<double>(r) / static_cast<double>(height) *
                     static_cast<double>(samples) * static_cast<double>(max_altitude_m) / range_m;
    // Rows deeper than the recorded range show no data; so do rows a negative or
    // non-numeric scale would put above the transducer.
    const double s = std::trunc(x);
    axes.row_sample[r] = s >= 0.0 && s < static_cast<double>(samples) ? static_cast<int32_t>(s) : 0;
  }
  return axes;
}

}  // namespace

bool AxesOfSpan(PingSpan span, int32_t samples, int32_t range_mm, float max_altitude_m,
                int width, int height, ViewAxes* axes) {
  if (axes == nullptr || width <= 0 || height <= 0) return false;
  try {
    if (samples <= 0 || range_mm <= 0) {  // no data anywhere, and no ping to read
      axes->column_ping.assign(static_cast<size_t>(width), 0);
      axes->row_sample.assign(static_cast<size_t>(height), 0);
    } else {
      *axes = Axes(span, samples, range_mm, max_altitude_m, width, height);
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void MapPixels(const PINGINDEX* pings, uint32_t count, int32_t samples, int32_t range_mm,
               int32_t view_begin, int32_t view_end, float max_altitude_m, int width, int height,
               PIXELMAP* map) {
  if (map == nullptr || width <= 0 || height <= 0) return;
  MapSpan(FindPingSpan(pings, count, view_begin, view_end), samples, range_mm, view_begin,
          view_end, max_altitude_m, width, height, map);
}

void MapSpan(PingSpan span, int32_t samples, int32_t range_mm, int32_t view_begin,
             int32_t view_end, float max_altitude_m, int width, int height, PIXELMAP* map) {
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
    // Every row of a column shows the same ping and every column of a row the same sample.
    const ViewAxes axes = Axes(span, samples, range_mm, max_altitude_m, width, height);
    for (size_t r = 0; r < h; ++r) {
      PIXELMAP* row = map + r * w;
      for (size_t c = 0; c < w; ++c) row[c] = PIXELMAP{axes.column_ping[c], axes.row_sample[r]};
    }
  } catch (const std::bad_alloc&) {
    // No data anywhere rather than a part of the picture.
    std::fill(map, map + w * h, PIXELMAP{0, 0});
    platform::DebugTrace("MapPixels: no memory for %d columns and %d rows\n", width, height);
  }
}

}  // namespace zt::viewer
