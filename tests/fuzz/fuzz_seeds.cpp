// Writes the fuzz targets' starting corpora, made here rather than kept in the repository:
// small recordings from the simulator's ping synthesis (realistic echoes, so that the
// detection finds bottoms), logger replies, a timer file and forms.
//
// usage: fuzz_seeds OUT_DIR    (writes OUT_DIR/<target>/<seed>)
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "device/base64.h"
#include "device/protocol.h"
#include "platform/le_bytes.h"
#include "timers/timer_file.h"
#include "timers/timer_values.h"
#include "tools/logger_sim/ping_synth.h"

using namespace zt;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

namespace {

fs::path out_dir;

void Seed(const std::string& target, const std::string& name, const Bytes& bytes) {
  fs::create_directories(out_dir / target);
  std::ofstream f(out_dir / target / name, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!f) {
    std::fprintf(stderr, "fuzz_seeds: could not write %s/%s\n", target.c_str(), name.c_str());
    std::exit(1);
  }
}

Bytes Recording(sim::RecordSettings s) {
  const fs::path path = out_dir / "recording.tmp";
  const std::string error = sim::WriteLoggedFile(path.string(), s);
  if (!error.empty()) {
    std::fprintf(stderr, "fuzz_seeds: %s\n", error.c_str());
    std::exit(1);
  }
  std::ifstream in(path, std::ios::binary);
  Bytes b{std::istreambuf_iterator<char>(in), {}};
  fs::remove(path);
  return b;
}

sim::RecordSettings Short(int32_t range_mm, uint64_t pings) {
  sim::RecordSettings s;
  s.range_mm = range_mm;
  s.pings = pings;
  s.period_s = 0.5f;
  s.pings_per_series = 3;
  s.interval_s = 4;
  return s;
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes View(uint8_t width, uint8_t height, uint8_t flags, uint8_t gamma, float altitude,
           int32_t begin, int32_t end) {
  Bytes v(16, 0);
  v[0] = width - 1, v[1] = height - 1, v[2] = flags, v[3] = gamma;
  StoreF32(v.data() + 4, altitude);
  StoreI32(v.data() + 8, begin);
  StoreI32(v.data() + 12, end);
  return v;
}

// A reply line as the logger sends it: "CMND", the code, the words; Base64 and CR.
std::string Reply(int32_t code, std::vector<uint32_t> words) {
  Bytes frame(8 + 4 * words.size());
  std::copy_n("CMND", 4, frame.begin());
  StoreI32(frame.data() + 4, code);
  for (size_t i = 0; i < words.size(); ++i) StoreU32(frame.data() + 8 + 4 * i, words[i]);
  std::string text(Base64EncodedLength(frame.size()) + 1, '\0');
  base64_encode(frame.data(), frame.size(), text.data());
  text.back() = '\r';
  return text;
}

// The port's script: (delay in 10 ms, length, bytes) per chunk.
void Chunk(Bytes* script, uint8_t delay, const std::string& bytes) {
  script->push_back(delay);
  script->push_back(static_cast<uint8_t>(bytes.size()));
  script->insert(script->end(), bytes.begin(), bytes.end());
}

void LoggedFileSeeds() {
  Seed("fuzz_logged_file", "1m_6_pings", Recording(Short(1000, 6)));
  sim::RecordSettings trailing = Short(1500, 3);
  trailing.trailing_bytes = 100;
  Seed("fuzz_logged_file", "1m5_trailing", Recording(trailing));
  sim::RecordSettings odd = Short(2000, 2);
  odd.threshold_pct = 0;
  odd.offset_m = 0.5f;
  odd.sound_speed = 1450.0f;
  Seed("fuzz_logged_file", "2m_threshold_0", Recording(odd));
  Seed("fuzz_logged_file", "10m_1_ping", Recording(Short(10000, 1)));
  Bytes corrupt = Recording(Short(1000, 3));
  StoreI32(corrupt.data() + 128 + 416 + 12, 9999);  // ping 1's sample count
  Seed("fuzz_logged_file", "1m_corrupt_ping", corrupt);
  Seed("fuzz_logged_file", "header_only", Recording(Short(3000, 0)));
}

void EchogramSeeds() {
  const uint32_t t0 = Short(1000, 1).start_utc;
  const Bytes file = Recording(Short(1000, 12));
  Seed("fuzz_echogram", "whole_file", Cat(View(64, 32, 0, 0, 0.0f, 0, 0), file));
  Seed("fuzz_echogram", "window_dragged", Cat(View(40, 48, 3, 2, 0.5f, 60, 5), file));
  Seed("fuzz_echogram", "begin_end",
       Cat(View(32, 32, 0, 0, 2.0f, static_cast<int32_t>(t0 + 2), static_cast<int32_t>(t0 + 8)), file));
  Seed("fuzz_echogram", "5m_yellow", Cat(View(16, 64, 1, 4, 0.0f, 0, 0), Recording(Short(5000, 3))));
}

// A track: GPX (first byte odd) or NMEA (even), with the text after it.
void TrackSeeds() {
  auto track = [](uint8_t kind, const std::string& text) {
    Bytes b = {kind};
    b.insert(b.end(), text.begin(), text.end());
    return b;
  };
  Seed("fuzz_track", "gpx", track(1,
       "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"seed\"><trk><trkseg>\n"
       "<trkpt lat=\"59.9\" lon=\"10.7\"><time>2026-06-01T00:00:00Z</time></trkpt>\n"
       "<trkpt lat=\"59.91\" lon=\"10.71\"><time>2026-06-01T00:00:05.5Z</time></trkpt>\n"
       "</trkseg></trk></gpx>\n"));
  Seed("fuzz_track", "nmea", track(0,
       "$GPRMC,235959.00,A,5954.000,N,01042.000,E,1.0,90.0,310526,,,A*6E\r\n"
       "$GPGGA,000001.00,5954.010,N,01042.010,E,1,08,0.9,1.0,M,40.0,M,,*63\r\n"
       "$GPZDA,000002.00,01,06,2026,00,00*65\r\n"));
}

void LinkSeeds() {
  sim::RecordSettings first = Short(1000, 4);
  sim::RecordSettings second = first;
  second.pings = 3;
  second.start_utc = first.start_utc + 5;
  second.timer_start_utc = first.start_utc;
  second.first_ping_number = 5;
  const Bytes a = Recording(first), b = Recording(second);
  for (uint8_t beside : {0, 1}) {
    Bytes s = {beside, static_cast<uint8_t>(a.size()), static_cast<uint8_t>(a.size() >> 8)};
    Seed("fuzz_link", beside ? "consecutive_beside" : "consecutive", Cat(Cat(s, a), b));
  }
  const Bytes other = Recording(Short(1500, 2));
  Bytes s = {0, static_cast<uint8_t>(a.size()), static_cast<uint8_t>(a.size() >> 8)};
  Seed("fuzz_link", "other_range", Cat(Cat(s, a), other));
}

void DeviceSeeds() {
  const std::vector<std::vector<uint32_t>> words = {{1780272000u}, {0x3FC00000u, 0xC0100000u},
                                                    {0x414C0000u}, {0x41480000u},
                                                    {1, 2, 3},     {123456}};
  const int32_t codes[] = {GET_CLOCK, GET_TILT, GET_TEMPERATURE, GET_BATTERY, GET_SD_CARD,
                           GET_DEVICE_ID};
  Bytes all = {0xFF};
  for (uint8_t k = 0; k < 6; ++k) {
    Bytes one = {k};
    Chunk(&one, 0, Reply(codes[k], words[k]));
    Seed("fuzz_device_reply", std::string("reply_") + CodeName(codes[k]), one);
    Chunk(&all, 1, Reply(codes[k], words[k]));
  }
  Seed("fuzz_device_reply", "device_info", all);
  const std::string clock = Reply(GET_CLOCK, {5});
  Bytes split = {0};
  Chunk(&split, 3, clock.substr(0, 7));
  Chunk(&split, 20, clock.substr(7));
  Seed("fuzz_device_reply", "reply_in_two_chunks", split);
  Bytes wrong = {1};
  Chunk(&wrong, 0, Reply(GET_CLOCK, {1}));
  Seed("fuzz_device_reply", "reply_to_another_query", wrong);
}

void TimerSeeds() {
  TIMERSETTINGS dflt = DefaultTimerSettings();
  TIMERSETTINGS added = NewAddedTimer(dflt, 1780272000);
  SetTimerName(&added, "Dawn");
  Bytes file(kTimerFileSize, 0);
  dflt.timer_index = 0, added.timer_index = 1;
  EncodeTimerSettings(dflt, file.data());
  EncodeTimerSettings(added, file.data() + kTimerRecordSize);
  Seed("fuzz_timers", "timers_dat", file);
  // A form: twelve list indices, the check boxes, start and stop picker times, then the
  // interval, TVG slope, sound speed and name lines.
  // The picker times are 2026-06-01 06:00:00 and 07:30:00 (year 1601 + 425).
  Bytes form = {3, 1, 2, 0, 1, 2, 0, 4, 1, 2, 1, 0, 0x0F,
                0xA9, 0x01, 5, 0, 6, 0, 0,  0xA9, 0x01, 5, 0, 7, 30, 0};
  const std::string texts = "15\n280.6\n1500.00\nDawn";
  form.insert(form.end(), texts.begin(), texts.end());
  Seed("fuzz_timers", "form", form);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds OUT_DIR\n");
    return 2;
  }
  out_dir = argv[1];
  fs::create_directories(out_dir);
  LoggedFileSeeds();
  EchogramSeeds();
  TrackSeeds();
  LinkSeeds();
  DeviceSeeds();
  TimerSeeds();
  return 0;
}
