// zt615 info: what a logged ping file holds, in words and units.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

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

}  // namespace

int RunInfo(const Call& call) {
  const ParsedArgs& a = call.args;
  if (a.positional.size() != 1) return call.Usage("needs one FILE.BIN");
  const std::string& path = a.positional[0];

  platform::File f;
  LoggedFileInfo info;
  std::string why;
  if (!OpenLoggedFile(path, &f, &info, &why)) return Fail(path + ": " + why);
  const bool logged = IsLoggedFile(f);
  PingTime first, last;
  if (info.ping_count > 0 && (!ReadPingTime(f, info, 0, &first, &why) ||
                              !ReadPingTime(f, info, info.ping_count - 1, &last, &why)))
    return Fail(path + ": " + why);

  const TIMERSETTINGS& h = info.header;
  std::string name(h.timer_name, strnlen(h.timer_name, sizeof h.timer_name));
  const double duration = info.ping_count > 0 ? last.seconds() - first.seconds() : 0.0;

  if (a.Has("json")) {
    auto ping = [](const PingTime& t) {
      if (!t.present) return std::string("null");
      int ms = FractionMilliseconds(t.fraction);
      return "{\"ping_number\": " + std::to_string(t.ping_number) +
             ", \"time_utc\": " + std::to_string(t.utc) +
             ", \"time_fraction\": " + std::to_string(t.fraction) + ", \"utc\": \"" +
             Iso(platform::UtcCivil(t.utc), ms) + "\", \"local\": \"" +
             Stamp(platform::LocalCivil(t.utc), ms) + "\"}";
    };
    std::printf(
        "{\"file\": %s, \"file_size\": %llu, \"is_logged_file\": %s, \"record_size\": %u, "
        "\"samples_per_ping\": %d, \"ping_count\": %u, \"trailing_bytes\": %llu,\n"
        " \"header\": {\"record_size\": %d, \"timer_name\": %s, \"device_id\": %d, "
        "\"range_mm\": %d, \"tx_length_us\": %d, \"period_s\": %s, \"ping_count\": %d, "
        "\"interval_s\": %d, \"threshold_pct\": %d, \"deadzone_m\": %s, \"gain_db\": %s, "
        "\"tvg_slope\": %s, \"sound_speed\": %s, \"offset_m\": %s, \"file_size_limit\": %u, "
        "\"start_time\": %u, \"stop_time\": %u, \"output_flags\": %u},\n"
        " \"first_ping\": %s,\n \"last_ping\": %s,\n \"duration_s\": %s}\n",
        JsonString(path).c_str(), static_cast<unsigned long long>(info.file_size),
        logged ? "true" : "false", info.record_size, info.samples, info.ping_count,
        static_cast<unsigned long long>(info.trailing_bytes), h.record_size,
        JsonString(name).c_str(), h.device_id, h.range_mm, h.tx_length_us,
        ShortNumber(h.period_s).c_str(), h.ping_count, h.interval_s, h.threshold_pct,
        ShortNumber(h.deadzone_m).c_str(), ShortNumber(h.gain_db).c_str(), ShortNumber(h.tvg_slope).c_str(),
        ShortNumber(h.sound_speed).c_str(), ShortNumber(h.offset_m).c_str(), h.file_size_limit,
        static_cast<uint32_t>(h.start_time), static_cast<uint32_t>(h.stop_time), h.output_flags,
        ping(first).c_str(), ping(last).c_str(), ShortNumber(duration).c_str());
    return kExitOk;
  }

  std::printf("File:                     %s\n", path.c_str());
  std::printf("Size:                     %llu bytes\n",
              static_cast<unsigned long long>(info.file_size));
  std::printf("Logged ping file:         %s\n",
              logged ? "yes" : "no (header size is not 128 or the first ping is not \"DATA\")");
  std::printf("Timer name:               %s\n", Printable(name).c_str());
  std::printf("Device ID:                %06d\n", h.device_id);
  std::printf("Range:                    %s m\n", ShortNumber(h.range_mm / 1000.0).c_str());
  std::printf("Samples per ping:         %d\n", info.samples);
  std::printf("Record size:              %u bytes\n", info.record_size);
  std::printf("Pings:                    %u\n", info.ping_count);
  std::printf("Trailing bytes:           %llu\n",
              static_cast<unsigned long long>(info.trailing_bytes));
  std::printf("Pulse length:             %d us\n", h.tx_length_us);
  std::printf("Ping period:              %s s\n", ShortNumber(h.period_s).c_str());
  std::printf("Pings per series:         %d\n", h.ping_count);
  std::printf("Interval between series:  %d s\n", h.interval_s);
  std::printf("Threshold:                %d %%\n", h.threshold_pct);
  std::printf("Deadzone:                 %s m\n", ShortNumber(h.deadzone_m).c_str());
  std::printf("Gain:                     %s%s dB\n", h.gain_db > 0 ? "+" : "",
              ShortNumber(h.gain_db).c_str());
  std::printf("TVG slope:                %s dB/km\n", ShortNumber(h.tvg_slope).c_str());
  std::printf("Sound speed:              %s m/s\n", ShortNumber(h.sound_speed).c_str());
  std::printf("Offset:                   %s m\n", ShortNumber(h.offset_m).c_str());
  std::printf("File size limit:          %u bytes (%s MB)\n", h.file_size_limit,
              ShortNumber(h.file_size_limit / 1048576.0).c_str());
  if (info.ping_count == 0) {
    std::printf("First ping:               none\nLast ping:                none\n");
    return kExitOk;
  }
  for (const PingTime* t : {&first, &last}) {
    int ms = FractionMilliseconds(t->fraction);
    std::printf("%s %s UTC, %s local (ping %d)\n",
                t == &first ? "First ping:              " : "Last ping:               ",
                Stamp(platform::UtcCivil(t->utc), ms).c_str(),
                Stamp(platform::LocalCivil(t->utc), ms).c_str(), t->ping_number);
  }
  // Milliseconds, as the times above: the 1/65536 s fractions would print 14 digits.
  std::printf("Duration:                 %s (%s s)\n", Duration(duration).c_str(),
              FixedNumber(duration, 3).c_str());
  return kExitOk;
}

}  // namespace zt::cli
