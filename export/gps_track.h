// A boat's GPS track, read from a GPX 1.0/1.1 file (track points with a time) or an NMEA 0183
// log (RMC sentences with their date; GGA positions dated by the RMC or ZDA before them), and
// the position at any instant, interpolated linearly in time between the two points around it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zt {

// Times in the logger's own unit: 1/65536 s since 1970-01-01 00:00:00 UTC.
constexpr int64_t kTicksPerSecond = 65536;
inline int64_t PingTicks(uint32_t time_utc, uint16_t time_fraction) {
  return static_cast<int64_t>(time_utc) * kTicksPerSecond + time_fraction;
}

struct TrackPoint {
  int64_t ticks;
  double latitude;   // degrees north
  double longitude;  // degrees east
};

struct GpsTrack {
  std::vector<TrackPoint> points;  // in time order, one per instant
  uint32_t bad_sentences = 0;      // NMEA sentences with a wrong checksum or bad fields
  uint32_t skipped = 0;            // fixes without a date, a time or a valid fix

  // The position at `ticks`: a track point's own at its instant, else interpolated between
  // the points before and after it. False outside the track, or between two points more than
  // `max_gap_ticks` apart.
  bool PositionAt(int64_t ticks, int64_t max_gap_ticks, double* latitude,
                  double* longitude) const;
};

// Reads a track file, GPX or NMEA by its first character. False with *why (naming the line
// and the reason) for a file that cannot be read, is malformed or holds no track point.
bool LoadGpsTrack(const std::string& path, GpsTrack* track, std::string* why);

// The parsers, on a whole file's text. They append to track->points (unsorted) and count.
bool ParseNmeaTrack(std::string_view text, GpsTrack* track, std::string* why);
// GPX needs an XML library; where the program was built without one this refuses.
bool ParseGpxTrack(std::string& text, GpsTrack* track, std::string* why);
extern const bool kGpxSupported;

// "2026-01-15T10:20:30.25Z" (a zone offset or none, read as UTC) as ticks; false if malformed.
bool ParseIsoTime(std::string_view text, int64_t* ticks);
// Seconds and a decimal fraction ("30.25", from the first digit after the point) as ticks.
int64_t FractionTicks(std::string_view digits);

}  // namespace zt
