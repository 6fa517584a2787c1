// zt615 info: what a logged ping file holds, in words and units.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cmdline/json_text.h"
#include "logfile/logfile.h"
#include "platform/file.h"
#include "platform/le_bytes.h"
#include "platform/short_number.h"
#include "platform/time.h"

namespace zt::cli {

const char kInfoHelp[] =
    "usage: zt615 info FILE.BIN [--json]\n"
    "\n"
    "Shows the file header of a logged ping file (the settings of the timer that made the\n"
    "recording) in words with units, the record size, the number of pings, bytes after the\n"
    "last whole ping, the first and last ping time in UTC and local time, and the duration.\n"
    "\n"
    "  --json   the same as one JSON object on stdout, for scripts\n"
    "\n"
    "Exit status: 0 done, 1 the file was refused or could not be read, 2 usage error.\n";

namespace {

std::string Stamp(const platform::CivilTime& c, int ms) {
  return platform::CivilText(c, "YYYY-MM-DD hh:mm:ss.fff", ms);
}

std::string Iso(const platform::CivilTime& c, int ms) {
  return platform::CivilText(c, "YYYY-MM-DDThh:mm:ss.fff", ms) + "Z";
}

std::string Duration(double s) {
  long long whole = static_cast<long long>(s);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%lldd %02lld:%02lld:%06.3f", whole / 86400, whole / 3600 % 24,
                whole / 60 % 60, s - static_cast<double>(whole - whole % 60));
  return buf;
}

std::string Printable(const std::string& s) {
  std::string out;
  for (unsigned char c : s) out += (c < 0x20 || c >= 0x7F) ? '?' : static_cast<char>(c);
  return out;
}

struct PingTime {
  bool present = false;
  int32_t ping_number = 0;
  uint32_t utc = 0;
  uint16_t fraction = 0;
  double seconds() const { return utc + fraction / 65536.0; }
};

// False with what happened in *why: the system's text, or where the file ended.
bool ReadPingTime(platform::File& f, const LoggedFileInfo& info, uint32_t i, PingTime* t,
                  std::string* why) {
  uint8_t rec[kRecPingInSeries];
  const uint64_t at = PingOffset(info.record_size, i);
  const int64_t got = f.ReadAt(at, rec, sizeof rec);
  if (got < 0) {
    *why = "reading ping " + std::to_string(i) + ": " + platform::ErrorText(f.last_error());
    return false;
  }
  if (got != static_cast<int64_t>(sizeof rec)) {
    // The file shrank since its size was read: no error code to show.
    *why = "reading ping " + std::to_string(i) + ": the file ended after " +
           std::to_string(at + static_cast<uint64_t>(got)) + " bytes";
    return false;
  }
  t->present = true;
  t->ping_number = LoadI32(rec + kRecPingNumber);
  t->utc = LoadU32(rec + kRecTimeUtc);
  t->fraction = LoadU16(rec + kRecTimeFraction);
  return true;
}

// One line of the text and one member of the JSON object. The JSON holds the file's members
// on its first line, the header's in "header", and the pings and the duration on a line each.
enum class Group { kFile, kHeader, kOwnLine };

struct Field {
  const char* label;  // the text line's label; nullptr: in the JSON only
  const char* key;    // the JSON member's name; nullptr: in the text only
  Group group;
  std::string text;  // with its unit
  std::string json;
};

// A value written alike in both, the text with its unit after it.
Field Same(const char* label, const char* key, Group group, const std::string& value,
           const char* unit = nullptr) {
  return {label, key, group, unit ? value + " " + unit : value, value};
}

// A header float: the text shows what is there ("nan", "inf"), the JSON null where it is not a
// number.
Field Real(const char* label, const char* key, Group group, float value, const char* unit) {
  return {label, key, group, ShortNumber(value) + " " + unit, JsonNumber(value)};
}

std::string PingText(const PingTime& t) {
  if (!t.present) return "none";
  const int ms = FractionMilliseconds(t.fraction);
  return Stamp(platform::UtcCivil(t.utc), ms) + " UTC, " + Stamp(platform::LocalCivil(t.utc), ms) +
         " local (ping " + std::to_string(t.ping_number) + ")";
}

std::string PingJson(const PingTime& t) {
  if (!t.present) return "null";
  const int ms = FractionMilliseconds(t.fraction);
  return "{\"ping_number\": " + std::to_string(t.ping_number) +
         ", \"time_utc\": " + std::to_string(t.utc) +
         ", \"time_fraction\": " + std::to_string(t.fraction) + ", \"utc\": \"" +
         Iso(platform::UtcCivil(t.utc), ms) + "\", \"local\": \"" +
         Stamp(platform::LocalCivil(t.utc), ms) + "\"}";
}

struct Facts {
  std::string path;
  LoggedFileInfo info;
  bool logged = false;
  PingTime first, last;
};

// The file's fields in the text's order; the JSON keeps that order within each group.
std::vector<Field> Fields(const Facts& f) {
  using std::to_string;
  const TIMERSETTINGS& h = f.info.header;
  const std::string name(h.timer_name, strnlen(h.timer_name, sizeof h.timer_name));
  const bool pings = f.info.ping_count > 0;
  const double duration = pings ? f.last.seconds() - f.first.seconds() : 0.0;
  char id[16];
  std::snprintf(id, sizeof id, "%06d", h.device_id);
  const Group F = Group::kFile, H = Group::kHeader, L = Group::kOwnLine;
  return {
      {"File", "file", F, f.path, JsonString(f.path)},
      Same("Size", "file_size", F, to_string(f.info.file_size), "bytes"),
      {"Logged ping file", "is_logged_file", F,
       f.logged ? "yes" : "no (header size is not 128 or the first ping is not \"DATA\")",
       f.logged ? "true" : "false"},
      // The JSON names the record size before the samples, the text after them.
      Same(nullptr, "record_size", F, to_string(f.info.record_size)),
      Same(nullptr, "record_size", H, to_string(h.record_size)),
      {"Timer name", "timer_name", H, Printable(name), JsonString(name)},
      {"Device ID", "device_id", H, id, to_string(h.device_id)},
      {"Range", "range_mm", H, ShortNumber(h.range_mm / 1000.0) + " m", to_string(h.range_mm)},
      Same("Samples per ping", "samples_per_ping", F, to_string(f.info.samples)),
      Same("Record size", nullptr, F, to_string(f.info.record_size), "bytes"),
      Same("Pings", "ping_count", F, to_string(f.info.ping_count)),
      Same("Trailing bytes", "trailing_bytes", F, to_string(f.info.trailing_bytes)),
      Same("Pulse length", "tx_length_us", H, to_string(h.tx_length_us), "us"),
      Real("Ping period", "period_s", H, h.period_s, "s"),
      Same("Pings per series", "ping_count", H, to_string(h.ping_count)),
      Same("Interval between series", "interval_s", H, to_string(h.interval_s), "s"),
      Same("Threshold", "threshold_pct", H, to_string(h.threshold_pct), "%"),
      Real("Deadzone", "deadzone_m", H, h.deadzone_m, "m"),
      {"Gain", "gain_db", H, (h.gain_db > 0 ? "+" : "") + ShortNumber(h.gain_db) + " dB",
       JsonNumber(h.gain_db)},
      Real("TVG slope", "tvg_slope", H, h.tvg_slope, "dB/km"),
      Real("Sound speed", "sound_speed", H, h.sound_speed, "m/s"),
      Real("Offset", "offset_m", H, h.offset_m, "m"),
      {"File size limit", "file_size_limit", H,
       to_string(h.file_size_limit) + " bytes (" + ShortNumber(h.file_size_limit / 1048576.0) +
           " MB)",
       to_string(h.file_size_limit)},
      Same(nullptr, "start_time", H, to_string(static_cast<uint32_t>(h.start_time))),
      Same(nullptr, "stop_time", H, to_string(static_cast<uint32_t>(h.stop_time))),
      Same(nullptr, "output_flags", H, to_string(h.output_flags)),
      {"First ping", "first_ping", L, PingText(f.first), PingJson(f.first)},
      {"Last ping", "last_ping", L, PingText(f.last), PingJson(f.last)},
      // Milliseconds, as the times above: the 1/65536 s fractions would print 14 digits.
      {pings ? "Duration" : nullptr, "duration_s", L,
       Duration(duration) + " (" + FixedNumber(duration, 3) + " s)", JsonNumber(duration)},
  };
}

void PrintText(const std::vector<Field>& fields) {
  for (const Field& f : fields)
    if (f.label) std::printf("%-26s%s\n", (std::string(f.label) + ":").c_str(), f.text.c_str());
}

void PrintJson(const std::vector<Field>& fields) {
  std::string out = "{";
  auto members = [&](Group group, const char* first, const char* next) {
    const char* separator = first;
    for (const Field& f : fields) {
      if (!f.key || f.group != group) continue;
      out += separator + ("\"" + std::string(f.key) + "\": ") + f.json;
      separator = next;
    }
  };
  members(Group::kFile, "", ", ");
  out += ",\n \"header\": {";
  members(Group::kHeader, "", ", ");
  out += "}";
  members(Group::kOwnLine, ",\n ", ",\n ");
  std::fputs((out + "}\n").c_str(), stdout);
}

}  // namespace

int RunInfo(const Call& call) {
  const ParsedArgs& a = call.args;
  if (a.positional.size() != 1) return call.Usage("needs one FILE.BIN");
  Facts facts;
  facts.path = a.positional[0];
  const std::string& path = facts.path;
  const LoggedFileInfo& info = facts.info;

  platform::File f;
  std::string why;
  if (!OpenLoggedFile(path, &f, &facts.info, &why)) return Fail(path + ": " + why);
  facts.logged = IsLoggedFile(f);
  if (info.ping_count > 0 && (!ReadPingTime(f, info, 0, &facts.first, &why) ||
                              !ReadPingTime(f, info, info.ping_count - 1, &facts.last, &why)))
    return Fail(path + ": " + why);
  const std::vector<Field> fields = Fields(facts);
  if (a.Has("json"))
    PrintJson(fields);
  else
    PrintText(fields);
  return kExitOk;
}

}  // namespace zt::cli
