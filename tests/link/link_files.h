// Logged ping files built byte by byte for the link tests, so that every expected value
// follows from the file layout alone.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zt::linktest {

// 1 m range: 144 samples, 2 x 144 + 128 = 416 bytes a record.
constexpr int32_t kRange1m = 1000;
constexpr int32_t kSamples1m = 144;
constexpr size_t kRecord1m = 416;
constexpr size_t kFooterAt1m = 64 + 2 * 144;  // 352

inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + k] = static_cast<uint8_t>(v >> (8 * k));
}
inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}

// A file header: record_size 128, the range at 52, the other bytes a fixed pattern.
inline std::vector<uint8_t> FileHeader(int32_t range_mm = kRange1m) {
  std::vector<uint8_t> h(128);
  for (size_t i = 0; i < h.size(); ++i) h[i] = static_cast<uint8_t>(i * 7 + 3);
  Put32(h, 0, 128);
  Put32(h, 52, static_cast<uint32_t>(range_mm));
  return h;
}

struct PingSpec {
  int32_t ping_number;
  uint32_t time_utc;
  int32_t sample_count = -1;  // the record's own field; -1: the range's N
};

// One record of `samples` samples; uninterpreted bytes carry a pattern from `seed`.
inline std::vector<uint8_t> Record(const PingSpec& p, int32_t samples = kSamples1m,
                                   uint8_t seed = 1) {
  std::vector<uint8_t> r(2 * size_t(samples) + 128);
  for (size_t i = 0; i < r.size(); ++i) r[i] = static_cast<uint8_t>(i * 13 + seed);
  r[0] = 'D', r[1] = 'A', r[2] = 'T', r[3] = 'A';
  const int32_t sample_count = p.sample_count < 0 ? samples : p.sample_count;
  Put32(r, 8, static_cast<uint32_t>(p.ping_number));
  Put32(r, 12, static_cast<uint32_t>(sample_count));
  Put32(r, 16, p.time_utc);
  const size_t foot = 64 + 2 * size_t(samples);
  Put32(r, foot + 4, static_cast<uint32_t>(p.ping_number));
  Put32(r, foot + 8, static_cast<uint32_t>(sample_count));
  return r;
}

inline std::vector<uint8_t> LoggedFile(const std::vector<PingSpec>& pings,
                                       std::vector<uint8_t> header = FileHeader(),
                                       uint8_t seed = 1) {
  int32_t range = static_cast<int32_t>(Get32(header, 52));
  int32_t samples = range == kRange1m ? kSamples1m : range == 2000 ? 272 : kSamples1m;
  std::vector<uint8_t> f = header;
  for (size_t i = 0; i < pings.size(); ++i) {
    auto r = Record(pings[i], samples, static_cast<uint8_t>(seed + i));
    f.insert(f.end(), r.begin(), r.end());
  }
  return f;
}

// Consecutive pings: numbers first, first+1, ... one second apart from t0.
inline std::vector<PingSpec> Pings(int n, int32_t first, uint32_t t0) {
  std::vector<PingSpec> v;
  for (int i = 0; i < n; ++i) v.push_back({first + i, t0 + static_cast<uint32_t>(i)});
  return v;
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "could not write " << path;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline bool Exists(const std::string& path) {
  return std::filesystem::exists(std::filesystem::u8path(path));
}

// A fresh, empty folder per test.
class TempDir {
 public:
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("zt_link_") + info->test_suite_name() + "_" + info->name();
    for (char& c : name)
      if (c == '/') c = '_';
    dir_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).u8string(); }
  // Names in the folder, to see that nothing was left behind.
  std::vector<std::string> Names() const {
    std::vector<std::string> v;
    for (const auto& e : std::filesystem::directory_iterator(dir_))
      v.push_back(e.path().filename().u8string());
    std::sort(v.begin(), v.end());
    return v;
  }

 private:
  std::filesystem::path dir_;
};

}  // namespace zt::linktest
