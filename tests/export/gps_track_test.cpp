// GPS tracks: NMEA dates (GGA dated by the RMC before it, across midnight), checksums, GPX
// track points, malformed tracks refused with their line, and positions between points.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "export/gps_track.h"
#include "tests/logfile/logged_file_builder.h"

namespace zt {
namespace {

constexpr int64_t kNewYear2026 = 1767225600;  // 2026-01-01T00:00:00Z

std::string Nmea(const std::string& body) {
  unsigned sum = 0;
  for (unsigned char c : body) sum ^= c;
  static const char kHex[] = "0123456789ABCDEF";
  return "$" + body + "*" + kHex[sum >> 4] + kHex[sum & 15] + "\r\n";
}

GpsTrack Load(const std::string& text, std::string* why = nullptr) {
  test::TempDir dir;
  test::WriteAll(dir.Path("TRACK"), text);
  GpsTrack track;
  std::string ignored;
  const bool ok = LoadGpsTrack(dir.Path("TRACK"), &track, why ? why : &ignored);
  EXPECT_EQ(ok, why == nullptr) << (why ? *why : ignored);
  return track;
}

TEST(GpsTrack, NmeaGgaTakesTheDateOfTheRmcBeforeItAcrossMidnight) {
  const GpsTrack t = Load(
      Nmea("GPGGA,235957.00,5429.9940,N,00959.9940,E,1,08,1.0,0.0,M,0.0,M,,") +  // no date yet
      Nmea("GPRMC,235958.00,A,5430.0000,N,01000.0000,E,0.0,0.0,311225,,,A") +
      "$GPGGA,235959.00,5430.0030,N,01000.0030,E,1,08,1.0,0.0,M,0.0,M,,*00\r\n" +  // checksum
      Nmea("GNGGA,000002.00,5430.0060,N,01000.0060,E,1,08,1.0,0.0,M,0.0,M,,"));
  ASSERT_EQ(t.points.size(), 2u);
  EXPECT_EQ(t.points[0].ticks, (kNewYear2026 - 2) * kTicksPerSecond);
  EXPECT_EQ(t.points[1].ticks, (kNewYear2026 + 2) * kTicksPerSecond) << "the next day";
  EXPECT_EQ(t.bad_sentences, 1u);
  EXPECT_EQ(t.skipped, 1u);
  double lat = 0, lon = 0;
  ASSERT_TRUE(t.PositionAt(kNewYear2026 * kTicksPerSecond, 10 * kTicksPerSecond, &lat, &lon));
  EXPECT_NEAR(lat, 54.5 + 0.00005, 1e-9);
  EXPECT_NEAR(lon, 10.0 + 0.00005, 1e-9);
}

TEST(GpsTrack, PositionOnPointsBetweenThemOutsideTheTrackAndAcrossGaps) {
  GpsTrack t;
  const auto at = [](double s) { return static_cast<int64_t>(s * kTicksPerSecond); };
  t.points = {{at(100), 0, 0}, {at(104), 4, 8}, {at(130), 30, 30},
              {at(140), 0, 179}, {at(142), 0, -179}};
  struct Case {
    double s;
    double max_gap;
    bool found;
    double lat, lon;
  };
  const std::vector<Case> cases = {
      {99, 10, false, 0, 0},    // before the track: the track starts after the ping
      {100, 10, true, 0, 0},    // exactly on a point
      {102, 10, true, 2, 4},    // halfway
      {104, 10, true, 4, 8},    // on a point, with a long gap after it
      {110, 10, false, 0, 0},   // between points 26 s apart
      {117, 26, true, 17, 19},  // the same gap, allowed
      {117, 25.99, false, 0, 0},
      {141, 10, true, 0, 180},  // across the antimeridian, the short way
      {143, 10, false, 0, 0},   // after the track
  };
  for (const Case& c : cases) {
    double lat = -1, lon = -1;
    const bool found = t.PositionAt(at(c.s), at(c.max_gap), &lat, &lon);
    EXPECT_EQ(found, c.found) << c.s;
    if (!found || !c.found) continue;
    EXPECT_NEAR(lat, c.lat, 1e-9) << c.s;
    EXPECT_NEAR(std::fabs(lon), std::fabs(c.lon), 1e-9) << c.s;
  }
}

TEST(GpsTrack, GpxTrackPointsWithTimesInEverySegment) {
  if (!kGpxSupported) GTEST_SKIP() << "built without an XML library: GPX tracks are refused";
  const GpsTrack t = Load(
      "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">"
      "<trk><trkseg>\n"
      "<trkpt lat=\"54.5\" lon=\"10.25\"><ele>1</ele><time>2026-01-15T10:20:30Z</time></trkpt>\n"
      "<trkpt lat=\"54.6\" lon=\"10.5\"></trkpt>\n"  // no time: skipped
      "</trkseg><trkseg>\n"
      "<trkpt lat=\"-54.7\" lon=\"-10.75\"><time>2026-01-15T11:20:31.5+01:00</time></trkpt>\n"
      "<trkpt lat=\"1\" lon=\"2\"><time><![CDATA[2026-01-15T10:20:33Z]]></time></trkpt>\n"
      "</trkseg></trk></gpx>\n");
  ASSERT_EQ(t.points.size(), 3u);
  EXPECT_EQ(t.points[2].ticks, 1768472433LL * kTicksPerSecond);
  EXPECT_EQ(t.points[0].ticks, 1768472430LL * kTicksPerSecond);
  EXPECT_EQ(t.points[1].ticks, 1768472431LL * kTicksPerSecond + kTicksPerSecond / 2);
  EXPECT_EQ(t.points[1].latitude, -54.7);
  EXPECT_EQ(t.points[1].longitude, -10.75);
  EXPECT_EQ(t.skipped, 1u);
}

TEST(GpsTrack, MalformedTracksAreRefusedWithTheLineAndTheReason) {
  const std::string head = "<?xml version=\"1.0\"?>\n<gpx version=\"1.0\"><trk><trkseg>\n";
  struct Case {
    std::string text;
    bool gpx;
    const char* says;
  };
  const std::vector<Case> cases = {
      {head + "<trkpt lat=54 lon=\"10\"/>\n</trkseg></trk></gpx>", true, "line 3: not well-formed"},
      {head + "\n<trkpt lat=\"north\" lon=\"10\"><time>2026-01-15T10:20:30Z</time></trkpt>"
              "</trkseg></trk></gpx>", true, "line 4: a track point's lat"},
      {head + "<trkpt lat=\"54\" lon=\"10\"><time>yesterday</time></trkpt></trkseg></trk></gpx>",
       true, "line 3: the track point's time 'yesterday'"},
      {"<kml><Document/></kml>", true, "line 1: the document is <kml>"},
      {"hello\n", false, "line 1: neither a GPX file nor an NMEA 0183 log"},
      {"$GPRMC,bad*00\r\n", false, "no track point"},
  };
  for (const Case& c : cases) {
    if (c.gpx && !kGpxSupported) continue;
    std::string why;
    Load(c.text, &why);
    EXPECT_NE(why.find(c.says), std::string::npos) << why;
  }
}

}  // namespace
}  // namespace zt
