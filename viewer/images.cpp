// The echogram and colour-scale images, the pings they need, the amplitude profile and the
// grid.
#include <algorithm>
#include <cstring>
#include <new>

#include "logfile/logfile.h"
#include "platform/le_bytes.h"
#include "platform/scoped_thread.h"
#include "platform/trace.h"
#include "viewer/echogram.h"

namespace zt::viewer {

namespace {

// Amplitude a (the low 10 bits of a sample) is drawn with palette entry 64a: the 1024
// colours an image can have, as blue, green, red, 0.
struct PixelColours {
  uint8_t bgra[1024][4];
};

void ColoursOf(const PaletteBytes& palette, PixelColours* out) {
  for (int a = 0; a < 1024; ++a) {
    const uint8_t* rgb = palette.rgb[a * 64];
    out->bgra[a][0] = rgb[2];
    out->bgra[a][1] = rgb[1];
    out->bgra[a][2] = rgb[0];
    out->bgra[a][3] = 0;
  }
}

// Sample `sample` of a record, or 0 when the record does not reach it.
inline uint16_t SampleAt(const uint8_t* record, uint32_t record_size, int32_t sample) {
  if (record == nullptr || sample < 0) return 0;
  const uint64_t at = kEchoHeaderSize + 2 * static_cast<uint64_t>(sample);
  return at + 2 <= record_size ? LoadU16(record + at) : 0;
}

}  // namespace

// ---- ping cache ------------------------------------------------------------------------

void PingCache::Clear() {
  entries_.clear();
  rows_.clear();
  image_amplitudes_.clear();
  image_columns_.clear();
  spare_.clear();
  single_valid_ = false;
  file_ = nullptr;
  record_size_ = 0;
  file_size_ = -1;
}

void PingCache::Check(platform::File& file, uint32_t record_size) {
  const int64_t size = file.Size();
  if (&file == file_ && record_size == record_size_ && size == file_size_) return;
  Clear();
  file_ = &file;
  record_size_ = record_size;
  file_size_ = size;
}

void PingCache::Read(platform::File& file, uint32_t i, std::vector<uint8_t>* record) {
  record->assign(record_size_, 0);
  if (record_size_ == 0) return;  // no record size: nothing may be read
  ++reads_;
  const int64_t got = ReadPingSized(file, record->data(), record_size_, i);
  // A short read is a ping the file does not wholly hold: the whole record counts as unread.
  if (got != static_cast<int64_t>(record_size_)) std::fill(record->begin(), record->end(), 0);
}

const uint8_t* PingCache::Find(uint32_t i) const {
  auto it = std::lower_bound(entries_.begin(), entries_.end(), i,
                             [](const Entry& e, uint32_t p) { return e.ping < p; });
  return it != entries_.end() && it->ping == i ? it->record.data() : nullptr;
}

const uint8_t* PingCache::Ping(platform::File& file, uint32_t record_size, uint32_t i) {
  Check(file, record_size);
  if (const uint8_t* held = Find(i)) return held;
  if (!single_valid_ || single_ping_ != i) {
    Read(file, i, &single_);
    single_ping_ = i;
    single_valid_ = true;
  }
  return single_.data();
}

void PingCache::Hold(platform::File& file, uint32_t record_size,
                     const std::vector<uint32_t>& pings) {
  Check(file, record_size);
  std::vector<uint32_t> wanted(pings);
  std::sort(wanted.begin(), wanted.end());
  wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());

  // Both lists are sorted: one walk keeps the held records that are still wanted and
  // frees the others for reuse.
  std::vector<Entry> next;
  next.reserve(wanted.size());
  size_t k = 0;
  for (uint32_t p : wanted) {
    while (k < entries_.size() && entries_[k].ping < p)
      spare_.push_back(std::move(entries_[k++].record));
    if (k < entries_.size() && entries_[k].ping == p) {
      next.push_back(std::move(entries_[k++]));
      continue;
    }
    next.push_back(Entry{p, {}, {}});
  }
  while (k < entries_.size()) spare_.push_back(std::move(entries_[k++].record));
  for (Entry& e : next) {
    if (e.record.size() == record_size_) continue;
    if (!spare_.empty()) {
      e.record = std::move(spare_.back());
      spare_.pop_back();
    }
    Read(file, e.ping, &e.record);
  }
  entries_ = std::move(next);
  spare_.clear();
}

// ---- images ----------------------------------------------------------------------------

// What the image needs of the held pings beyond their records.
struct PingCacheAccess {
  // The rows' samples of this draw; amplitudes taken for other rows are dropped.
  static void SetRows(PingCache* cache, std::vector<int32_t>&& rows) {
    if (rows == cache->rows_) return;
    cache->rows_ = std::move(rows);
    for (PingCache::Entry& e : cache->entries_) e.amplitudes.clear();
    cache->image_columns_.clear();
  }
  // The amplitudes of the whole image row by row, rebuilt only when its columns show other
  // pings than the last time (the rows are those of SetRows).
  static const uint16_t* Image(PingCache* cache, std::vector<int32_t>&& columns,
                               const std::vector<const uint16_t*>& column_amplitudes) {
    const size_t w = columns.size(), h = cache->rows_.size();
    if (columns != cache->image_columns_ || cache->image_amplitudes_.size() != w * h) {
      cache->image_columns_.clear();  // invalid until complete
      cache->image_amplitudes_.resize(w * h);
      uint16_t* image = cache->image_amplitudes_.data();
      for (size_t r = 0; r < h; ++r)
        for (size_t c = 0; c < w; ++c) image[r * w + c] = column_amplitudes[c][r];
      cache->image_columns_ = std::move(columns);
    }
    return cache->image_amplitudes_.data();
  }
  // The amplitudes of a held ping at the rows' samples (0 for no data and for samples past
  // the record), taken once while the rows stay the same; nullptr for a ping not held.
  static const uint16_t* Amplitudes(PingCache* cache, uint32_t ping) {
    auto it = std::lower_bound(cache->entries_.begin(), cache->entries_.end(), ping,
                               [](const PingCache::Entry& e, uint32_t p) { return e.ping < p; });
    if (it == cache->entries_.end() || it->ping != ping) return nullptr;
    const std::vector<int32_t>& rows = cache->rows_;
    if (it->amplitudes.size() != rows.size()) {
      it->amplitudes.resize(rows.size());
      for (size_t r = 0; r < rows.size(); ++r)
        it->amplitudes[r] =
            rows[r] == 0 ? 0 : SampleAt(it->record.data(), cache->record_size_, rows[r]) & 1023u;
    }
    return it->amplitudes.data();
  }
};

namespace {

void DrawImage(platform::File& file, uint32_t record_size, const PIXELMAP* map, size_t w, size_t h,
               const PixelColours& colours, PingCache* cache, uint8_t* bgra) {
  // Column c shows the ping its top entry names; a negative one is no ping at all.
  std::vector<uint32_t> wanted;
  wanted.reserve(w);
  for (size_t c = 0; c < w; ++c)
    if (map[c].ping >= 0) wanted.push_back(static_cast<uint32_t>(map[c].ping));
  cache->Hold(file, record_size, wanted);

  // A map made by MapPixels names one sample per row: each column's amplitudes at those
  // samples are taken once and kept with its ping, and the image's amplitudes row by row,
  // so that a redraw touches no record. An entry naming another sample than its row's
  // first is read from the record itself.
  std::vector<int32_t> rows(h);
  for (size_t r = 0; r < h; ++r) rows[r] = map[r * w].sample;
  PingCacheAccess::SetRows(cache, std::move(rows));
  const std::vector<uint16_t> none(h, 0);
  std::vector<const uint8_t*> record(w, nullptr);
  std::vector<const uint16_t*> amplitudes(w, none.data());
  for (size_t c = 0; c < w; ++c) {
    if (map[c].ping < 0) continue;
    const uint32_t ping = static_cast<uint32_t>(map[c].ping);
    record[c] = cache->Find(ping);
    if (const uint16_t* a = PingCacheAccess::Amplitudes(cache, ping)) amplitudes[c] = a;
  }

  std::vector<int32_t> columns(w);
  for (size_t c = 0; c < w; ++c) columns[c] = map[c].ping;
  const uint16_t* image = PingCacheAccess::Image(cache, std::move(columns), amplitudes);

  for (size_t r = 0; r < h; ++r) {
    const PIXELMAP* row = map + r * w;
    const int32_t row_sample = row[0].sample;
    const uint16_t* amplitude = image + r * w;
    uint8_t* out = bgra + r * w * 4;
    for (size_t c = 0; c < w; ++c) {
      const int32_t s = row[c].sample;
      const unsigned a = s == row_sample ? amplitude[c]
                         : s == 0        ? 0u
                                         : SampleAt(record[c], record_size, s) & 1023u;
      std::memcpy(out + 4 * c, colours.bgra[a], 4);
    }
  }
}

// The amplitudes of columns [c0, c1) at the rows' samples into `amplitudes` (W x H, row by
// row): each column's ping read into one buffer of its own, once for a run of columns that
// show the same ping.
void ColumnAmplitudes(platform::File& file, uint32_t record_size, const ViewAxes& axes,
                      size_t c0, size_t c1, uint16_t* amplitudes) {
  const size_t w = axes.column_ping.size();
  const std::vector<int32_t>& rows = axes.row_sample;
  std::vector<uint8_t> record(record_size, 0);
  int64_t held = -1;  // the ping in `record`
  for (size_t c = c0; c < c1; ++c) {
    const int32_t ping = axes.column_ping[c];
    if (ping < 0 || record_size == 0) continue;
    if (ping != held) {
      const int64_t got = ReadPingSized(file, record.data(), record_size, static_cast<uint32_t>(ping));
      // A ping the file does not wholly hold counts as unread, as in the cache.
      if (got != static_cast<int64_t>(record_size)) std::fill(record.begin(), record.end(), 0);
      held = ping;
    }
    for (size_t r = 0; r < rows.size(); ++r)
      amplitudes[r * w + c] = rows[r] == 0 ? 0
                              : static_cast<uint16_t>(SampleAt(record.data(), record_size, rows[r]) & 1023u);
  }
}

void FillAmplitudes(platform::File& file, uint32_t record_size, const ViewAxes& axes,
                    uint16_t* amplitudes) {
  const size_t w = axes.column_ping.size();
  const size_t half = w / 2;
  bool failed = false;
  auto second_half = [&] {
    try {
      ColumnAmplitudes(file, record_size, axes, half, w, amplitudes);
    } catch (const std::bad_alloc&) {
      failed = true;
    }
  };
  {
    platform::ScopedThread helper;
    if (!helper.Start(second_half)) second_half();  // no thread: one half after the other
    try {
      ColumnAmplitudes(file, record_size, axes, 0, half, amplitudes);
    } catch (const std::bad_alloc&) {
      failed = true;
    }
  }
  if (failed) throw std::bad_alloc();
}

void DrawAxes(platform::File& file, uint32_t record_size, const ViewAxes& axes,
              const PixelColours& colours, uint8_t* bgra) {
  const size_t w = axes.column_ping.size(), h = axes.row_sample.size();
  std::vector<uint16_t> amplitudes(w * h, 0);
  FillAmplitudes(file, record_size, axes, amplitudes.data());
  for (size_t k = 0; k < w * h; ++k) std::memcpy(bgra + 4 * k, colours.bgra[amplitudes[k]], 4);
}

// The axes of a map whose rows each name one sample, as MapPixels makes them; false for any
// other map.
bool AxesOfMap(const PIXELMAP* map, size_t w, size_t h, ViewAxes* axes) {
  axes->column_ping.resize(w);
  axes->row_sample.resize(h);
  for (size_t c = 0; c < w; ++c) axes->column_ping[c] = map[c].ping;
  for (size_t r = 0; r < h; ++r) {
    const PIXELMAP* row = map + r * w;
    axes->row_sample[r] = row[0].sample;
    for (size_t c = 1; c < w; ++c)
      if (row[c].sample != row[0].sample) return false;
  }
  return true;
}

}  // namespace

bool RenderEchogram(platform::File& file, uint32_t record_size, const PIXELMAP* map, int width,
                    int height, const PaletteBytes& palette, PingCache* cache, uint8_t* bgra) {
  if (bgra == nullptr || width <= 0 || height <= 0) return true;
  const size_t w = static_cast<size_t>(width);
  const size_t h = static_cast<size_t>(height);
  PixelColours colours;
  ColoursOf(palette, &colours);
  if (map == nullptr) {  // nothing to show: no-data colour everywhere
    for (size_t k = 0; k < w * h; ++k) std::memcpy(bgra + 4 * k, colours.bgra[0], 4);
    return true;
  }
  PingCache own;
  try {
    // Without a cache, a map of one sample a row is drawn from its axes, holding no records.
    ViewAxes axes;
    if (cache == nullptr && AxesOfMap(map, w, h, &axes)) {
      DrawAxes(file, record_size, axes, colours, bgra);
      return true;
    }
    if (cache == nullptr) cache = &own;
    DrawImage(file, record_size, map, w, h, colours, cache, bgra);
    return true;
  } catch (const std::bad_alloc&) {
    // What was held may be half rearranged: let it go, and show nothing rather than a
    // part of the picture.
    if (cache != nullptr) cache->Clear();
    std::memset(bgra, 0, w * h * 4);
    platform::DebugTrace("RenderEchogram: no memory for %d columns of pings\n", width);
    return false;
  }
}

bool EchogramAmplitudes(platform::File& file, uint32_t record_size, const ViewAxes& axes,
                        std::vector<uint16_t>* amplitudes) {
  try {
    amplitudes->assign(axes.column_ping.size() * axes.row_sample.size(), 0);
    FillAmplitudes(file, record_size, axes, amplitudes->data());
    return true;
  } catch (const std::bad_alloc&) {
    amplitudes->clear();
    return false;
  }
}

void RenderColorScale(int width, int height, const PaletteBytes& palette, uint8_t* bgra) {
  if (bgra == nullptr || width <= 0 || height <= 0) return;
  const int64_t n = int64_t{width} * height;
  // Pixel k counts from the bottom-left, and so does the bottom-up image's memory.
  for (int64_t k = 0; k < n; ++k) {
    const uint8_t* rgb = palette.rgb[k * 65535 / n];
    uint8_t* out = bgra + 4 * k;
    out[0] = rgb[2];
    out[1] = rgb[1];
    out[2] = rgb[0];
    out[3] = 0;
  }
}

// ---- amplitude profile -----------------------------------------------------------------

std::vector<std::pair<float, float>> ProfilePoints(const uint8_t* record, uint32_t record_size,
                                                   const PIXELMAP* map, int map_width,
                                                   int map_height, int column, int strip_width) {
  std::vector<std::pair<float, float>> points;
  if (map == nullptr || map_width <= 0 || map_height <= 0 || column < 0 || column >= map_width)
    return points;
  points.reserve(static_cast<size_t>(map_height));
  for (int i = 0; i < map_height; ++i) {
    const PIXELMAP& e =
        map[static_cast<size_t>(i) * static_cast<size_t>(map_width) + static_cast<size_t>(column)];
    // The whole 16-bit word, also for an entry without data (sample 0).
    const uint16_t v = SampleAt(record, record_size, e.sample);
    const float x = static_cast<float>(int64_t{v} * strip_width) / 1024.0f;
    points.emplace_back(x, static_cast<float>(i));
  }
  return points;
}

int ThresholdX(int32_t threshold_pct, int strip_width) {
  const double x = static_cast<double>(threshold_pct) * strip_width / 100.0;
  if (x <= INT32_MIN) return INT32_MIN;
  if (x >= INT32_MAX) return INT32_MAX;
  return static_cast<int>(x);
}

// ---- grid ------------------------------------------------------------------------------

std::vector<std::pair<int, int>> GridPolyline(int left, int top, int width, int height) {
  std::vector<std::pair<int, int>> points;
  if (width <= 0 || height <= 0) return points;
  // Coordinates past the int range stay at its edge.
  auto clamp = [](int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  };
  const int right = clamp(int64_t{left} + width);
  for (int k = 1; k <= 10; ++k) {
    const int y = clamp(int64_t{top} + int64_t{2} * k * height / 20);
    if (k % 2 == 1) {
      points.emplace_back(right, y);
      points.emplace_back(left, y);
    } else {
      points.emplace_back(left, y);
      points.emplace_back(right, y);
    }
  }
  return points;
}

}  // namespace zt::viewer
