// Test support: builds logged ping files byte by byte (file header, ping records with
// chosen samples, times and footers) in a private temporary folder, without the simulator
// and without the reading code under test. Header-only; the one builder of every test that
// needs a logged file (logfile, export, viewer, command line, the join and its window).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "timers/timer_settings.h"

namespace zt::test {

// Samples per ping of each range the logger knows, as the file layout defines them.
struct RangeRow {
  int32_t range_mm;
  int32_t samples;
};
inline const std::vector<RangeRow>& KnownRanges() {
  static const std::vector<RangeRow> rows = {
      {1000, 144},   {1500, 208},   {2000, 272},   {3000, 400},   {5000, 672},
      {10000, 1344}, {15000, 2000}, {20000, 2672}, {30000, 4000}, {40000, 5344},
      {50000, 6672}, {60000, 8000}, {70000, 9344}, {80000, 10672}, {90000, 12000},
      {100000, 13344},
  };
  return rows;
}
inline int32_t SamplesPerPing(int32_t range_mm) {
  for (const RangeRow& r : KnownRanges())
    if (r.range_mm == range_mm) return r.samples;
  return 0;
}

// Little-endian stores, written here rather than borrowed from the code under test.
inline void PutU16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}
inline void PutU32(std::string& s, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) s[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
}
inline void PutI32(std::string& s, size_t at, int32_t v) { PutU32(s, at, static_cast<uint32_t>(v)); }
inline void PutF32(std::string& s, size_t at, float v) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  PutU32(s, at, u);
}
inline uint32_t GetU32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<uint8_t>(s.at(at + k));
  return v;
}

// The 1 m range, the smallest: 144 samples, 2 x 144 + 128 = 416 bytes a record, the footer
// after the samples at 64 + 2 x 144 = 352.
constexpr size_t kRecord1m = 416;
constexpr size_t kFooterAt1m = 352;

// A file header with plain, easily recognised settings: 1 m range, 1500 m/s.
inline TIMERSETTINGS PlainHeader() {
  TIMERSETTINGS h;
  std::memset(&h, 0, sizeof h);
  h.record_size = 128;
  std::strcpy(h.timer_name, "TEST");
  h.range_mm = 1000;
  h.tx_length_us = 40;
  h.period_s = 0.5f;
  h.ping_count = 3;
  h.interval_s = 60;
  h.threshold_pct = 10;
  h.deadzone_m = 0.1f;
  h.gain_db = 6.0f;
  h.tvg_slope = 20.0f;
  h.sound_speed = 1500.0f;
  h.offset_m = 0.25f;
  h.device_id = 1234;
  return h;
}

// A file header whose every byte carries a pattern but record_size 128 (at 0) and the range
// (at 52), for tests of code that copies or compares headers: a byte moved or lost shows.
inline std::string PatternedHeader(int32_t range_mm = 1000) {
  std::string h(128, '\0');
  for (size_t i = 0; i < h.size(); ++i) h[i] = static_cast<char>(i * 7 + 3);
  PutU32(h, 0, 128);
  PutI32(h, 52, range_mm);
  return h;
}

// One ping record. sample_count kFileSamples means "the samples per ping of the file's range".
struct PingSpec {
  static constexpr int32_t kFileSamples = INT32_MIN;
  static constexpr int32_t kSame = INT32_MIN;

  int32_t ping_number = 1;
  int32_t sample_count = kFileSamples;
  uint32_t time_utc = 0;
  uint16_t time_fraction = 0;
  int32_t ping_in_series = 1;
  std::vector<uint16_t> samples;  // from record offset 64; the rest of the record is zero
  float temperature_c = 0.0f;
  float battery_v = 0.0f;
  float altitude_m = 0.0f;
  float pitch_deg = 0.0f;
  float roll_deg = 0.0f;
  int32_t footer_ping_number = kSame;   // default: ping_number
  int32_t footer_sample_count = kSame;  // default: sample_count
  const char* signature = "DATA";
};

// Samples of a given length, all `base`, with some set to other values.
inline std::vector<uint16_t> Samples(size_t n, uint16_t base,
                                     std::initializer_list<std::pair<size_t, uint16_t>> set = {}) {
  std::vector<uint16_t> v(n, base);
  for (const auto& kv : set) v.at(kv.first) = kv.second;
  return v;
}

class LoggedFileBuilder {
 public:
  explicit LoggedFileBuilder(const TIMERSETTINGS& header, int32_t record_samples = 0)
      : samples_(record_samples > 0 ? record_samples : SamplesPerPing(header.range_mm)) {
    bytes_.assign(128, '\0');
    EncodeTimerSettings(header, reinterpret_cast<uint8_t*>(&bytes_[0]));
  }
  // A file header given byte for byte (128 bytes), e.g. PatternedHeader().
  LoggedFileBuilder(const std::string& header_bytes, int32_t record_samples)
      : samples_(record_samples), bytes_(header_bytes) {}

  // From here on the bytes of a record that no field of the ping writes carry a pattern,
  // (offset x 13 + seed + the ping's place in the file) & 0xFF, instead of zeros: a join
  // that moved, dropped or mixed up bytes shows.
  LoggedFileBuilder& Patterned(uint8_t seed) {
    patterned_ = true;
    seed_ = seed;
    return *this;
  }

  int32_t record_samples() const { return samples_; }
  size_t record_size() const { return 2 * static_cast<size_t>(samples_) + 128; }

  LoggedFileBuilder& Ping(const PingSpec& p) {
    std::string rec(record_size(), '\0');
    if (patterned_)
      for (size_t k = 0; k < rec.size(); ++k)
        rec[k] = static_cast<char>(k * 13 + seed_ + pings_);
    const int32_t count = p.sample_count == PingSpec::kFileSamples ? samples_ : p.sample_count;
    std::memcpy(&rec[0], p.signature, 4);
    PutI32(rec, 8, p.ping_number);
    PutI32(rec, 12, count);
    PutU32(rec, 16, p.time_utc);
    PutU16(rec, 20, p.time_fraction);
    PutI32(rec, 24, p.ping_in_series);
    for (size_t k = 0; k < p.samples.size() && 64 + 2 * k + 1 < rec.size(); ++k)
      PutU16(rec, 64 + 2 * k, p.samples[k]);
    // The footer follows the ping's own samples; a count that does not fit the record
    // (a corrupt ping) leaves the footer where the file's samples per ping put it.
    const size_t footer =
        64 + 2 * static_cast<size_t>(count >= 0 && count <= samples_ ? count : samples_);
    PutI32(rec, footer + 4,
           p.footer_ping_number == PingSpec::kSame ? p.ping_number : p.footer_ping_number);
    PutI32(rec, footer + 8, p.footer_sample_count == PingSpec::kSame ? count : p.footer_sample_count);
    PutF32(rec, footer + 12, p.temperature_c);
    PutF32(rec, footer + 16, p.battery_v);
    PutF32(rec, footer + 20, p.altitude_m);
    PutF32(rec, footer + 24, p.pitch_deg);
    PutF32(rec, footer + 28, p.roll_deg);
    bytes_ += rec;
    ++pings_;
    return *this;
  }

  LoggedFileBuilder& Trailing(size_t n, char fill = '\x5A') {
    bytes_.append(n, fill);
    return *this;
  }

  // Raw access for deliberately damaged files.
  std::string& bytes() { return bytes_; }
  const std::string& bytes() const { return bytes_; }
  size_t pings() const { return pings_; }

  void WriteTo(const std::string& path) const {
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes_.data(), static_cast<std::streamsize>(bytes_.size()));
    out.close();
    ASSERT_TRUE(out.good()) << "could not write " << path;
  }

 private:
  int32_t samples_;
  std::string bytes_;
  size_t pings_ = 0;
  bool patterned_ = false;
  uint8_t seed_ = 0;
};

// Consecutive pings: numbers first, first + 1, ... one second apart from t0.
inline std::vector<PingSpec> Pings(int n, int32_t first, uint32_t t0) {
  std::vector<PingSpec> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    v[i].ping_number = first + i;
    v[i].time_utc = t0 + static_cast<uint32_t>(i);
  }
  return v;
}

// A whole patterned file: `header` (by default PatternedHeader()) and the pings, the bytes
// no field writes patterned from `seed`. A range the logger does not have keeps records of
// the 1 m range, so that such a file still holds pings.
inline std::string LoggedFile(const std::vector<PingSpec>& pings,
                              const std::string& header = PatternedHeader(), uint8_t seed = 1) {
  const int32_t samples = SamplesPerPing(static_cast<int32_t>(GetU32(header, 52)));
  LoggedFileBuilder b(header, samples > 0 ? samples : SamplesPerPing(1000));
  b.Patterned(seed);
  for (const PingSpec& p : pings) b.Ping(p);
  return b.bytes();
}

// A private folder under the system's temporary folder, removed with its contents.
class TempDir {
 public:
  TempDir() {
    static std::atomic<unsigned> counter{0};
    namespace fs = std::filesystem;
    const auto base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 1000; ++attempt) {
      auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
      fs::path p = base / ("zt615-test-" + std::to_string(stamp % 1000000007LL) + "-" +
                           std::to_string(counter.fetch_add(1)));
      std::error_code ec;
      if (fs::create_directory(p, ec)) {
        path_ = p;
        return;
      }
    }
    ADD_FAILURE() << "could not create a temporary folder";
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string Path(const std::string& name) const { return (path_ / name).u8string(); }
  std::string path() const { return path_.u8string(); }

  // Names of the entries of the folder, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_))
      names.push_back(e.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

inline bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::u8path(path), ec);
}

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  ASSERT_TRUE(out.good()) << "could not write " << path;
}

// Shows where two byte strings first differ, with a little context, for failure messages.
inline std::string FirstDifference(const std::string& expected, const std::string& actual) {
  size_t k = 0;
  while (k < expected.size() && k < actual.size() && expected[k] == actual[k]) ++k;
  auto show = [k](const std::string& s) {
    size_t from = k > 40 ? k - 40 : 0;
    std::string out;
    for (size_t j = from; j < s.size() && j < k + 40; ++j) {
      unsigned char c = static_cast<unsigned char>(s[j]);
      if (c == '\r') out += "\\r";
      else if (c == '\n') out += "\\n";
      else if (c < 0x20 || c >= 0x7F) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02X", c);
        out += buf;
      } else out += static_cast<char>(c);
    }
    return out;
  };
  return "first difference at byte " + std::to_string(k) + " (sizes " +
         std::to_string(expected.size()) + " expected, " + std::to_string(actual.size()) +
         " actual)\n  expected: ..." + show(expected) + "...\n  actual:   ..." + show(actual) +
         "...";
}

}  // namespace zt::test
