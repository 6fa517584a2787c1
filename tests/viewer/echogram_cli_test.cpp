// zt615 echogram as a user runs it: the PNG's size and pixels (decoded, against the viewer
// core's image of the same view), refusals with their exit codes, and nothing left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "logfile/logfile.h"
#include "platform/file.h"
#include "tests/cli/zt615_runner.h"
#include "tests/logfile/logged_file_builder.h"
#include "viewer/echogram.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include "stb_image.h"

namespace zt {
namespace {

using test::ExpectOneLineNaming;
using test::LoggedFileBuilder;
using test::PingSpec;
using test::Ran;
using test::TempDir;
using test::Zt615;
using viewer::kRainbow;
using viewer::kYellow;

constexpr uint32_t kT0 = 1768472430;  // 2026-01-15 10:20:30 UTC
constexpr int kPings = 60;

// A 10 m file (1344 samples a ping), pings one second apart, samples varying with the ping
// and the depth, some with the upper bits set.
std::string WriteRecording(const TempDir& dir, const std::string& name) {
  TIMERSETTINGS h = test::PlainHeader();
  h.range_mm = 10000;
  LoggedFileBuilder b(h);
  for (int i = 0; i < kPings; ++i) {
    PingSpec p;
    p.ping_number = 1 + i;
    p.time_utc = kT0 + static_cast<uint32_t>(i);
    for (int k = 0; k < 1344; ++k)
      p.samples.push_back(
          static_cast<uint16_t>((k * 3 + i * 37) % 1024 | (k % 7 == 0 ? 0x8000 : 0)));
    b.Ping(p);
  }
  const std::string path = dir.Path(name);
  b.WriteTo(path);
  return path;
}

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
};

Image DecodePng(const std::string& path) {
  const std::string bytes = test::ReadAll(path);
  Image img;
  int channels = 0;
  stbi_uc* px =
      stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                            static_cast<int>(bytes.size()), &img.width, &img.height, &channels, 0);
  if (px == nullptr) {
    ADD_FAILURE() << path << ": not a PNG that decodes";
    return img;
  }
  EXPECT_EQ(channels, 3) << "8-bit RGB";
  img.rgb.assign(px, px + static_cast<size_t>(img.width) * img.height * channels);
  stbi_image_free(px);
  return img;
}

// The core's image of the view, as the window draws it.
Image CoreImage(const std::string& path, int w, int h, int32_t begin, int32_t end, float max_m,
                int32_t palette, float gamma) {
  platform::File f;
  viewer::PingIndex index;
  std::string why;
  Image img{w, h, {}};
  if (!f.OpenRead(path) || !viewer::LoadPingIndex(f, &index, &why)) {
    ADD_FAILURE() << path << ": " << why;
    return img;
  }
  std::vector<viewer::PIXELMAP> map(static_cast<size_t>(w) * h);
  viewer::MapPixels(index.pings.data(), index.info.ping_count, index.info.samples,
                    index.info.header.range_mm, begin, end, max_m, w, h, map.data());
  std::vector<uint8_t> bgra(map.size() * 4);
  viewer::RenderEchogram(f, index.info.record_size, map.data(), w, h,
                         *viewer::PaletteFor(palette, gamma), nullptr, bgra.data());
  for (size_t k = 0; k < map.size(); ++k)
    img.rgb.insert(img.rgb.end(), {bgra[4 * k + 2], bgra[4 * k + 1], bgra[4 * k]});
  return img;
}

TEST(EchogramCommand, WritesTheCoreImageOfTheView) {
  TempDir dir;
  const std::string in = WriteRecording(dir, "R.BIN");
  const int32_t t0 = static_cast<int32_t>(kT0);
  struct View {  // what the window would show
    int width, height;
    int32_t begin, end;
    float max_m;
    int32_t palette;
    float gamma;
  };
  struct Case {
    const char* name;
    View view;
    std::vector<std::string> options;
  };
  const std::string begin = std::to_string(kT0 + 10), end = std::to_string(kT0 + 29);
  const int32_t last = t0 + kPings - 1;
  const Case cases[] = {
      {"defaults: the whole file, its range, rainbow", {1200, 600, 0, 0, 10, kRainbow, 1}, {}},
      {"a window of the file",
       {40, 30, t0 + 10, t0 + 29, 10, kRainbow, 1},
       {"--width", "40", "--height", "30", "--begin", begin, "--end", end}},
      {"begin only: to the last ping",
       {25, 20, t0 + 10, last, 10, kRainbow, 1},
       {"--width", "25", "--height", "20", "--begin", begin}},
      {"0/0 given",
       {7, 9, 0, 0, 10, kRainbow, 1},
       {"--width", "7", "--height", "9", "--begin", "0", "--end", "0"}},
      {"yellow, gamma and a deeper scale",
       {90, 70, 0, 0, 25, kYellow, 0.5f},
       {"--width", "90", "--height", "70", "--palette", "yellow", "--gamma", "0.5",
        "--max-altitude", "25"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {"echogram", in, dir.Path("OUT.png")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Ran r = Zt615(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const Image got = DecodePng(dir.Path("OUT.png"));
    const View& v = c.view;
    EXPECT_EQ(got.width, v.width);
    EXPECT_EQ(got.height, v.height);
    const Image want =
        CoreImage(in, v.width, v.height, v.begin, v.end, v.max_m, v.palette, v.gamma);
    EXPECT_TRUE(got.rgb == want.rgb) << "pixels differ from the core's image";
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"OUT.png", "R.BIN"}));
  }
}

TEST(EchogramCommand, RefusesWithTheExitCodeAndLeavesNothing) {
  TempDir dir;
  const std::string good = WriteRecording(dir, "R.BIN");
  test::WriteAll(dir.Path("SHORT.BIN"), std::string(100, '\0'));
  TIMERSETTINGS odd = test::PlainHeader();
  odd.range_mm = 2500;
  LoggedFileBuilder(odd, 144).Ping(PingSpec{}).WriteTo(dir.Path("ODD.BIN"));
  const std::string out = dir.Path("OUT.png");
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* named;  // in the one stderr line of a refusal (exit 1)
  };
  const Case cases[] = {
      {"shorter than the header", {dir.Path("SHORT.BIN"), out}, 1, "SHORT.BIN"},
      {"range not in the table", {dir.Path("ODD.BIN"), out}, 1, "2500"},
      {"output is the input", {good, good}, 1, "input"},
      {"width 0", {good, out, "--width", "0"}, 2, nullptr},
      {"negative height", {good, out, "--height", "-5"}, 2, nullptr},
      {"width not a whole number", {good, out, "--width", "1.5"}, 2, nullptr},
      {"height not a number", {good, out, "--height", "abc"}, 2, nullptr},
      {"unknown palette", {good, out, "--palette", "blue"}, 2, nullptr},
      {"gamma 0", {good, out, "--gamma", "0"}, 2, nullptr},
      {"negative gamma", {good, out, "--gamma", "-1"}, 2, nullptr},
      {"altitude 0", {good, out, "--max-altitude", "0"}, 2, nullptr},
      {"altitude not a number", {good, out, "--max-altitude", "deep"}, 2, nullptr},
      {"end before begin", {good, out, "--begin", "20", "--end", "10"}, 2, nullptr},
      {"no output named", {good}, 2, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {"echogram"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Ran r = Zt615(args);
    EXPECT_EQ(r.status, c.status) << r.err;
    if (c.named != nullptr)
      ExpectOneLineNaming(r.err, c.named);
    else
      EXPECT_NE(r.err.find("usage: zt615 echogram"), std::string::npos) << r.err;
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"ODD.BIN", "R.BIN", "SHORT.BIN"}));
  }
}

// Many recordings at once: one PNG each, byte for byte what single runs write, a name two
// inputs share made unique, a refused file reported while the others are still drawn.
TEST(EchogramCommand, ManyFilesGiveWhatSingleRunsGive) {
  TempDir dir;
  std::filesystem::create_directory(std::filesystem::u8path(dir.Path("A")));
  std::filesystem::create_directory(std::filesystem::u8path(dir.Path("B")));
  const std::vector<std::string> inputs = {WriteRecording(dir, "A/R.BIN"),
                                           WriteRecording(dir, "B/r.BIN"), dir.Path("BAD.BIN"),
                                           WriteRecording(dir, "S.BIN")};
  test::WriteAll(dir.Path("BAD.BIN"), std::string(100, '\0'));
  const std::vector<std::string> size = {"--width", "64", "--height", "40", "--begin",
                                         std::to_string(kT0 + 5)};
  std::vector<std::string> args = {"echogram"};
  args.insert(args.end(), inputs.begin(), inputs.end());
  args.insert(args.end(), {"--out-dir", dir.Path("PICS"), "--jobs", "3"});
  args.insert(args.end(), size.begin(), size.end());
  const Ran r = Zt615(args);
  EXPECT_EQ(r.status, 1) << "a refused file among good ones";
  ExpectOneLineNaming(r.err, "BAD.BIN");
  EXPECT_EQ(r.out, "3 of 4 echograms written to " + dir.Path("PICS") + "\n");
  const struct {
    const char* input;
    const char* png;
  } made[] = {{"A/R.BIN", "R.png"}, {"B/r.BIN", "r-2.png"}, {"S.BIN", "S.png"}};
  std::vector<std::string> names;
  for (const auto& m : made) {
    SCOPED_TRACE(m.png);
    names.push_back(m.png);
    std::vector<std::string> single = {"echogram", dir.Path(m.input), dir.Path("single.png")};
    single.insert(single.end(), size.begin(), size.end());
    ASSERT_EQ(Zt615(single).status, 0);
    EXPECT_TRUE(test::ReadAll(dir.Path("single.png")) ==
                test::ReadAll(dir.Path("PICS/" + std::string(m.png))))
        << "differs from a single run";
  }
  std::sort(names.begin(), names.end());
  std::vector<std::string> got;
  for (const auto& e : std::filesystem::directory_iterator(std::filesystem::u8path(dir.Path("PICS"))))
    got.push_back(e.path().filename().u8string());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, names);

  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"echogram", inputs[0], inputs[1], dir.Path("X.png")},
        std::vector<std::string>{"echogram", inputs[0], dir.Path("X.png"), "--jobs", "2"},
        std::vector<std::string>{"echogram", inputs[0], "--out-dir", dir.Path("P"), "--jobs", "0"}}) {
    const Ran u = Zt615(bad);
    EXPECT_EQ(u.status, 2) << u.err;
    EXPECT_NE(u.err.find("usage: zt615 echogram"), std::string::npos) << u.err;
  }
}

}  // namespace
}  // namespace zt
