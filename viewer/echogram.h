// The echogram viewer's portable core: the time window and its clamping, the pixel map that
// ties every image pixel to a ping and a sample, the palettes, the echogram and colour-scale
// images, the amplitude profile, the navigation arithmetic and the texts the window draws.
// It renders into plain pixel buffers that the window and `zt615 echogram` both use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "logfile/logfile.h"
#include "platform/file.h"

namespace zt::viewer {

struct PIXELMAP {
  int32_t ping;    // 0-based position of the ping in the file
  int32_t sample;  // index of the sample in that ping; 0 means no data
};
static_assert(sizeof(PIXELMAP) == 8);

// ---- value lists of the settings dialog and the wheel zoom ----------------------------

constexpr int kAltitudeStepCount = 16;
extern const float ALTITUDE_STEPS[kAltitudeStepCount];        // 1, 1.5, 2, ... 100 m
extern const char* const kAltitudeStepTexts[kAltitudeStepCount];  // "1", "1.5", ...
struct SpanChoice {
  const char* text;
  int32_t seconds;
};
constexpr int kSpanChoiceCount = 23;
extern const SpanChoice SPAN_CHOICES[kSpanChoiceCount];  // "1 min" 60 ... "5 years"
constexpr int kGammaChoiceCount = 5;
extern const float GAMMA_CHOICES[kGammaChoiceCount];      // 1.0, 0.9, 0.7, 0.5, 0.3
extern const char* const kGammaTexts[kGammaChoiceCount];  // "1.0", "0.9", ...
// Index of the entry equal to the value (exact), or -1.
int SpanIndexOf(int32_t seconds);
int AltitudeIndexOf(float metres);
int GammaIndexOf(float gamma);

enum PaletteKind : int32_t { kRainbow = 0, kYellow = 1 };

// ---- time window -----------------------------------------------------------------------

struct ViewWindow {
  int32_t view_begin = 0;
  int32_t view_end = 0;
  int32_t file_first_time = 0;
  int32_t file_last_time = 0;
  int32_t span_s = 600;
};

// Moves the window by `shift` seconds and keeps it inside [first, last], normally span_s
// long. Sums that would leave 32 bits are clamped, never wrapped.
void ClampView(ViewWindow* v, int64_t shift);
// The window for a newly opened file: from its first ping, span_s long, clamped.
void OpenView(ViewWindow* v, int32_t first_time, int32_t last_time);

// Wheel zoom of the depth scale: the next ALTITUDE_STEPS entry (delta > 0) or the previous
// one; a value not in the list counts as beyond its end.
float ZoomAltitude(float current_m, int delta);
// Wheel with the left button held: trunc(W' / 10) seconds.
int32_t WheelTimeShift(int map_width);
// Drag step: trunc((anchor_x - x) * (span_s / W' as a float)); 0 when W' is not positive.
int64_t DragShift(int32_t span_s, int map_width, int anchor_x, int x);

// ---- ping index ------------------------------------------------------------------------

// The index of an open logged file: 8 bytes a ping. Refuses (false, *why) a file that is not
// a readable logged file (short header, a range without a record size) or whose index
// cannot be read.
struct PingIndex {
  std::vector<PINGINDEX> pings;
  LoggedFileInfo info;
};
bool LoadPingIndex(platform::File& file, PingIndex* index, std::string* why);
// OpenView with the times of the index's first and last ping; [0, 0] without pings.
void OpenView(ViewWindow* v, const PingIndex& index);

// ---- pixel map -------------------------------------------------------------------------

struct PingSpan {
  uint32_t first;
  uint32_t last;
};
// The pings inside [view_begin, view_end] (times compared as unsigned 32-bit values): first
// is the first ping at or after the begin, last the highest position from first on at or
// before the end, each `count` when there is none. Both 0 is the whole file {0, count}, for
// which `pings` may be null (the count is all it needs); otherwise null pings match none.
PingSpan FindPingSpan(const PINGINDEX* pings, uint32_t count, int32_t view_begin,
                      int32_t view_end);

// The same span found by searching the pings' times, for files whose times never fall from
// one ping to the next (equal times allowed): there it equals FindPingSpan, at a few dozen
// looks at the times instead of a look at every one. `time_at` gives ping i's time_utc and
// false when it cannot be read; the search then finds nothing ({count, count}). The search
// starts near `hint` (the first ping of the view before), so a moved view costs little.
using PingTimeAt = std::function<bool(uint32_t i, uint32_t* time_utc)>;
PingSpan SearchPingSpan(const PingTimeAt& time_at, uint32_t count, int32_t view_begin,
                        int32_t view_end, uint32_t hint = 0);

// Fills W x H entries (row-major) for the view: column c shows ping first + trunc(c * N / W),
// row r sample trunc((r / H) * S * max_altitude_m / (range_mm / 1000)), 0 from S on.
// `samples` (S) and `range_mm` come from the file header; S 0 gives an all-zero map.
void MapPixels(const PINGINDEX* pings, uint32_t count, int32_t samples, int32_t range_mm,
               int32_t view_begin, int32_t view_end, float max_altitude_m, int width,
               int height, PIXELMAP* map);
// The same for a span already found (N = last - first).
void MapSpan(PingSpan span, int32_t samples, int32_t range_mm, int32_t view_begin,
             int32_t view_end, float max_altitude_m, int width, int height, PIXELMAP* map);
// What such a map holds, without its W x H entries: the ping of each column and the sample of
// each row (entry (c, r) = {column_ping[c], row_sample[r]}). False when memory runs short.
struct ViewAxes {
  std::vector<int32_t> column_ping;
  std::vector<int32_t> row_sample;
};
bool AxesOfSpan(PingSpan span, int32_t samples, int32_t range_mm, float max_altitude_m,
                int width, int height, ViewAxes* axes);

// ---- palette ---------------------------------------------------------------------------

constexpr float kPaletteHue = 48.0f;
constexpr float kPaletteSaturation = 0.99f;
constexpr int kPaletteSize = 65536;

void HsvToRgb(float h, float s, float v, float* r, float* g, float* b);
// 65536 x (red, green, blue), each 0 ... 255, single precision as the viewer computes it.
std::vector<float> BuildPalette(float hue, float saturation, float gamma, int32_t kind);

// The palette as the bytes an image gets (trunc(component + 0.5)), built once per kind and
// gamma and kept (hue 48, saturation 0.99). Thread-safe. When memory runs short, an
// all-black palette.
struct PaletteBytes {
  uint8_t rgb[kPaletteSize][3];
};
std::shared_ptr<const PaletteBytes> PaletteFor(int32_t kind, float gamma);
// The 1024 colours an image can have (entry 64a for amplitude a), the same bytes as
// PaletteFor's, without the other 64512 entries.
void ImageColours(int32_t kind, float gamma, uint8_t (*colours)[3]);

// ---- images ----------------------------------------------------------------------------

// Reads the pings of an open logged file for the image's columns: each distinct ping once,
// and those of the previous draw again only when they left the view. Call Clear() when
// another file is opened in the same File object.
class PingCache {
 public:
  // A record of `record_size` bytes for ping i; zero-filled when it cannot be read. A ping
  // the last draw did not hold is read into a spare record that the next call reuses.
  const uint8_t* Ping(platform::File& file, uint32_t record_size, uint32_t i);
  // Holds exactly the given pings (any order, repeats allowed): keeps those already held,
  // reads the others and drops the rest.
  void Hold(platform::File& file, uint32_t record_size, const std::vector<uint32_t>& pings);
  // The record of a held ping, or nullptr.
  const uint8_t* Find(uint32_t i) const;
  // Pings read from the file since the cache was made.
  uint64_t reads() const { return reads_; }
  void Clear();

 private:
  struct Entry {
    uint32_t ping;
    std::vector<uint8_t> record;
    // The amplitudes at the image rows' samples (rows_), for redraws of the same rows.
    std::vector<uint16_t> amplitudes;
  };
  // Forgets everything when the file or its record size is not the one the records are of.
  void Check(platform::File& file, uint32_t record_size);
  void Read(platform::File& file, uint32_t i, std::vector<uint8_t>* record);

  std::vector<Entry> entries_;  // sorted by ping
  std::vector<int32_t> rows_;   // sample of each image row the amplitudes are of
  // The last image's amplitudes, row by row, and the ping of each of its columns.
  std::vector<uint16_t> image_amplitudes_;
  std::vector<int32_t> image_columns_;
  std::vector<std::vector<uint8_t>> spare_;
  std::vector<uint8_t> single_;
  uint32_t single_ping_ = 0;
  bool single_valid_ = false;
  const platform::File* file_ = nullptr;
  uint32_t record_size_ = 0;
  int64_t file_size_ = -1;
  uint64_t reads_ = 0;
  friend struct PingCacheAccess;
};

// The echogram image: W x H pixels, top-down, 4 bytes a pixel (blue, green, red, 0). A pixel
// whose map entry has sample 0 gets palette entry 0; otherwise entry 64 x (low 10 bits of
// the sample of its column's ping, the one the column's top entry names; 0 past the
// record). `bgra` has room for W x H x 4 bytes. Pings are read through `cache` (null: read
// for this draw only). False when memory ran short: the image is then all black.
bool RenderEchogram(platform::File& file, uint32_t record_size, const PIXELMAP* map,
                    int width, int height, const PaletteBytes& palette, PingCache* cache,
                    uint8_t* bgra);

// The image of a map given by its axes, as RenderEchogram draws it without a cache, as the
// amplitude of each pixel (W x H, row by row, 0 ... 1023: the pixel's colour is palette entry
// 64 x amplitude). Each column's ping is read once into a buffer (two threads take half the
// columns each), so memory stays at a record or two whatever the width. False when memory
// ran short.
bool EchogramAmplitudes(platform::File& file, uint32_t record_size, const ViewAxes& axes,
                        std::vector<uint16_t>* amplitudes);

// The colour scale: w x h, bottom-up, pixel k (from the bottom-left, row by row upwards)
// palette entry trunc(k * 65535 / (w * h)).
void RenderColorScale(int width, int height, const PaletteBytes& palette, uint8_t* bgra);

// ---- amplitude profile -----------------------------------------------------------------

// The profile trace of image column `column` (0-based) over `height` rows of a strip
// `strip_width` wide: point i = (v * w / 1024, i) with v the whole 16-bit sample the map
// entry of row i names in `record` (also when that entry is 0). Empty when the column is
// outside the map.
std::vector<std::pair<float, float>> ProfilePoints(const uint8_t* record, uint32_t record_size,
                                                   const PIXELMAP* map, int map_width,
                                                   int map_height, int column, int strip_width);
// x of the threshold line: trunc(threshold_pct * w / 100).
int ThresholdX(int32_t threshold_pct, int strip_width);

// ---- drawing geometry and texts --------------------------------------------------------

// The dashed grid as one polyline of 20 points over a W x H area at (left, top); the odd
// pairs run right to left.
std::vector<std::pair<int, int>> GridPolyline(int left, int top, int width, int height);
// "%5.1f" of i x max_altitude_m / 10, i = 1 ... 10.
std::string DepthLabel(int i, float max_altitude_m);
// "hh:mm:ss dd.mm.yyyy (Local)" and "hh:mm:ss dd.mm.yyyy" of a view edge in local time.
std::string StartTimeLabel(int32_t t);
std::string EndTimeLabel(int32_t t);
// "%i%%" of 10 x i.
std::string ScaleLabel(int i);
// Status bar part 2 for a hovered ping record (header and footer as the record holds them).
std::string HoverText(const uint8_t* record, uint32_t record_size);
// Status bar part 1: "DEVICEID: %06d".
std::string DeviceIdText(int32_t device_id);

}  // namespace zt::viewer
