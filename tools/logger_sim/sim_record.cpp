// zt615_logger_sim record: writes a logged ping file as the logger would.
#include <cstdio>
#include <string>

#include "cmdline/cmdline.h"
#include "cmdline/progress_bar.h"
#include "logfile/logfile.h"
#include "platform/time.h"
#include "tools/logger_sim/ping_synth.h"
#include "tools/logger_sim/sim_commands.h"

namespace zt::sim {

using cmdline::ParseFloat;
using cmdline::ParseInt;

const char kRecordHelp[] =
    "usage: zt615_logger_sim record OUT.BIN [options]\n"
    "\n"
    "Writes a logged ping file as the ZT615 does: the timer record as file header, then one\n"
    "record per ping with a realistic echo envelope (transmit ring-down, noise, a bottom echo\n"
    "at a slowly drifting altitude and its second return, now and then a fish or an\n"
    "interference spike) and a footer with temperature, battery, the device's own altitude,\n"
    "pitch and roll. The same options and seed always give the same file. OUT.BIN is\n"
    "written under a temporary name and renamed when complete; \"-\" is standard output, and\n"
    "a device or named pipe is written directly.\n"
    "\n"
    "  --range M             range in metres: 1 1.5 2 3 5 10 15 20 30 40 50 60 70 80 90 100\n"
    "                        (default 10)\n"
    "  --pings N             number of pings (default 1000)\n"
    "  --size BYTES          instead of --pings: as many pings as fit in BYTES (K, M, G allowed)\n"
    "  --start TIME          first ping, seconds since 1970 or YYYY-MM-DDTHH:MM:SS[.fff]Z\n"
    "                        (default 2026-06-01T00:00:00Z)\n"
    "  --timer-start TIME    the timer's start in the file header (default: the first ping);\n"
    "                        give the same value to the files of one recording so that they\n"
    "                        can be linked\n"
    "  --period S            ping period within a series (default 0.2)\n"
    "  --series N            pings per series (default 10)\n"
    "  --interval S          series start to series start, seconds (default 60; a series\n"
    "                        longer than that is followed at once by the next)\n"
    "  --altitude M          bottom altitude at the start (default 60 % of the range)\n"
    "  --pulse-length US     transmit pulse length, microseconds (default 50)\n"
    "  --threshold PCT       detection threshold in the header (default 10)\n"
    "  --deadzone M          deadzone in the header (default 0.3)\n"
    "  --sound-speed MPS     sound speed in the header and of the echoes (default 1500)\n"
    "  --offset M            offset in the header (default 0)\n"
    "  --device-id N         device serial number (default 123456)\n"
    "  --first-ping N        ping_number of the first ping (default 1)\n"
    "  --name TEXT           timer name, up to 31 characters (default \"Default timer\")\n"
    "  --trailing BYTES      append a cut-off partial record of BYTES bytes\n"
    "  --seed N              random seed (default 1)\n"
    "  --quiet               no progress bar\n";

namespace {

bool ParseSize(std::string s, unsigned long long* out) {
  unsigned long long mult = 1;
  if (!s.empty()) {
    char c = s.back();
    if (c == 'K' || c == 'k') mult = 1ULL << 10;
    if (c == 'M' || c == 'm') mult = 1ULL << 20;
    if (c == 'G' || c == 'g') mult = 1ULL << 30;
    if (mult != 1) s.pop_back();
  }
  long long v;
  if (!ParseInt(s, &v) || v < 0) return false;
  *out = static_cast<unsigned long long>(v) * mult;
  return true;
}

bool ParseTime(const std::string& s, uint32_t* out) {
  long long v;
  if (ParseInt(s, &v)) {
    if (v < 0 || v > 0xFFFFFFFFLL) return false;
    *out = static_cast<uint32_t>(v);
    return true;
  }
  platform::CivilTime c;
  if (std::sscanf(s.c_str(), "%d-%d-%dT%d:%d:%d", &c.year, &c.month, &c.day, &c.hour, &c.minute,
                  &c.second) != 6 || s.back() != 'Z')
    return false;
  long long t = platform::SecondsFromCivil(c);
  if (t < 0 || t > 0xFFFFFFFFLL) return false;
  *out = static_cast<uint32_t>(t);
  return true;
}

}  // namespace

int RunRecord(const cmdline::Call& call) {
  const cmdline::ParsedArgs& a = call.args;
  if (a.positional.size() != 1) return call.Usage("needs one OUT.BIN");

  RecordSettings s;
  float f;
  long long v;
  unsigned long long u;
  if (a.Has("range")) {
    if (!ParseFloat(a.Get("range"), &f)) return call.Usage("--range needs metres");
    s.range_mm = static_cast<int32_t>(f * 1000.0f);
    if (SamplesForRange(s.range_mm) == 0)
      return call.Usage("--range must be one of the logger's ranges");
  }
  auto int_opt = [&](const char* name, int32_t* field, long long lo, long long hi) {
    if (!a.Has(name)) return true;
    if (!ParseInt(a.Get(name), &v) || v < lo || v > hi) return false;
    *field = static_cast<int32_t>(v);
    return true;
  };
  auto float_opt = [&](const char* name, float* field) {
    if (!a.Has(name)) return true;
    if (!ParseFloat(a.Get(name), &f)) return false;
    *field = f;
    return true;
  };
  if (!int_opt("series", &s.pings_per_series, 1, 1000000) ||
      !int_opt("interval", &s.interval_s, 0, 100000000) ||
      !int_opt("pulse-length", &s.tx_length_us, 1, 100000) ||
      !int_opt("threshold", &s.threshold_pct, 0, 100) ||
      !int_opt("device-id", &s.device_id, 0, 999999999) ||
      !int_opt("first-ping", &s.first_ping_number, INT32_MIN, INT32_MAX))
    return call.Usage("a whole-number option is not a number or out of range");
  if (!float_opt("period", &s.period_s) || !float_opt("altitude", &s.altitude_m) ||
      !float_opt("deadzone", &s.deadzone_m) || !float_opt("sound-speed", &s.sound_speed) ||
      !float_opt("offset", &s.offset_m))
    return call.Usage("a number option is not a number");
  if (!(s.period_s > 0) || !(s.sound_speed > 0))
    return call.Usage("--period and --sound-speed must be above 0");
  if (a.Has("pings")) {
    if (!ParseSize(a.Get("pings"), &u)) return call.Usage("--pings needs a count");
    s.pings = u;
  }
  if (a.Has("size")) {
    if (!ParseSize(a.Get("size"), &u)) return call.Usage("--size needs bytes");
    uint32_t rs = RecordSizeForRange(s.range_mm);
    s.pings = u < kFileHeaderSize ? 0 : (u - kFileHeaderSize) / rs;
  }
  if (a.Has("trailing")) {
    if (!ParseSize(a.Get("trailing"), &u) || u >= RecordSizeForRange(s.range_mm))
      return call.Usage("--trailing must be less than one record");
    s.trailing_bytes = static_cast<uint32_t>(u);
  }
  if (a.Has("seed")) {
    if (!ParseSize(a.Get("seed"), &u)) return call.Usage("--seed needs a number");
    s.seed = u;
  }
  if (a.Has("start") && !ParseTime(a.Get("start"), &s.start_utc))
    return call.Usage("--start needs seconds since 1970 or YYYY-MM-DDTHH:MM:SSZ");
  if (a.Has("timer-start") && !ParseTime(a.Get("timer-start"), &s.timer_start_utc))
    return call.Usage("--timer-start needs seconds since 1970 or YYYY-MM-DDTHH:MM:SSZ");
  if (a.Has("name")) {
    s.timer_name = a.Get("name");
    if (s.timer_name.size() > 31) return call.Usage("--name is longer than 31 characters");
  }

  cmdline::ProgressBar bar("recording", !a.Has("quiet"));
  const uint32_t rs = RecordSizeForRange(s.range_mm);
  std::string err = WriteLoggedFile(a.positional[0], s, [&](uint64_t done, uint64_t total) {
    bar.Update(done, total, done * rs);
  });
  bar.Finish();
  if (!err.empty()) return call.Fail(err);
  return cmdline::kExitOk;
}

}  // namespace zt::sim
