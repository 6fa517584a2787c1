#include "tools/logger_sim/ping_synth.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "logfile/logfile.h"
#include "platform/file.h"
#include "platform/output_file.h"
#include "platform/le_bytes.h"

namespace zt::sim {
namespace {

// xorshift64*: fast enough for a sample of noise each, and the same on every platform.
class Rng {
 public:
  explicit Rng(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ULL + 0x2545F4914F6CDD1DULL) {
    if (s_ == 0) s_ = 1;
  }
  uint64_t Next() {
    s_ ^= s_ >> 12;
    s_ ^= s_ << 25;
    s_ ^= s_ >> 27;
    return s_ * 0x2545F4914F6CDD1DULL;
  }
  double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }

 private:
  uint64_t s_;
};

uint16_t Clamp10(double v) {
  if (v < 0) return 0;
  if (v > 1023) return 1023;
  return static_cast<uint16_t>(v);
}

// Adds an echo: a short rise, a plateau one pulse long, then an exponential tail.
void AddEcho(std::vector<double>& env, double at, double peak, int pulse_samples, double tail) {
  const int n = static_cast<int>(env.size());
  const int start = static_cast<int>(at);
  for (int k = std::max(0, start - 2); k < n; ++k) {
    double d = k - at;
    double v;
    if (d < 0) v = peak * (1.0 + d / 2.0);        // rise over two samples
    else if (d < pulse_samples) v = peak;          // pulse
    else v = peak * std::exp(-(d - pulse_samples) / tail);
    if (v < 1.0) {
      if (d > pulse_samples) break;
      continue;
    }
    env[k] = std::max(env[k], v);
  }
}

}  // namespace

TIMERSETTINGS HeaderFor(const RecordSettings& s) {
  TIMERSETTINGS h;
  std::memset(&h, 0, sizeof h);
  h.record_size = 128;
  std::strncpy(h.timer_name, s.timer_name.c_str(), sizeof h.timer_name - 1);
  h.start_time = static_cast<int32_t>(s.timer_start_utc != 0 ? s.timer_start_utc : s.start_utc);
  h.stop_time = -2;
  h.file_size_limit = 4194304000u;
  h.range_mm = s.range_mm;
  h.tx_length_us = s.tx_length_us;
  h.period_s = s.period_s;
  h.ping_count = s.pings_per_series;
  h.interval_s = s.interval_s;
  h.threshold_pct = s.threshold_pct;
  h.deadzone_m = s.deadzone_m;
  h.gain_db = s.gain_db;
  h.tvg_slope = s.tvg_slope;
  h.sound_speed = s.sound_speed;
  h.offset_m = s.offset_m;
  h.device_id = s.device_id;
  h.output_flags = (3u << 1);  // "Echosounder" saved on the card
  return h;
}

std::string WriteLoggedFile(const std::string& path, const RecordSettings& s,
                            const std::function<void(uint64_t, uint64_t)>& progress) {
  const int32_t n = SamplesForRange(s.range_mm);
  if (n == 0) return "range " + std::to_string(s.range_mm) + " mm is not one of the logger's ranges";
  if (!(s.period_s > 0) || s.pings_per_series < 1 || !(s.sound_speed > 0))
    return "period, pings per series and sound speed must be positive";
  const uint32_t record_size = RecordSizeForRange(s.range_mm);

  // Written as every output of ours: never half-written, a device or pipe written through.
  platform::OutputFile out;
  if (!out.Open(path, platform::OutputRule::kReplace, /*binary=*/true))
    return platform::OutputName(path) + ": " + out.why();

  uint8_t header[kFileHeaderSize];
  EncodeTimerSettings(HeaderFor(s), header);
  if (!out.WriteAll(header, sizeof header))
    return platform::OutputName(path) + ": " + out.why();

  Rng rng(s.seed);
  const double res = s.sound_speed * 0.5 * 10 / 1000000;  // metres per sample
  const double range_m = s.range_mm / 1000.0;
  const int pulse = std::max(1, s.tx_length_us / 10);
  const double series_len = std::max<double>(s.interval_s, s.pings_per_series * s.period_s);
  double base_alt = s.altitude_m >= 0 ? s.altitude_m : 0.6 * range_m;
  double walk = 0.0;
  double battery = 12.8;

  const size_t per_block = std::max<size_t>(1, (1u << 20) / record_size);
  std::vector<uint8_t> block(per_block * record_size);
  std::vector<double> env(static_cast<size_t>(n));
  size_t in_block = 0;

  for (uint64_t p = 0; p < s.pings; ++p) {
    const uint64_t series = p / static_cast<uint64_t>(s.pings_per_series);
    const int32_t in_series = static_cast<int32_t>(p % static_cast<uint64_t>(s.pings_per_series));
    const double t = s.start_utc + static_cast<double>(series) * series_len +
                     in_series * static_cast<double>(s.period_s);
    const double whole = std::floor(t);
    const uint32_t utc = static_cast<uint32_t>(static_cast<uint64_t>(whole));
    const uint16_t frac = static_cast<uint16_t>(std::min(65535.0, (t - whole) * 65536.0));
    const double elapsed = t - s.start_utc;

    // The bottom drifts slowly: a tide-like swing and a small random walk.
    walk = std::clamp(walk + (rng.Uniform() - 0.5) * 0.004 * range_m, -0.08 * range_m,
                      0.08 * range_m);
    double alt = base_alt * (1.0 + 0.1 * std::sin(elapsed / 900.0)) + walk;
    alt = std::clamp(alt, s.deadzone_m + 20 * res, 0.92 * range_m);

    // Noise floor, transmit ring-down, bottom echo and its weaker second return.
    for (int k = 0; k < n; ++k) env[k] = 18.0 + 22.0 * rng.Uniform();
    AddEcho(env, 0.0, 1000.0, pulse, 4.0 + pulse * 0.4);
    const double bottom = alt / res;
    const double strength = 700.0 + 250.0 * rng.Uniform();
    if (rng.Uniform() < 0.7) {
      // A soft top layer first, a brief dip, then the hard bottom: the strong return falls
      // in the pulse-long window after the first echo, as on sediment over rock.
      const double soft = 200.0 + 200.0 * rng.Uniform();
      AddEcho(env, bottom, soft, pulse, 0.5);
      const double hard_at = bottom + pulse + 3;
      for (int k = static_cast<int>(bottom) + pulse + 1; k < std::min<int>(n, static_cast<int>(hard_at)); ++k)
        env[k] = 30.0 + 20.0 * rng.Uniform();
      AddEcho(env, hard_at, std::min(1023.0, strength + 100.0), pulse, 12.0 + 0.02 * bottom);
    } else {
      AddEcho(env, bottom, strength, pulse, 12.0 + 0.02 * bottom);
    }
    AddEcho(env, 2.0 * bottom, strength * 0.3, pulse, 20.0 + 0.02 * bottom);
    // Now and then a fish in the water column, and an interference spike.
    if (rng.Uniform() < 0.03) {
      double at = s.deadzone_m / res + rng.Uniform() * (bottom - s.deadzone_m / res);
      AddEcho(env, at, 80.0 + 200.0 * rng.Uniform(), std::max(1, pulse / 2), 2.0);
    }
    if (rng.Uniform() < 0.01) {
      int at = rng.Below(n);
      for (int k = at; k < std::min(n, at + 1 + rng.Below(2)); ++k) env[k] = 1023.0;
    }

    uint8_t* rec = block.data() + in_block * record_size;
    std::memset(rec, 0, record_size);
    std::memcpy(rec, "DATA", 4);
    const int32_t ping_number = s.first_ping_number + static_cast<int32_t>(p);
    StoreI32(rec + kRecPingNumber, ping_number);
    StoreI32(rec + kRecSampleCount, n);
    StoreU32(rec + kRecTimeUtc, utc);
    StoreU16(rec + kRecTimeFraction, frac);
    StoreI32(rec + kRecPingInSeries, in_series + 1);
    for (int k = 0; k < n; ++k) StoreU16(rec + kEchoHeaderSize + 2 * k, Clamp10(env[k]));

    battery = std::max(9.5, battery - 0.0000005);
    ECHOFOOTER f;
    std::memset(&f, 0, sizeof f);
    f.ping_number = ping_number;
    f.sample_count = n;
    f.temperature_c = static_cast<float>(11.5 + 1.5 * std::sin(elapsed / 3600.0) +
                                         0.02 * (rng.Uniform() - 0.5));
    f.battery_v = static_cast<float>(battery + 0.01 * (rng.Uniform() - 0.5));
    f.altitude_m = static_cast<float>(alt + 0.004 * (rng.Uniform() - 0.5));
    f.pitch_deg = static_cast<float>(2.0 * std::sin(elapsed / 7.0) + 0.3 * (rng.Uniform() - 0.5));
    f.roll_deg = static_cast<float>(-1.5 * std::sin(elapsed / 5.0) + 0.3 * (rng.Uniform() - 0.5));
    EncodeEchoFooter(f, rec + kEchoHeaderSize + 2 * static_cast<size_t>(n));

    if (++in_block == per_block || p + 1 == s.pings) {
      if (!out.WriteAll(block.data(), in_block * record_size))
        return platform::OutputName(path) + ": " + out.why();
      in_block = 0;
      if (progress) progress(p + 1, s.pings);
    }
  }

  if (s.trailing_bytes > 0) {
    std::vector<uint8_t> tail(s.trailing_bytes, 0);
    std::memcpy(tail.data(), "DATA", std::min<size_t>(4, tail.size()));
    if (!out.WriteAll(tail.data(), tail.size()))
      return platform::OutputName(path) + ": " + out.why();
  }
  if (!out.Commit()) return platform::OutputName(path) + ": " + out.why();
  return {};
}

}  // namespace zt::sim
