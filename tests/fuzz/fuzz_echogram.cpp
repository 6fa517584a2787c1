// An echogram of a logged ping file made of the input: the ping index, the time window as
// the window moves it or as `zt615 echogram` takes it, the pixel map, the image (drawn again
// through the cache after a drag: it must be the image drawn without one), the colour
// scale, the profile and the hover text; where the times rise, the window's search for a
// view's pings against the scan.
//
// Input: 16 bytes of view, then the file. View: width - 1, height - 1, flags (bit 0 the
// yellow palette, bit 1 the window's view), gamma choice, max altitude (float bits; not a
// positive finite number: the file's range), begin and end (int32; for the window's view
// the span and the drag shift).
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "logfile/logfile.h"
#include "tests/fuzz/fuzz_util.h"
#include "viewer/echogram.h"

using namespace zt;
using namespace zt::viewer;

namespace {

constexpr size_t kViewBytes = 16;

struct Echogram {
  platform::File& file;
  const PingIndex& index;
  int width, height;
  float altitude;
  const PaletteBytes& palette;
  std::vector<PIXELMAP> map;
  std::vector<uint8_t> image;

  // Draws [begin, end] with and without the cache and compares the two.
  void Draw(const PINGINDEX* pings, int32_t begin, int32_t end, PingCache* cache) {
    const LoggedFileInfo& info = index.info;
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    map.assign(pixels, PIXELMAP{0, 0});
    MapPixels(pings, info.ping_count, info.samples, info.header.range_mm, begin, end, altitude,
              width, height, map.data());
    image.assign(pixels * 4, 0);
    RenderEchogram(file, info.record_size, map.data(), width, height, palette, nullptr,
                   image.data());
    std::vector<uint8_t> cached(pixels * 4, 0);
    RenderEchogram(file, info.record_size, map.data(), width, height, palette, cache,
                   cached.data());
    if (cached != image) __builtin_trap();
  }

  void Hover(int column) {
    const uint32_t size = index.info.record_size;
    std::vector<uint8_t> record(size, 0);
    const int32_t ping = map[static_cast<size_t>(column)].ping;
    if (ping >= 0 && size > 0) ReadPingSized(file, record.data(), size, static_cast<uint32_t>(ping));
    ProfilePoints(record.data(), size, map.data(), width, height, column, 100);
    HoverText(record.data(), size);
  }
};

// The window's first views are found by searching the times read from the file: where they
// never fall, that must be the scan's span.
void SearchAgreesWhereTimesRise(platform::File& file, const PingIndex& index, int32_t begin,
                                int32_t end) {
  const std::vector<PINGINDEX>& p = index.pings;
  for (size_t i = 1; i < p.size(); ++i)
    if (p[i].time_utc < p[i - 1].time_utc) return;
  const uint32_t count = index.info.ping_count;
  const PingSpan scan = FindPingSpan(p.data(), count, begin, end);
  const PingSpan found = SearchPingSpan(
      [&](uint32_t i, uint32_t* t) {
        PINGINDEX e{};
        if (!ReadPingIndexEntry(file, index.info.record_size, i, &e)) return false;
        *t = e.time_utc;
        return true;
      },
      count, begin, end, count / 2);
  if (found.first != scan.first || found.last != scan.last) __builtin_trap();
}

int32_t I32(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kViewBytes) return 0;
  const fuzz::Scratch& scratch = fuzz::Scratch::Get();
  platform::File file;
  PingIndex index;
  std::string why;
  if (file.OpenRead(scratch.Write("DATA0001.BIN", data + kViewBytes, size - kViewBytes)) &&
      InspectLoggedFile(file, &index.info, &why)) {
    const bool window = data[2] & 2;
    float altitude;
    std::memcpy(&altitude, data + 4, 4);
    if (!(std::isfinite(altitude) && altitude > 0.0f))
      altitude = static_cast<float>(index.info.header.range_mm) / 1000.0f;
    const auto palette =
        PaletteFor(data[2] & 1 ? kYellow : kRainbow, GAMMA_CHOICES[data[3] % kGammaChoiceCount]);
    Echogram e{file, index, 1 + data[0], 1 + data[1], altitude, *palette, {}, {}};
    PingCache cache;
    int32_t begin = I32(data + 8), end = I32(data + 12);
    if (window) {  // opened, then dragged by `end` seconds
      if (LoadPingIndex(file, &index, &why)) {
        ViewWindow v;
        v.span_s = begin;
        OpenView(&v, index);
        e.Draw(index.pings.data(), v.view_begin, v.view_end, &cache);
        SearchAgreesWhereTimesRise(file, index, v.view_begin, v.view_end);
        ClampView(&v, end);
        e.Draw(index.pings.data(), v.view_begin, v.view_end, &cache);
        e.Hover(e.width / 2);
        StartTimeLabel(v.view_begin);
        EndTimeLabel(v.view_end);
      }
    } else if (begin == 0 && end == 0) {  // the whole file needs no index
      e.Draw(nullptr, 0, 0, &cache);
      e.Hover(e.width - 1);
    } else if (static_cast<uint32_t>(end) >= static_cast<uint32_t>(begin) &&
               LoadPingIndex(file, &index, &why)) {
      e.Draw(index.pings.data(), begin, end, &cache);
      e.Hover(0);
    }
    std::vector<uint8_t> scale(16 * static_cast<size_t>(e.height) * 4);
    RenderColorScale(16, e.height, e.palette, scale.data());
    DepthLabel(1 + data[3] % 10, altitude);
  }
  file.Close();
  scratch.Clear();
  return 0;
}
