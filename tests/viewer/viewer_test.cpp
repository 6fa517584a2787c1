// The echogram viewer's core: colours, the pixel map, the time window and its navigation,
// the images, the profile and the texts. Expected values are the documented ones.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "logfile/logfile.h"
#include "platform/file.h"
#include "tests/logfile/logged_file_builder.h"
#include "viewer/echogram.h"

namespace zt::viewer {
namespace {

using test::LoggedFileBuilder;
using test::PingSpec;
using test::TempDir;

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
std::ostream& operator<<(std::ostream& os, const Rgb& c) {
  return os << c.r << "," << c.g << "," << c.b;
}
Rgb Entry(int32_t kind, float gamma, int index) {
  const uint8_t* e = PaletteFor(kind, gamma)->rgb[index];
  return {e[0], e[1], e[2]};
}
Rgb Pixel(const std::vector<uint8_t>& bgra, size_t k) {
  return {bgra[4 * k + 2], bgra[4 * k + 1], bgra[4 * k]};
}

// ---- palette ---------------------------------------------------------------------------

TEST(Palette, AmplitudeColoursAreTheDocumentedOnes) {
  struct Cell {
    int amplitude;
    Rgb rainbow, gamma10, gamma05, gamma03;
  };
  const Cell cells[] = {
      {0, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
      {1, {143, 0, 255}, {0, 0, 0}, {8, 6, 0}, {32, 26, 0}},
      {256, {0, 146, 255}, {64, 51, 1}, {128, 102, 1}, {168, 135, 2}},
      {512, {0, 255, 72}, {128, 102, 1}, {180, 145, 2}, {207, 166, 2}},
      {768, {219, 255, 0}, {191, 153, 2}, {221, 177, 2}, {234, 188, 2}},
      {1023, {255, 1, 0}, {255, 204, 3}, {255, 204, 3}, {255, 204, 3}},
  };
  for (const Cell& c : cells) {
    SCOPED_TRACE("amplitude " + std::to_string(c.amplitude));
    const int i = 64 * c.amplitude;
    EXPECT_EQ(Entry(kRainbow, 1.0f, i), c.rainbow);
    EXPECT_EQ(Entry(kYellow, 1.0f, i), c.gamma10);
    EXPECT_EQ(Entry(kYellow, 0.5f, i), c.gamma05);
    EXPECT_EQ(Entry(kYellow, 0.3f, i), c.gamma03);
  }
}

TEST(Palette, EveryListedGammaRunsFromBlackToFullYellow) {
  for (float gamma : GAMMA_CHOICES) {
    SCOPED_TRACE(gamma);
    EXPECT_EQ(Entry(kYellow, gamma, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(Entry(kYellow, gamma, 64 * 1023), (Rgb{255, 204, 3}));
    for (int a = 1; a < 1024; ++a)
      ASSERT_GE(Entry(kYellow, gamma, 64 * a).r, Entry(kYellow, gamma, 64 * (a - 1)).r) << a;
  }
}

TEST(Palette, ImageColoursAreThePalettesEntriesOfTheAmplitudes) {
  for (int32_t kind : {int32_t{kRainbow}, int32_t{kYellow}, int32_t{7}})
    for (float gamma : GAMMA_CHOICES) {
      uint8_t colours[1024][3];
      ImageColours(kind, gamma, colours);
      const auto palette = PaletteFor(kind, gamma);
      for (int a = 0; a < 1024; ++a)
        ASSERT_EQ(std::memcmp(colours[a], palette->rgb[64 * a], 3), 0)
            << "kind " << kind << ", gamma " << gamma << ", amplitude " << a;
    }
}

TEST(Palette, EdgeEntries) {
  for (int32_t kind : {kRainbow, kYellow})
    for (float gamma : GAMMA_CHOICES)
      for (int i = 0; i <= 32; ++i) ASSERT_EQ(Entry(kind, gamma, i), (Rgb{0, 0, 0})) << i;
  EXPECT_EQ(Entry(kRainbow, 1.0f, 33), (Rgb{144, 0, 255}));
  EXPECT_EQ(Entry(kRainbow, 1.0f, 65535), (Rgb{255, 0, 0}));
  EXPECT_EQ(Entry(kYellow, 1.0f, 65535), (Rgb{255, 205, 3}));
  for (int i : {0, 33, 32768, 65535}) EXPECT_EQ(Entry(7, 1.0f, i), (Rgb{0, 0, 0})) << "kind 7";
}

TEST(Palette, CachedPerKindAndGammaFromAnyThread) {
  EXPECT_EQ(PaletteFor(kRainbow, 0.3f), PaletteFor(kRainbow, 1.0f));  // gamma plays no part
  EXPECT_NE(PaletteFor(kYellow, 0.3f), PaletteFor(kYellow, 1.0f));
  std::vector<std::shared_ptr<const PaletteBytes>> got(4);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < got.size(); ++t)
    threads.emplace_back([&got, t] { got[t] = PaletteFor(kYellow, 0.7f); });
  for (std::thread& t : threads) t.join();
  for (const auto& p : got) EXPECT_EQ(p, got[0]);
  // The bytes are the built components rounded half up.
  const std::vector<float> built = BuildPalette(kPaletteHue, kPaletteSaturation, 0.7f, kYellow);
  for (int i = 0; i < kPaletteSize; i += 97)
    for (int c = 0; c < 3; ++c)
      ASSERT_EQ(got[0]->rgb[i][c], static_cast<int>(built[3 * i + c] + 0.5)) << i;
}

TEST(HsvToRgb, Sectors) {
  struct Case {
    const char* name;
    float h, s, v;
    float r, g, b;
  };
  const Case cases[] = {
      {"sector 0", 30, 1, 1, 1, 0.5f, 0},
      {"sector 1", 90, 1, 1, 0.5f, 1, 0},
      {"sector 2", 150, 1, 1, 0, 1, 0.5f},
      {"sector 3", 210, 1, 1, 0, 0.5f, 1},
      {"sector 4", 270, 1, 1, 0.5f, 0, 1},
      {"sector 5", 330, 1, 1, 1, 0, 0.5f},
      {"grey without saturation", 200, 0, 0.25f, 0.25f, 0.25f, 0.25f},
      {"negative hue: other sector", -30, 1, 1, 1, 0, 0.5f},
      {"hue past the circle: other sector", 390, 1, 1, 1, 0, 0.5f},
      {"half saturation", 0, 0.5f, 1, 1, 0.5f, 0.5f},
  };
  for (const Case& c : cases) {
    float r = -1, g = -1, b = -1;
    HsvToRgb(c.h, c.s, c.v, &r, &g, &b);
    EXPECT_EQ(r, c.r) << c.name;
    EXPECT_EQ(g, c.g) << c.name;
    EXPECT_EQ(b, c.b) << c.name;
  }
}

// ---- pixel map -------------------------------------------------------------------------

// Pings one second apart from t = 1000.
std::vector<PINGINDEX> Index(uint32_t count) {
  std::vector<PINGINDEX> v(count);
  for (uint32_t i = 0; i < count; ++i) v[i] = {static_cast<int32_t>(i + 1), 1000 + i};
  return v;
}

TEST(FindPingSpan, Cases) {
  const std::vector<PINGINDEX> unordered = {{1, 5}, {2, 1}, {3, 9}, {4, 3}, {5, 7}};
  const std::vector<PINGINDEX> high = {{1, 0x7FFFFFF0u}, {2, 0x80000010u}, {3, 0x80000020u}};
  const std::vector<PINGINDEX> ordered = Index(10);
  struct Case {
    const char* name;
    const std::vector<PINGINDEX>* pings;
    int32_t begin, end;
    uint32_t first, last;
  };
  const Case cases[] = {
      {"a window inside the file", &ordered, 1002, 1005, 2, 5},
      {"unordered times: the highest qualifying position", &unordered, 3, 7, 0, 4},
      {"times as unsigned values", &high, static_cast<int32_t>(0x80000000u),
       static_cast<int32_t>(0x80000015u), 1, 1},
      {"after the last ping", &ordered, 5000, 6000, 10, 10},
      {"0/0 is the whole file", &ordered, 0, 0, 0, 10},
  };
  for (const Case& c : cases) {
    const PingSpan s =
        FindPingSpan(c.pings->data(), static_cast<uint32_t>(c.pings->size()), c.begin, c.end);
    EXPECT_EQ(s.first, c.first) << c.name;
    EXPECT_EQ(s.last, c.last) << c.name;
  }
  EXPECT_EQ(FindPingSpan(nullptr, 10, 0, 0).last, 10u) << "0/0 needs only the count";
  EXPECT_EQ(FindPingSpan(nullptr, 10, 5, 9).first, 10u) << "no pings match";
}

struct MapRun {
  int width, height;
  std::vector<PIXELMAP> map;
  PIXELMAP at(int c, int r) const { return map[static_cast<size_t>(r) * width + c]; }
};
MapRun Map(const std::vector<PINGINDEX>& pings, int32_t range_mm, int32_t begin, int32_t end,
           float max_m, int width, int height) {
  MapRun m{width, height, std::vector<PIXELMAP>(static_cast<size_t>(width) * height, {-7, -7})};
  MapPixels(pings.data(), static_cast<uint32_t>(pings.size()), SamplesForRange(range_mm), range_mm,
            begin, end, max_m, width, height, m.map.data());
  return m;
}

TEST(MapPixels, ColumnsSpreadThePingsOfTheWindow) {
  const std::vector<PINGINDEX> pings = Index(2000);
  struct Case {
    const char* name;
    int32_t begin, end;
    int width;
    int (*ping_of_column)(int c);
  };
  const Case cases[] = {
      {"800 columns over 1600 pings", 1100, 2700, 800, [](int c) { return 100 + 2 * c; }},
      {"N = 0: one ping everywhere", 1100, 1100, 800, [](int) { return 100; }},
      {"0/0: the whole file", 0, 0, 800, [](int c) { return c * 2000 / 800; }},
  };
  for (const Case& k : cases) {
    const MapRun m = Map(pings, 10000, k.begin, k.end, 10.0f, k.width, 3);
    for (int c = 0; c < k.width; ++c)
      for (int r = 0; r < 3; ++r)
        ASSERT_EQ(m.at(c, r).ping, k.ping_of_column(c)) << k.name << " column " << c;
  }
}

TEST(MapPixels, RowsAndBlanking) {
  const std::vector<PINGINDEX> pings = Index(5);
  // 10 m range: 1344 samples a ping.
  const MapRun deeper = Map(pings, 10000, 0, 0, 20.0f, 4, 100);
  const MapRun same = Map(pings, 10000, 0, 0, 10.0f, 4, 100);
  for (int r = 0; r < 100; ++r) {
    SCOPED_TRACE("row " + std::to_string(r));
    for (int c = 0; c < 4; ++c) ASSERT_EQ(deeper.at(c, r).sample, deeper.at(0, r).sample);
    if (r == 0) {
      EXPECT_EQ(deeper.at(0, r).sample, 0) << "the top row shows no data";
      EXPECT_EQ(same.at(0, r).sample, 0) << "the top row shows no data";
    } else {
      EXPECT_EQ(deeper.at(0, r).sample > 0, r < 50) << "max 20 over a 10 m range";
      EXPECT_GT(same.at(0, r).sample, 0) << "max 10 over a 10 m range blanks nothing";
    }
  }
  EXPECT_EQ(same.at(0, 99).sample, 99 * 1344 / 100) << "bottom row: trunc((H - 1) / H x S)";
}

TEST(MapPixels, WithoutAKnownRangeEveryEntryIsZero) {
  const MapRun m = Map(Index(5), 2500, 0, 0, 10.0f, 3, 4);
  for (const PIXELMAP& e : m.map) ASSERT_TRUE(e.ping == 0 && e.sample == 0);
  const MapRun negative = Map(Index(5), 10000, 0, 0, -10.0f, 3, 4);
  for (const PIXELMAP& e : negative.map) ASSERT_EQ(e.sample, 0) << "a negative scale shows no data";
  MapPixels(nullptr, 5, 1344, 10000, 0, 0, 10.0f, 0, 4, nullptr);  // no size, no map: no write
}

// ---- time window and navigation --------------------------------------------------------

TEST(ClampView, Cases) {
  constexpr int32_t kMax = INT32_MAX, kMin = INT32_MIN;
  struct Case {
    const char* name;
    int32_t first, last, span, begin, end;
    int64_t shift;
    int32_t want_begin, want_end;
  };
  const Case cases[] = {
      {"forward inside", 1000, 5000, 600, 1000, 1600, 500, 1500, 2100},
      {"begin would pass the last ping", 1000, 5000, 600, 1500, 2100, 4000, 1500, 2100},
      {"end held at the last ping", 1000, 5000, 600, 1500, 2100, 3000, 4400, 5000},
      {"back before the first ping", 1000, 5000, 600, 4400, 5000, -10000, 1000, 1600},
      {"longer span at the end keeps the begin", 1000, 5000, 3600, 4400, 5000, 0, 4400, 5000},
      {"five years near 2^31 end at the last ping", kMax - 100, kMax, 155520000, kMax - 100,
       kMax - 100, 0, kMax - 100, kMax},
      {"huge shift forward changes nothing", 1000, 5000, 600, 1000, 1600, INT64_MAX, 1000, 1600},
      {"huge shift back starts at the first ping", 1000, 5000, 600, 4400, 5000, INT64_MIN, 1000,
       1600},
      {"times past 2^31 shifted far back", kMin + 10, kMin + 1000, 600, kMin + 110, kMin + 710,
       -static_cast<int64_t>(kMax), kMin + 10, kMin + 610},
  };
  for (const Case& c : cases) {
    ViewWindow v{c.begin, c.end, c.first, c.last, c.span};
    ClampView(&v, c.shift);
    EXPECT_EQ(v.view_begin, c.want_begin) << c.name;
    EXPECT_EQ(v.view_end, c.want_end) << c.name;
  }
  ClampView(nullptr, 5);
}

TEST(OpenView, Cases) {
  struct Case {
    const char* name;
    int32_t first, last;
    int32_t want_begin, want_end;
  };
  const Case cases[] = {
      {"a file of 9 s", 1000, 1009, 1000, 1009},
      {"a long file", 1000, 90000, 1000, 1600},
      {"no pings", 0, 0, 0, 0},
      {"first + span past 2^31", INT32_MAX - 5, INT32_MAX, INT32_MAX - 5, INT32_MAX},
  };
  for (const Case& c : cases) {
    ViewWindow v;
    OpenView(&v, c.first, c.last);
    EXPECT_EQ(v.view_begin, c.want_begin) << c.name;
    EXPECT_EQ(v.view_end, c.want_end) << c.name;
  }
}

TEST(Navigation, DragWheelAndZoom) {
  EXPECT_EQ(DragShift(600, 800, 100, 99), 0) << "0.75 s a pixel: one pixel is not a second";
  EXPECT_EQ(DragShift(600, 800, 100, 98), 1) << "two pixels left: one second later";
  EXPECT_EQ(DragShift(600, 800, 100, 102), -1) << "two pixels right: one second earlier";
  EXPECT_EQ(DragShift(600, 0, 100, 0), 0) << "no echogram";
  EXPECT_EQ(WheelTimeShift(805), 80);
  EXPECT_EQ(WheelTimeShift(-5), 0);
  struct Zoom {
    float from;
    int delta;
    float to;
  };
  const Zoom zooms[] = {{100, 120, 100}, {100, -120, 90}, {1.5f, -120, 1}, {1, -120, 1},
                        {30, 120, 40},   {7, 120, 100},   {7, -120, 100},  {5, 0, 3}};
  for (const Zoom& z : zooms)
    EXPECT_EQ(ZoomAltitude(z.from, z.delta), z.to) << z.from << " by " << z.delta;
}

TEST(ValueLists, IndexOfFindsTheEntryOfItsText) {
  EXPECT_STREQ(SPAN_CHOICES[SpanIndexOf(5184000)].text, "2 months");
  EXPECT_STREQ(SPAN_CHOICES[SpanIndexOf(155520000)].text, "5 years");
  EXPECT_STREQ(kAltitudeStepTexts[AltitudeIndexOf(30.0f)], "30");
  EXPECT_STREQ(kGammaTexts[GammaIndexOf(0.3f)], "0.3");
  EXPECT_EQ(SpanIndexOf(61), -1);
  EXPECT_EQ(AltitudeIndexOf(1.25f), -1);
  EXPECT_EQ(GammaIndexOf(0.31f), -1);
  for (int i = 0; i < kAltitudeStepCount; ++i)
    EXPECT_EQ(std::strtof(kAltitudeStepTexts[i], nullptr), ALTITUDE_STEPS[i]);
  for (int i = 0; i < kGammaChoiceCount; ++i)
    EXPECT_EQ(std::strtof(kGammaTexts[i], nullptr), GAMMA_CHOICES[i]);
}

// ---- files: index and images -----------------------------------------------------------

// A 1 m file (144 samples a ping) of `n` pings one second apart; sample k of ping i is
// (i * 16 + k) with the upper six bits set.
std::string WriteFile(const TempDir& dir, int n, int32_t range_mm = 1000,
                      const std::string& name = "F.BIN") {
  TIMERSETTINGS h = test::PlainHeader();
  h.range_mm = range_mm;
  LoggedFileBuilder b(h, range_mm == 1000 ? 0 : 144);
  for (int i = 0; i < n; ++i) {
    PingSpec p;
    p.ping_number = 10 + i;
    p.time_utc = 5000 + static_cast<uint32_t>(i);
    for (int k = 0; k < 144; ++k) p.samples.push_back(static_cast<uint16_t>(0xFC00 | (i * 16 + k)));
    b.Ping(p);
  }
  const std::string path = dir.Path(name);
  b.WriteTo(path);
  return path;
}

TEST(LoadPingIndex, ReadsEveryPingAndRefusesUnreadableFiles) {
  TempDir dir;
  platform::File f;
  PingIndex index;
  std::string why;
  ASSERT_TRUE(f.OpenRead(WriteFile(dir, 3)));
  ASSERT_TRUE(LoadPingIndex(f, &index, &why)) << why;
  ASSERT_EQ(index.pings.size(), 3u);
  EXPECT_EQ(index.pings.capacity(), 3u) << "8 bytes a ping";
  EXPECT_EQ(index.pings[2].ping_number, 12);
  EXPECT_EQ(index.pings[2].time_utc, 5002u);

  struct Bad {
    const char* name;
    std::string bytes;
    const char* why;
  };
  const Bad bad[] = {
      {"shorter than the header", std::string(100, 'x'), "128"},
      {"range not in the table", test::ReadAll(WriteFile(dir, 2, 2500, "ODD.BIN")), "2500"}};
  for (const Bad& b : bad) {
    const std::string path = dir.Path(std::string(b.name) + ".BIN");
    test::WriteAll(path, b.bytes);
    platform::File g;
    ASSERT_TRUE(g.OpenRead(path));
    EXPECT_FALSE(LoadPingIndex(g, &index, &why)) << b.name;
    EXPECT_NE(why.find(b.why), std::string::npos) << b.name << ": " << why;
    EXPECT_TRUE(index.pings.empty()) << b.name;
  }
}

struct Drawn {
  std::vector<uint8_t> bgra;
  Rgb at(int w, int c, int r) const { return Pixel(bgra, static_cast<size_t>(r) * w + c); }
};
Drawn Draw(platform::File& f, const std::vector<PIXELMAP>& map, int w, int h, PingCache* cache) {
  Drawn d{std::vector<uint8_t>(static_cast<size_t>(w) * h * 4, 0xAB)};
  RenderEchogram(f, 416, map.data(), w, h, *PaletteFor(kRainbow, 1.0f), cache, d.bgra.data());
  return d;
}

TEST(RenderEchogram, ColoursOfSamples) {
  TempDir dir;
  platform::File f;
  ASSERT_TRUE(f.OpenRead(WriteFile(dir, 2)));
  // Column 0: ping 1; column 1: a ping the file does not hold. Rows: no data, sample 3,
  // a sample past the record's end; and in column 0 a row naming ping 0, which the column
  // does not show.
  const std::vector<PIXELMAP> map = {{1, 0},    {7, 0},    {1, 3}, {7, 3},
                                     {1, 9999}, {7, 9999}, {0, 5}, {7, 5}};
  const Drawn d = Draw(f, map, 2, 4, nullptr);
  const Rgb black{0, 0, 0};
  EXPECT_EQ(d.at(2, 0, 0), black) << "sample 0 is no data";
  EXPECT_EQ(d.at(2, 0, 1), Entry(kRainbow, 1.0f, 64 * (16 + 3))) << "low 10 bits of 0xFC13";
  EXPECT_EQ(d.at(2, 0, 2), black) << "a sample past the record";
  EXPECT_EQ(d.at(2, 0, 3), Entry(kRainbow, 1.0f, 64 * (16 + 5))) << "the column's ping";
  for (int r = 0; r < 4; ++r) EXPECT_EQ(d.at(2, 1, r), black) << "an unreadable ping, row " << r;
}

TEST(RenderEchogram, RedrawReadsNoPingAndADragStepOnlyTheNewOnes) {
  TempDir dir;
  platform::File f;
  ASSERT_TRUE(f.OpenRead(WriteFile(dir, 30)));
  std::vector<PINGINDEX> index(30);
  for (uint32_t i = 0; i < 30; ++i) index[i] = {static_cast<int32_t>(10 + i), 5000 + i};
  auto map = [&index](int32_t begin) {  // 10 pings over 10 columns
    std::vector<PIXELMAP> m(10 * 5);
    MapPixels(index.data(), 30, 144, 1000, begin, begin + 10, 1.0f, 10, 5, m.data());
    return m;
  };
  PingCache cache;
  const Drawn first = Draw(f, map(5000), 10, 5, &cache);
  EXPECT_EQ(cache.reads(), 10u);
  const Drawn again = Draw(f, map(5000), 10, 5, &cache);
  EXPECT_EQ(cache.reads(), 10u) << "the same view reads nothing";
  EXPECT_EQ(again.bgra, first.bgra);
  const Drawn moved = Draw(f, map(5002), 10, 5, &cache);
  EXPECT_EQ(cache.reads(), 12u) << "two new pings";
  PingCache fresh;
  EXPECT_EQ(moved.bgra, Draw(f, map(5002), 10, 5, &fresh).bgra) << "cached pixels are read ones";
  EXPECT_EQ(cache.Ping(f, 416, 7)[kRecPingNumber], 17) << "a held ping";
  EXPECT_EQ(cache.Ping(f, 416, 29)[kRecPingNumber], 39) << "a ping outside the view";
}

TEST(RenderColorScale, WeakestAtTheBottomLeftStrongestAtTheTopRight) {
  const int w = 10, h = 600;
  std::vector<uint8_t> bgra(static_cast<size_t>(w) * h * 4);
  RenderColorScale(w, h, *PaletteFor(kYellow, 0.5f), bgra.data());
  for (size_t k : {size_t{0}, size_t{2999}, size_t{5999}})
    EXPECT_EQ(Pixel(bgra, k), Entry(kYellow, 0.5f, static_cast<int>(k * 65535 / 6000))) << k;
  RenderColorScale(0, h, *PaletteFor(kYellow, 0.5f), nullptr);
}

// ---- profile, grid and texts -----------------------------------------------------------

TEST(Profile, PointsAndThreshold) {
  std::vector<uint8_t> record(416, 0);
  auto put = [&record](int sample, uint16_t v) {
    record[64 + 2 * sample] = static_cast<uint8_t>(v);
    record[65 + 2 * sample] = static_cast<uint8_t>(v >> 8);
  };
  put(0, 77);
  put(3, 512);
  put(5, 1023);
  put(6, 0xFFFF);
  // Column 1 of a 2 x 5 map; column 0 names samples the trace must not use.
  const std::vector<PIXELMAP> map = {{0, 5}, {0, 0}, {0, 5}, {0, 3}, {0, 5},
                                     {0, 5}, {0, 5}, {0, 6}, {0, 5}, {0, 999}};
  const auto points = ProfilePoints(record.data(), 416, map.data(), 2, 5, 1, 50);
  const std::vector<std::pair<float, float>> want = {
      {77 * 50 / 1024.0f, 0}, {25.0f, 1}, {49.951171875f, 2}, {65535 * 50 / 1024.0f, 3}, {0, 4}};
  EXPECT_EQ(points, want) << "no data shows the first sample; past the record, 0";
  EXPECT_TRUE(ProfilePoints(record.data(), 416, map.data(), 2, 5, 2, 50).empty());
  EXPECT_TRUE(ProfilePoints(record.data(), 416, map.data(), 2, 5, -1, 50).empty());
  EXPECT_EQ(ThresholdX(50, 50), 25);
  EXPECT_EQ(ThresholdX(0, 50), 0);
  EXPECT_EQ(ThresholdX(10, 50), 5);
}

TEST(Grid, TenLinesJoinedAlternatelyAtTheEdges) {
  const auto points = GridPolyline(30, 20, 800, 600);
  ASSERT_EQ(points.size(), 20u);
  for (int k = 1; k <= 10; ++k) {
    const auto& a = points[2 * k - 2];
    const auto& b = points[2 * k - 1];
    EXPECT_EQ(a.second, 20 + 60 * k);
    EXPECT_EQ(b.second, 20 + 60 * k);
    EXPECT_EQ(a.first, k % 2 == 1 ? 830 : 30) << k;
    EXPECT_EQ(b.first, k % 2 == 1 ? 30 : 830) << k;
  }
  EXPECT_TRUE(GridPolyline(0, 0, 50, 0).empty());
}

TEST(Texts, Labels) {
  const char* const hundred[] = {" 10.0", " 20.0", " 30.0", " 40.0", " 50.0",
                                 " 60.0", " 70.0", " 80.0", " 90.0", "100.0"};
  const char* const one[] = {"  0.1", "  0.2", "  0.3", "  0.4", "  0.5",
                             "  0.6", "  0.7", "  0.8", "  0.9", "  1.0"};
  for (int i = 1; i <= 10; ++i) {
    EXPECT_EQ(DepthLabel(i, 100.0f), hundred[i - 1]);
    EXPECT_EQ(DepthLabel(i, 1.0f), one[i - 1]);
  }
  // The test runs with TZ=UTC.
  EXPECT_EQ(StartTimeLabel(1418040000), "12:00:00 08.12.2014 (Local)");
  EXPECT_EQ(EndTimeLabel(1418040000), "12:00:00 08.12.2014");
  EXPECT_EQ(StartTimeLabel(static_cast<int32_t>(4102444800u)), "00:00:00 01.01.2100 (Local)")
      << "times past 2^31 are unsigned";
  EXPECT_EQ(ScaleLabel(0), "0%");
  EXPECT_EQ(ScaleLabel(10), "100%");
  EXPECT_EQ(DeviceIdText(1234), "DEVICEID: 001234");
  EXPECT_EQ(DeviceIdText(-5), "DEVICEID: -00005");
}

TEST(Texts, HoverLine) {
  TIMERSETTINGS h = test::PlainHeader();
  auto record_of = [&h](int32_t sample_count) {
    PingSpec p;
    p.ping_number = 42;
    p.sample_count = sample_count;
    p.time_utc = 1765113255;  // 2025-12-07 13:14:15 UTC
    p.altitude_m = 12.34f;
    p.pitch_deg = -1.3f;
    p.roll_deg = 0.5f;
    p.battery_v = 12.5f;
    p.temperature_c = 8.7f;
    LoggedFileBuilder b(h);
    b.Ping(p);
    const std::string rec = b.bytes().substr(128);
    return std::vector<uint8_t>(rec.begin(), rec.end());
  };
  const std::vector<uint8_t> good = record_of(PingSpec::kFileSamples);
  EXPECT_EQ(HoverText(good.data(), 416),
            "ping: 42, date: 07.12 time: 13:14:15, altitude: 12.3, tiltX: -1.3, tiltY: 0.5, "
            "battery: 12.50 temperature: 8.7");
  const std::string zeros =
      ", altitude: 0.0, tiltX: 0.0, tiltY: 0.0, battery: 0.00 temperature: 0.0";
  for (int32_t lying : {100000, -3, INT32_MAX}) {
    const std::vector<uint8_t> bad = record_of(lying);
    EXPECT_EQ(HoverText(bad.data(), 416), "ping: 42, date: 07.12 time: 13:14:15" + zeros) << lying;
  }
  EXPECT_EQ(HoverText(nullptr, 0), "ping: 0, date: 01.01 time: 00:00:00" + zeros);
}

}  // namespace
}  // namespace zt::viewer
