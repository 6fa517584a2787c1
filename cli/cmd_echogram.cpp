// zt615 echogram: the echogram image of a logged ping file as a PNG, pixel for pixel what
// the control program's echogram window shows in its image area.
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "cli/cli.h"
#include "logfile/logfile.h"
#include "platform/file.h"
#include "platform/output_file.h"
#include "viewer/echogram.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include "stb_image_write.h"

namespace zt::cli {
namespace {

const char kHelp[] =
    "usage: zt615 echogram FILE.BIN OUT.png [--width W] [--height H] [--begin T] [--end T]\n"
    "                      [--max-altitude M] [--palette rainbow|yellow] [--gamma G]\n"
    "\n"
    "Draws the echogram of a logged ping file as a W x H PNG (8-bit RGB): time from left to\n"
    "right, one ping per column, distance from the transducer from top to bottom, exactly\n"
    "the image the control program's echogram window shows (without its grid and labels).\n"
    "\n"
    "  --width W, --height H   image size in pixels, 1-16384 (default 1200 x 600)\n"
    "  --begin T, --end T      the time window, seconds since 1970 UTC; both 0 or both\n"
    "                          omitted: the whole file; one omitted: the file's first or\n"
    "                          last ping time\n"
    "  --max-altitude M        metres shown at the bottom row, above 0 (default: the file's\n"
    "                          range)\n"
    "  --palette rainbow|yellow  colours of the amplitudes (default rainbow)\n"
    "  --gamma G               exponent of the yellow palette, above 0 (default 1.0)\n"
    "\n"
    "The whole-file view reads only the pings it shows. Rows below the recorded range are\n"
    "black, and so is the top row. OUT.png is written under a temporary name in its folder\n"
    "and renamed when complete; an existing OUT.png is replaced (keeping its permissions),\n"
    "a link's target is written and the link kept. OUT.png \"-\" is standard output (not a\n"
    "terminal); a device or named pipe is written directly.\n"
    "Exit status: 0 done, 1 a file was refused or a read or write failed (one line on\n"
    "stderr), 2 usage error.\n";

int RunEchogram(const std::vector<std::string>& args);
const Command kCommand{"echogram", "draw a logged file's echogram as a PNG", kHelp, RunEchogram};
const Registrar kRegistrar(kCommand);

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

void AppendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

int RunEchogram(const std::vector<std::string>& args) {
  ParsedArgs a = ParseArgs(args, {{"width", true},
                                  {"height", true},
                                  {"begin", true},
                                  {"end", true},
                                  {"max-altitude", true},
                                  {"palette", true},
                                  {"gamma", true}});
  if (a.help) return PrintHelp(kCommand);
  if (!a.error.empty()) return UsageError(kCommand, a.error);
  if (a.positional.size() != 2)
    return UsageError(kCommand, "needs an input FILE.BIN and an output OUT.png");

  int width = 1200, height = 600;
  if (!SideOption(a, "width", &width))
    return UsageError(kCommand, "--width needs a whole number of pixels from 1 to 16384");
  if (!SideOption(a, "height", &height))
    return UsageError(kCommand, "--height needs a whole number of pixels from 1 to 16384");
  int32_t begin = 0, end = 0;
  if (a.Has("begin") && !TimeOption(a, "begin", &begin))
    return UsageError(kCommand, "--begin needs whole seconds since 1970 (0 to 4294967295)");
  if (a.Has("end") && !TimeOption(a, "end", &end))
    return UsageError(kCommand, "--end needs whole seconds since 1970 (0 to 4294967295)");
  if (a.Has("begin") && a.Has("end") && static_cast<uint32_t>(end) < static_cast<uint32_t>(begin))
    return UsageError(kCommand, "--end is before --begin");
  int32_t palette = viewer::kRainbow;
  if (a.Has("palette")) {
    const std::string p = a.Get("palette");
    if (p == "rainbow")
      palette = viewer::kRainbow;
    else if (p == "yellow")
      palette = viewer::kYellow;
    else
      return UsageError(kCommand, "unknown palette '" + p + "' (rainbow or yellow)");
  }
  float gamma = 1.0f, max_altitude = 0.0f;
  if (!PositiveOption(a, "gamma", &gamma))
    return UsageError(kCommand, "--gamma needs a number above 0");
  if (!PositiveOption(a, "max-altitude", &max_altitude))
    return UsageError(kCommand, "--max-altitude needs a number of metres above 0");

  const std::string& in_path = a.positional[0];
  const std::string& out_path = a.positional[1];
  if (platform::OutputIsInput(out_path, in_path))
    return Fail(platform::OutputName(out_path) + ": is the input file; choose another output");

  platform::File in;
  viewer::PingIndex index;
  std::string why;
  if (!OpenLoggedFile(in_path, &in, &index.info, &why)) return Fail(in_path + ": " + why);
  const LoggedFileInfo& info = index.info;
  if (!a.Has("max-altitude")) max_altitude = static_cast<float>(info.header.range_mm) / 1000.0f;

  // The whole file needs only the ping count; any other view needs every ping's time.
  const bool whole_file = begin == 0 && end == 0 && a.Has("begin") == a.Has("end");
  if (!whole_file) {
    if (!viewer::LoadPingIndex(in, &index, &why)) return Fail(in_path + ": " + why);
    if (!a.Has("begin") && !index.pings.empty())
      begin = static_cast<int32_t>(index.pings.front().time_utc);
    if (!a.Has("end") && !index.pings.empty())
      end = static_cast<int32_t>(index.pings.back().time_utc);
    if (static_cast<uint32_t>(end) < static_cast<uint32_t>(begin))
      return Fail(in_path + ": the view would end at " +
                  std::to_string(static_cast<uint32_t>(end)) + ", before it begins at " +
                  std::to_string(static_cast<uint32_t>(begin)));
  }

  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint8_t> png;
  try {
    std::vector<viewer::PIXELMAP> map(pixels);
    viewer::MapPixels(index.pings.data(), info.ping_count, info.samples, info.header.range_mm,
                      begin, end, max_altitude, width, height, map.data());
    std::vector<uint8_t> bgra(pixels * 4);
    if (!viewer::RenderEchogram(in, info.record_size, map.data(), width, height,
                                *viewer::PaletteFor(palette, gamma), nullptr, bgra.data()))
      throw std::bad_alloc();
    map = {};
    std::vector<uint8_t> rgb(pixels * 3);
    for (size_t k = 0; k < pixels; ++k) {
      rgb[3 * k] = bgra[4 * k + 2];
      rgb[3 * k + 1] = bgra[4 * k + 1];
      rgb[3 * k + 2] = bgra[4 * k];
    }
    bgra = {};
    if (!stbi_write_png_to_func(AppendBytes, &png, width, height, 3, rgb.data(), width * 3))
      return Fail(out_path + ": the PNG could not be encoded");
  } catch (const std::bad_alloc&) {
    return Fail(out_path + ": not enough memory for a " + std::to_string(width) + " x " +
                std::to_string(height) + " image");
  }
  std::string why_not;
  if (!platform::WriteOutput(out_path, png.data(), png.size(), platform::OutputRule::kReplace,
                             /*binary=*/true, nullptr, &why_not))
    return Fail(platform::OutputName(out_path) + ": " + why_not);
  return kExitOk;
}

}  // namespace
}  // namespace zt::cli
