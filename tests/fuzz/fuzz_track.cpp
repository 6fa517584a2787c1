// A boat's GPS track made of the input: the first byte chooses GPX or NMEA, the rest is the
// file's text. Every point read must be a position on the globe at a time the logger can
// have, and the position at any instant of the track must lie between its neighbours'.
#include <cmath>
#include <cstdint>
#include <string>

#include "export/gps_track.h"

using namespace zt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  GpsTrack track;
  std::string why;
  const bool ok = data[0] & 1 ? ParseGpxTrack(text, &track, &why) : ParseNmeaTrack(text, &track, &why);
  if (!ok) return 0;
  for (const TrackPoint& p : track.points)
    if (!(std::fabs(p.latitude) <= 90.0 && std::fabs(p.longitude) <= 180.0)) __builtin_trap();
  if (track.points.empty()) return 0;
  const int64_t from = track.points.front().ticks, to = track.points.back().ticks;
  for (int k = 0; k <= 8; ++k) {
    double lat = 0, lon = 0;
    const int64_t at = from + (to - from) / 8 * k;
    if (track.PositionAt(at, INT64_MAX / 4, &lat, &lon) &&
        !(std::fabs(lat) <= 90.0 && std::fabs(lon) <= 180.0))
      __builtin_trap();
  }
  return 0;
}
