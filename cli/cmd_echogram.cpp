// zt615 echogram: the echogram image of a logged ping file as a PNG, pixel for pixel what
// the control program's echogram window shows in its image area; of many files at once, one
// PNG each, drawn side by side.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <new>
#include <set>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "cli/png.h"
#include "logfile/logfile.h"
#include "platform/file.h"
#include "platform/output_file.h"
#include "viewer/echogram.h"

namespace zt::cli {

const char kEchogramHelp[] =
    "usage: zt615 echogram FILE.BIN OUT.png [OPTIONS]\n"
    "       zt615 echogram FILE.BIN... --out-dir DIR [--jobs N] [OPTIONS]\n"
    "options: [--width W] [--height H] [--begin T] [--end T] [--max-altitude M]\n"
    "         [--palette rainbow|yellow] [--gamma G]\n"
    "\n"
    "Draws the echogram of a logged ping file as a W x H PNG (8-bit RGB): time from left to\n"
    "right, one ping per column, distance from the transducer from top to bottom, exactly\n"
    "the image the control program's echogram window shows (without its grid and labels).\n"
    "\n"
    "  --out-dir DIR           one PNG for each FILE.BIN, named after it (DATA0001.BIN gives\n"
    "                          DIR/DATA0001.png; a name that two inputs share gets -2, -3 ...);\n"
    "                          DIR is made if missing. A refused file is reported and the\n"
    "                          others are still drawn\n"
    "  --jobs N                with --out-dir: files drawn at once (default: the cores)\n"
    "  --width W, --height H   image size in pixels, 1-16384 (default 1200 x 600)\n"
    "  --begin T, --end T      the time window, seconds since 1970 UTC; both 0 or both\n"
    "                          omitted: the whole file; one omitted: the file's first or\n"
    "                          last ping time\n"
    "  --max-altitude M        metres shown at the bottom row, above 0 (default: the file's\n"
    "                          range)\n"
    "  --palette rainbow|yellow  colours of the amplitudes (default rainbow)\n"
    "  --gamma G               exponent of the yellow palette, above 0 (default 1.0)\n"
    "\n"
    "The whole-file view reads only the pings it shows; any other view reads the times of\n"
    "the pings from their record headers, then the pings it shows. Rows below the recorded\n"
    "range are black, and so is the top row. Progress is shown on stderr when it is a\n"
    "terminal.\n"
    "OUT.png is written under a temporary name in its folder\n"
    "and renamed when complete; an existing OUT.png is replaced (keeping its permissions),\n"
    "a link's target is written and the link kept. OUT.png \"-\" is standard output (not a\n"
    "terminal); a device or named pipe is written directly.\n"
    "Exit status: 0 done, 1 a file was refused or a read or write failed (one line on\n"
    "stderr for each), 2 usage error.\n";

namespace {

constexpr long long kMaxSide = 16384;

// A size option: a whole number of pixels.
bool SideOption(const ParsedArgs& a, const char* name, int* out) {
  if (!a.Has(name)) return true;
  long long v = 0;
  if (!ParseInt(a.Get(name), &v) || v < 1 || v > kMaxSide) return false;
  *out = static_cast<int>(v);
  return true;
}

// A time option: seconds since 1970 as the logger counts them (unsigned 32 bits), held as
// the window holds them.
bool TimeOption(const ParsedArgs& a, const char* name, int32_t* out) {
  long long v = 0;
  if (!ParseInt(a.Get(name), &v) || v < 0 || v > UINT32_MAX) return false;
  *out = static_cast<int32_t>(static_cast<uint32_t>(v));
  return true;
}

bool PositiveOption(const ParsedArgs& a, const char* name, float* out) {
  if (!a.Has(name)) return true;
  float v = 0;
  if (!ParseFloat(a.Get(name), &v) || !(v > 0.0f)) return false;
  *out = v;
  return true;
}

struct EchogramOptions {
  int width, height;
  int32_t begin, end;
  bool has_begin, has_end;
  float max_altitude;  // 0: the file's range
  int32_t palette;
  float gamma;
};

// Draws one recording into `out_path`; empty on success, else the line that says why.
std::string DrawEchogram(const std::string& in_path, const std::string& out_path,
                         EchogramOptions o) {
  if (platform::OutputIsInput(out_path, in_path))
    return platform::OutputName(out_path) + ": is the input file; choose another output";
  platform::File in;
  viewer::PingIndex index;
  std::string why;
  if (!OpenLoggedFile(in_path, &in, &index.info, &why)) return in_path + ": " + why;
  const LoggedFileInfo& info = index.info;
  if (o.max_altitude <= 0.0f) o.max_altitude = static_cast<float>(info.header.range_mm) / 1000.0f;
  // The whole file needs only the ping count; any other view needs every ping's time, read
  // from the record headers: the scan over them is exact whatever order the times are in.
  const bool whole_file = o.begin == 0 && o.end == 0 && o.has_begin == o.has_end;
  if (!whole_file) {
    if (!viewer::LoadPingIndex(in, &index, &why)) return in_path + ": " + why;
    if (!o.has_begin && !index.pings.empty())
      o.begin = static_cast<int32_t>(index.pings.front().time_utc);
    if (!o.has_end && !index.pings.empty())
      o.end = static_cast<int32_t>(index.pings.back().time_utc);
    if (static_cast<uint32_t>(o.end) < static_cast<uint32_t>(o.begin))
      return in_path + ": the view would end at " + std::to_string(static_cast<uint32_t>(o.end)) +
             ", before it begins at " + std::to_string(static_cast<uint32_t>(o.begin));
  }
  std::vector<uint8_t> png;
  try {
    // The pixel map's axes only: a column's ping and a row's sample say it all. Each
    // pixel's amplitude picks the palette entry 64 x amplitude.
    viewer::ViewAxes axes;
    const viewer::PingSpan span =
        viewer::FindPingSpan(index.pings.data(), info.ping_count, o.begin, o.end);
    index.pings = {};
    std::vector<uint16_t> amplitudes;
    uint8_t colours[1024][3];
    viewer::ImageColours(o.palette, o.gamma, colours);
    if (!viewer::AxesOfSpan(span, info.samples, info.header.range_mm, o.max_altitude, o.width,
                            o.height, &axes) ||
        !viewer::EchogramAmplitudes(in, info.record_size, axes, &amplitudes) ||
        !EncodePng(amplitudes.data(), colours, o.width, o.height, &png))
      throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
    return platform::OutputName(out_path) + ": not enough memory for a " +
           std::to_string(o.width) + " x " + std::to_string(o.height) + " image";
  }
  if (!platform::WriteOutput(out_path, png.data(), png.size(), platform::OutputRule::kReplace,
                             /*binary=*/true, nullptr, &why))
    return platform::OutputName(out_path) + ": " + why;
  return {};
}

// The PNG of each input in `dir`, named after it; a name already taken (also in another
// case, which Windows folders do not tell apart) gets -2, -3 ...
std::vector<std::string> OutputNames(const std::vector<std::string>& inputs,
                                     const std::string& dir) {
  namespace fs = std::filesystem;
  std::set<std::string> taken;
  std::vector<std::string> names;
  for (const std::string& in : inputs) {
    const std::string stem = fs::u8path(in).stem().u8string();
    std::string name = stem + ".png";
    for (int k = 2;; ++k) {
      std::string folded = name;
      for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (taken.insert(folded).second) break;
      name = stem + "-" + std::to_string(k) + ".png";
    }
    names.push_back((fs::u8path(dir) / fs::u8path(name)).u8string());
  }
  return names;
}

int DrawMany(const std::vector<std::string>& inputs, const std::string& dir, int jobs,
             const EchogramOptions& o) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::u8path(dir), ec);
  if (!std::filesystem::is_directory(std::filesystem::u8path(dir)))
    return Fail(dir + ": " + (ec ? ec.message() : std::string("is not a folder")));
  const std::vector<std::string> outputs = OutputNames(inputs, dir);
  std::atomic<size_t> next{0};
  std::mutex mu;  // one line at a time on stderr, and the bar
  size_t done = 0, refused = 0;
  ProgressBar bar("drawing", true);
  auto work = [&] {
    for (size_t k; (k = next.fetch_add(1)) < inputs.size();) {
      const std::string why = DrawEchogram(inputs[k], outputs[k], o);
      std::lock_guard<std::mutex> lock(mu);
      if (!why.empty()) {
        bar.Finish();
        Fail(why);
        ++refused;
      }
      bar.Update(++done, inputs.size(), 0);
    }
  };
  std::vector<std::thread> helpers;
  for (int t = 1; t < std::min<int>(jobs, static_cast<int>(inputs.size())); ++t) {
    try {
      helpers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // fewer at once; the rest is done by those there are
    }
  }
  work();
  for (std::thread& t : helpers) t.join();
  bar.Finish();
  std::printf("%zu of %zu echograms written to %s\n", inputs.size() - refused, inputs.size(),
              dir.c_str());
  return refused == 0 ? kExitOk : kExitFailed;
}

}  // namespace

int RunEchogram(const Call& call) {
  const ParsedArgs& a = call.args;
  int width = 1200, height = 600;
  if (!SideOption(a, "width", &width))
    return call.Usage("--width needs a whole number of pixels from 1 to 16384");
  if (!SideOption(a, "height", &height))
    return call.Usage("--height needs a whole number of pixels from 1 to 16384");
  int32_t begin = 0, end = 0;
  if (a.Has("begin") && !TimeOption(a, "begin", &begin))
    return call.Usage("--begin needs whole seconds since 1970 (0 to 4294967295)");
  if (a.Has("end") && !TimeOption(a, "end", &end))
    return call.Usage("--end needs whole seconds since 1970 (0 to 4294967295)");
  if (a.Has("begin") && a.Has("end") && static_cast<uint32_t>(end) < static_cast<uint32_t>(begin))
    return call.Usage("--end is before --begin");
  int32_t palette = viewer::kRainbow;
  if (a.Has("palette")) {
    const std::string p = a.Get("palette");
    if (p == "rainbow")
      palette = viewer::kRainbow;
    else if (p == "yellow")
      palette = viewer::kYellow;
    else
      return call.Usage("unknown palette '" + p + "' (rainbow or yellow)");
  }
  float gamma = 1.0f, max_altitude = 0.0f;
  if (!PositiveOption(a, "gamma", &gamma))
    return call.Usage("--gamma needs a number above 0");
  if (!PositiveOption(a, "max-altitude", &max_altitude))
    return call.Usage("--max-altitude needs a number of metres above 0");

  EchogramOptions o{width, height, begin, end, a.Has("begin"), a.Has("end"),
                    a.Has("max-altitude") ? max_altitude : 0.0f, palette, gamma};
  if (!a.Has("out-dir")) {
    if (a.positional.size() != 2)
      return call.Usage("needs an input FILE.BIN and an output OUT.png, or --out-dir");
    if (a.Has("jobs")) return call.Usage("--jobs goes with --out-dir");
    const std::string why = DrawEchogram(a.positional[0], a.positional[1], o);
    return why.empty() ? kExitOk : Fail(why);
  }
  long long jobs = std::max(1u, std::thread::hardware_concurrency());
  if (a.Has("jobs") && (!ParseInt(a.Get("jobs"), &jobs) || jobs < 1 || jobs > 256))
    return call.Usage("--jobs needs a whole number from 1 to 256");
  if (a.positional.empty()) return call.Usage("needs at least one FILE.BIN");
  return DrawMany(a.positional, a.Get("out-dir"), static_cast<int>(jobs), o);
}

}  // namespace zt::cli
