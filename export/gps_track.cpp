#include "export/gps_track.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "platform/file.h"
#include "platform/time.h"

namespace zt {
namespace {

bool Digits(std::string_view s, size_t at, size_t n, int* v) {
  if (at + n > s.size()) return false;
  int x = 0;
  for (size_t k = at; k < at + n; ++k) {
    if (s[k] < '0' || s[k] > '9') return false;
    x = x * 10 + (s[k] - '0');
  }
  *v = x;
  return true;
}

bool Decimal(std::string_view s, double* v) {
  if (s.empty()) return false;
  size_t k = 0;
  double x = 0;
  bool any = false;
  for (; k < s.size() && s[k] >= '0' && s[k] <= '9'; ++k, any = true) x = x * 10 + (s[k] - '0');
  if (k < s.size() && s[k] == '.') {
    double scale = 0.1;
    for (++k; k < s.size() && s[k] >= '0' && s[k] <= '9'; ++k, scale *= 0.1, any = true)
      x += (s[k] - '0') * scale;
  }
  *v = x;
  return any && k == s.size();
}

// "hhmmss" with an optional ".fff": the ticks since midnight.
bool TimeOfDay(std::string_view s, int64_t* ticks) {
  int h, m, sec;
  if (!Digits(s, 0, 2, &h) || !Digits(s, 2, 2, &m) || !Digits(s, 4, 2, &sec)) return false;
  if (h > 23 || m > 59 || sec > 60) return false;
  std::string_view rest = s.substr(6);
  if (!rest.empty() && rest[0] != '.') return false;
  const std::string_view frac = rest.empty() ? rest : rest.substr(1);
  for (char c : frac)
    if (c < '0' || c > '9') return false;
  *ticks = (h * 3600 + m * 60 + sec) * kTicksPerSecond + FractionTicks(frac);
  return true;
}

// "ddmm.mmmm" (latitude, 2 degree digits) or "dddmm.mmmm" and the hemisphere letter.
bool Angle(std::string_view s, std::string_view hemi, int degree_digits, double* v) {
  int deg;
  double minutes;
  if (!Digits(s, 0, static_cast<size_t>(degree_digits), &deg)) return false;
  if (!Decimal(s.substr(static_cast<size_t>(degree_digits)), &minutes) || minutes >= 60)
    return false;
  double x = deg + minutes / 60.0;
  if (hemi == "S" || hemi == "W") x = -x;
  else if (hemi != "N" && hemi != "E") return false;
  *v = x;
  return x >= -180 && x <= 180 && (degree_digits == 3 || std::fabs(x) <= 90);
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A sentence's fields between "$" and "*hh", its checksum checked; false for a bad one.
bool SentenceFields(std::string_view line, std::vector<std::string_view>* fields) {
  const size_t star = line.rfind('*');
  if (line.size() < 7 || line[0] != '$' || star == std::string_view::npos ||
      star + 3 != line.size())
    return false;
  const int hi = Hex(line[star + 1]), lo = Hex(line[star + 2]);
  unsigned sum = 0;
  for (size_t k = 1; k < star; ++k) sum ^= static_cast<unsigned char>(line[k]);
  if (hi < 0 || lo < 0 || sum != static_cast<unsigned>(hi * 16 + lo)) return false;
  fields->clear();
  std::string_view body = line.substr(1, star - 1);
  for (size_t at = 0;;) {
    const size_t comma = body.find(',', at);
    fields->push_back(body.substr(at, comma == std::string_view::npos ? comma : comma - at));
    if (comma == std::string_view::npos) break;
    at = comma + 1;
  }
  return true;
}

// Where the dates of an NMEA log come from: the last RMC or ZDA.
struct NmeaDate {
  bool known = false;
  int64_t midnight = 0;     // seconds, 00:00 UTC of that day
  int64_t time_of_day = 0;  // ticks of the sentence that gave the date
};

bool DateSeconds(int year, int month, int day, int64_t* midnight) {
  if (month < 1 || month > 12 || day < 1 || day > 31) return false;
  platform::CivilTime c;
  c.year = year;
  c.month = month;
  c.day = day;
  *midnight = platform::SecondsFromCivil(c);
  return true;
}

enum class Sentence { kBad, kIgnored, kPoint, kNoFix };

// RMC: time, status, latitude, N/S, longitude, E/W, speed, course, date (ddmmyy), ...
Sentence Rmc(const std::vector<std::string_view>& f, NmeaDate* date, TrackPoint* p) {
  int64_t tod;
  int dd, mm, yy;
  if (f.size() < 10 || !TimeOfDay(f[1], &tod) || f[9].size() != 6 || !Digits(f[9], 0, 2, &dd) ||
      !Digits(f[9], 2, 2, &mm) || !Digits(f[9], 4, 2, &yy))
    return Sentence::kBad;
  int64_t midnight;
  if (!DateSeconds(yy < 80 ? 2000 + yy : 1900 + yy, mm, dd, &midnight)) return Sentence::kBad;
  *date = NmeaDate{true, midnight, tod};
  if (f[2] != "A") return Sentence::kNoFix;
  if (!Angle(f[3], f[4], 2, &p->latitude) || !Angle(f[5], f[6], 3, &p->longitude))
    return Sentence::kBad;
  p->ticks = midnight * kTicksPerSecond + tod;
  return Sentence::kPoint;
}

// ZDA: time, day, month, year, zone hours, zone minutes.
Sentence Zda(const std::vector<std::string_view>& f, NmeaDate* date) {
  int64_t tod;
  int dd, mm, yyyy;
  int64_t midnight;
  if (f.size() < 5 || !TimeOfDay(f[1], &tod) || f[2].size() != 2 || f[3].size() != 2 ||
      f[4].size() != 4 || !Digits(f[2], 0, 2, &dd) || !Digits(f[3], 0, 2, &mm) ||
      !Digits(f[4], 0, 4, &yyyy) || !DateSeconds(yyyy, mm, dd, &midnight))
    return Sentence::kBad;
  *date = NmeaDate{true, midnight, tod};
  return Sentence::kIgnored;
}

// GGA: time, latitude, N/S, longitude, E/W, fix quality, ... The date is the last RMC's or
// ZDA's, a day later when the time of day has passed midnight since then.
Sentence Gga(const std::vector<std::string_view>& f, const NmeaDate& date, TrackPoint* p) {
  int64_t tod;
  if (f.size() < 7 || !TimeOfDay(f[1], &tod)) return Sentence::kBad;
  if (f[6].empty() || f[6] == "0") return Sentence::kNoFix;
  if (!Angle(f[2], f[3], 2, &p->latitude) || !Angle(f[4], f[5], 3, &p->longitude))
    return Sentence::kBad;
  if (!date.known) return Sentence::kNoFix;
  int64_t midnight = date.midnight;
  if (tod + 12 * 3600 * kTicksPerSecond < date.time_of_day) midnight += 86400;
  p->ticks = midnight * kTicksPerSecond + tod;
  return Sentence::kPoint;
}

}  // namespace

int64_t FractionTicks(std::string_view digits) {
  double x = 0, scale = 0.1;
  for (size_t k = 0; k < digits.size() && k < 12; ++k, scale *= 0.1) x += (digits[k] - '0') * scale;
  return static_cast<int64_t>(std::llround(x * kTicksPerSecond));
}

bool ParseNmeaTrack(std::string_view text, GpsTrack* track, std::string* why) {
  (void)why;
  NmeaDate date;
  std::vector<std::string_view> f;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    if (line.empty()) continue;
    if (!SentenceFields(line, &f) || f[0].size() < 5) {
      ++track->bad_sentences;
      continue;
    }
    const std::string_view type = f[0].substr(f[0].size() - 3);
    TrackPoint p{};
    Sentence s = Sentence::kIgnored;
    if (type == "RMC") s = Rmc(f, &date, &p);
    else if (type == "ZDA") s = Zda(f, &date);
    else if (type == "GGA") s = Gga(f, date, &p);
    if (s == Sentence::kBad) ++track->bad_sentences;
    else if (s == Sentence::kNoFix) ++track->skipped;
    else if (s == Sentence::kPoint) track->points.push_back(p);
  }
  return true;
}

bool ParseIsoTime(std::string_view s, int64_t* ticks) {
  int y, mo, d, h, mi, sec;
  if (s.size() < 19 || !Digits(s, 0, 4, &y) || s[4] != '-' || !Digits(s, 5, 2, &mo) ||
      s[7] != '-' || !Digits(s, 8, 2, &d) || (s[10] != 'T' && s[10] != ' ') ||
      !Digits(s, 11, 2, &h) || s[13] != ':' || !Digits(s, 14, 2, &mi) || s[16] != ':' ||
      !Digits(s, 17, 2, &sec) || h > 23 || mi > 59 || sec > 60)
    return false;
  int64_t midnight;
  if (!DateSeconds(y, mo, d, &midnight)) return false;
  size_t k = 19;
  int64_t frac = 0;
  if (k < s.size() && s[k] == '.') {
    const size_t from = ++k;
    while (k < s.size() && s[k] >= '0' && s[k] <= '9') ++k;
    if (k == from) return false;
    frac = FractionTicks(s.substr(from, k - from));
  }
  int64_t zone = 0;  // seconds east of UTC
  std::string_view z = s.substr(k);
  int zh, zm;
  if (z.size() == 6 && (z[0] == '+' || z[0] == '-') && Digits(z, 1, 2, &zh) && z[3] == ':' &&
      Digits(z, 4, 2, &zm))
    zone = (z[0] == '-' ? -1 : 1) * (zh * 3600 + zm * 60);
  else if (!(z.empty() || z == "Z"))
    return false;
  *ticks = (midnight + h * 3600 + mi * 60 + sec - zone) * kTicksPerSecond + frac;
  return true;
}

bool GpsTrack::PositionAt(int64_t ticks, int64_t max_gap_ticks, double* latitude,
                          double* longitude) const {
  auto after = std::upper_bound(points.begin(), points.end(), ticks,
                                [](int64_t t, const TrackPoint& p) { return t < p.ticks; });
  if (after == points.begin()) return false;
  const TrackPoint& a = *(after - 1);
  if (a.ticks == ticks) {
    *latitude = a.latitude;
    *longitude = a.longitude;
    return true;
  }
  if (after == points.end() || after->ticks - a.ticks > max_gap_ticks) return false;
  const TrackPoint& b = *after;
  const double f = static_cast<double>(ticks - a.ticks) / static_cast<double>(b.ticks - a.ticks);
  double dlon = b.longitude - a.longitude;
  if (dlon > 180) dlon -= 360;  // the short way across the antimeridian
  else if (dlon < -180) dlon += 360;
  double lon = a.longitude + f * dlon;
  if (lon > 180) lon -= 360;
  else if (lon < -180) lon += 360;
  *latitude = a.latitude + f * (b.latitude - a.latitude);
  *longitude = lon;
  return true;
}

bool LoadGpsTrack(const std::string& path, GpsTrack* track, std::string* why) {
  *track = GpsTrack{};
  platform::File file;
  const int64_t size = file.OpenRead(path) ? file.Size() : -1;
  std::string text;
  if (size >= 0) {
    text.resize(static_cast<size_t>(size));
    if (file.ReadAt(0, text.data(), text.size()) != size) text = std::string();
  }
  if (size < 0 || text.size() != static_cast<size_t>(size)) {
    *why = path + ": " + platform::ErrorText(file.last_error());
    return false;
  }
  size_t first = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (first < text.size() && std::isspace(static_cast<unsigned char>(text[first]))) ++first;
  bool ok;
  if (first < text.size() && text[first] == '<') {
    ok = ParseGpxTrack(text, track, why);
  } else if (first < text.size() && text[first] == '$') {
    ok = ParseNmeaTrack(text, track, why);
  } else {
    ok = false;
    *why = "line 1: neither a GPX file nor an NMEA 0183 log";
  }
  text = std::string();
  if (ok && track->points.empty()) {
    ok = false;
    *why = "holds no track point with a date and time";
  }
  if (!ok) {
    *why = path + ": " + *why;
    return false;
  }
  // Time order, one point per instant (an RMC and a GGA of the same fix give the same one).
  std::stable_sort(track->points.begin(), track->points.end(),
                   [](const TrackPoint& a, const TrackPoint& b) { return a.ticks < b.ticks; });
  track->points.erase(std::unique(track->points.begin(), track->points.end(),
                                  [](const TrackPoint& a, const TrackPoint& b) {
                                    return a.ticks == b.ticks;
                                  }),
                      track->points.end());
  track->points.shrink_to_fit();
  return true;
}

}  // namespace zt
