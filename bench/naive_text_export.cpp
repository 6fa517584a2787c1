// Baseline for the text export benchmark: the same text as `zt615 export --format text`,
// formatted the plain way, with one printf per line and per sample. It shares the reading
// and the detection with the real export so that only the formatting differs.
#include <cstdio>
#include <vector>

#include "export/altitude.h"
#include "logfile/logfile.h"
#include "platform/le_bytes.h"
#include "platform/time.h"

using namespace zt;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zt_naive_text_export FILE.BIN OUT.LOG\n");
    return 2;
  }
  platform::File in;
  LoggedFileInfo info;
  std::string why;
  if (!OpenLoggedFile(argv[1], &in, &info, &why)) {
    std::fprintf(stderr, "%s\n", why.c_str());
    return 1;
  }
  FILE* out = std::fopen(argv[2], "wb");
  if (!out) return 1;
  const TIMERSETTINGS& h = info.header;
  std::vector<uint8_t> rec(info.record_size);
  std::vector<uint16_t> s(static_cast<size_t>(info.samples));
  const int bias = platform::StandardBiasMinutes();
  for (uint32_t i = 0; i < info.ping_count; ++i) {
    if (ReadPingSized(in, rec.data(), info.record_size, i) != info.record_size) return 1;
    int32_t n = LoadI32(rec.data() + kRecSampleCount);
    if (n < 0 || n > info.samples) return 1;
    ECHOFOOTER f = DecodeEchoFooter(rec.data() + 64 + 2 * n);
    for (int32_t j = 0; j < n; ++j) s[j] = LoadU16(rec.data() + 64 + 2 * j);
    float peak;
    float alt = FindAltitude(s.data(), n, h.threshold_pct, h.deadzone_m, h.offset_m,
                             h.sound_speed, h.tx_length_us, &peak);
    uint32_t t = LoadU32(rec.data() + kRecTimeUtc);
    int hs = FractionHundredths(LoadU16(rec.data() + kRecTimeFraction));
    platform::CivilTime l = platform::LocalCivil(t), u = platform::UtcCivil(t);
    std::fprintf(out, "#DeviceID %06d ZT615 USB/SDCard + Alfat Type\r\n", h.device_id);
    std::fprintf(out, "#TimeLocal %04d%02d%02d %02d:%02d:%02d.%02d\r\n", l.year, l.month, l.day,
                 l.hour, l.minute, l.second, hs);
    std::fprintf(out, "#TimeUTC   %04d%02d%02d %02d:%02d:%02d.%02d\r\n", u.year, u.month, u.day,
                 u.hour, u.minute, u.second, hs);
    std::fprintf(out, "#Ping   %i\r\n", f.ping_number);
    std::fprintf(out, "#Ping num in series  %i\r\n", LoadI32(rec.data() + kRecPingInSeries));
    std::fprintf(out, "#Altitude,m   %6.3f\r\n", alt);
    std::fprintf(out, "#Temperature,\xB0" "C %5.2f\r\n", f.temperature_c);
    std::fprintf(out, "#NSamples %d\r\n", f.sample_count);
    std::fprintf(out, "#Resolution,m %7.4f\r\n", h.sound_speed * 0.5 / 100000);
    std::fprintf(out, "#SoundSpeed,mps %7.2f\r\n", h.sound_speed);
    std::fprintf(out, "#---------------Parameters---------------\r\n");
    std::fprintf(out, "#Tx_Frequency,Hz 450000\r\n");
    std::fprintf(out, "#Range,m %6.1f\r\n", h.range_mm / 1000.0);
    std::fprintf(out, "#Pulse period,sec  %4.2f\r\n", h.period_s);
    std::fprintf(out, "#Pulses in series,num  %d\r\n", h.ping_count);
    std::fprintf(out, "#Interval between series,sec  %d\r\n", h.interval_s);
    std::fprintf(out, "#Threshold,%%   %d\r\n", h.threshold_pct);
    std::fprintf(out, "#Offset,m  %6.3f\r\n", h.offset_m);
    std::fprintf(out, "#Deadzone,m  %5.3f\r\n", h.deadzone_m);
    std::fprintf(out, "#PulseLength,uks %d\r\n", h.tx_length_us);
    std::fprintf(out, "#TVG_Gain,dB  %+5.3f\r\n", h.gain_db);
    std::fprintf(out, "#TVG_Slope,dB/km %5.1f\r\n", h.tvg_slope);
    std::fprintf(out, "#TVG_Mode  1\r\n#OutputMode    2\r\n");
    std::fprintf(out, "#Pitch,deg %-8.3f\r\n", f.pitch_deg);
    std::fprintf(out, "#Roll,deg %-8.3f\r\n\r\n", f.roll_deg);
    char body[128];
    int bl = std::snprintf(body, sizeof body, "SDZDA,%02d%02d%02d.%02d,%02d,%02d,%04d,%02d,%02d",
                           u.hour, u.minute, u.second, hs, u.day, u.month, u.year, -bias / 60,
                           (bias < 0 ? -bias : bias) % 60);
    unsigned char x = 0;
    for (int k = 0; k < bl; ++k) x ^= static_cast<unsigned char>(body[k]);
    std::fprintf(out, "$%s*%02X\r\n", body, x);
    bl = std::snprintf(body, sizeof body, "SDXDR,A,%.1f,D,PTCH,A,%.1f,D,ROLL", f.pitch_deg,
                       f.roll_deg);
    x = 0;
    for (int k = 0; k < bl; ++k) x ^= static_cast<unsigned char>(body[k]);
    std::fprintf(out, "$%s*%02X\r\n", body, x);
    bl = std::snprintf(body, sizeof body, "SDDBT,%.3f,f,%.3f,M,%.3f,F", f.altitude_m / 0.3048,
                       f.altitude_m, f.altitude_m / 1.8288);
    x = 0;
    for (int k = 0; k < bl; ++k) x ^= static_cast<unsigned char>(body[k]);
    std::fprintf(out, "$%s*%02X\r\n", body, x);
    std::fprintf(out, "\r\n##DataStart\r\n");
    for (int32_t j = 0; j < n; ++j) std::fprintf(out, "%u\r\n", s[j]);
    std::fprintf(out, "##DataEnd\r\n\r\n");
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
