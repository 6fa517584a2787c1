// The echogram's costs, measured in one run against a literal design:
//   echogram_bench redraw FILE [W H SPAN REPEAT]
//     one redraw of a W x H image (default 1600 x 900) of the window's first view (SPAN
//     seconds from the first ping, default 600) after a first draw: ours (cached palette,
//     pings held from the draw before) against the literal steps (the palette built afresh,
//     one whole-record read per column from the file, then the pixels), once with the
//     buffer of W records allocated for each draw as the literal steps do, and once with it
//     kept between draws. Prints "ours_ms literal_ms literal_kept_ms" (the fastest of
//     REPEAT runs each).
//   echogram_bench open FILE
//     builds the ping index as the command line does; prints "pings seconds".
//   echogram_bench first-view FILE MBPS [W H [WAIT]]
//     the window's path through a reader slowed to MBPS megabytes a second (it sleeps for
//     every read, rounded up to whole 4 KiB pages, as long as the medium would take; one read
//     at a time): open the recording, draw the first view
//     (W x H, default 1600 x 900, span 600 s), then the ping index on its own thread to the
//     end (WAIT 0: the index is stopped after the first view, its figures are then 0).
//     Prints "first_view_s first_view_bytes index_s index_bytes".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "logfile/logfile.h"
#include "platform/file.h"
#include "viewer/echogram.h"
#include "viewer/recording.h"

namespace {

using namespace zt;
using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

struct Setup {
  platform::File file;
  viewer::PingIndex index;
  viewer::ViewWindow view;
  int width = 1600, height = 900;
  float max_m = 100.0f;
};

void Map(Setup& s, std::vector<viewer::PIXELMAP>* map) {
  viewer::MapPixels(s.index.pings.data(), s.index.info.ping_count, s.index.info.samples,
                    s.index.info.header.range_mm, s.view.view_begin, s.view.view_end, s.max_m,
                    s.width, s.height, map->data());
}

// The draw as the literal steps have it: palette built for this draw, one record read per
// column into one buffer of W records, then every pixel from the palette's float entries.
// `kept`: a buffer of W records from the draw before, else a fresh one.
void LiteralDraw(Setup& s, std::vector<viewer::PIXELMAP>* map, std::vector<uint8_t>* bgra,
                 std::vector<uint8_t>* kept) {
  Map(s, map);
  const uint32_t rs = s.index.info.record_size;
  const std::vector<float> palette =
      viewer::BuildPalette(viewer::kPaletteHue, viewer::kPaletteSaturation, 1.0f, viewer::kRainbow);
  const size_t w = static_cast<size_t>(s.width);
  std::vector<uint8_t> fresh;
  std::vector<uint8_t>& records = kept != nullptr ? *kept : fresh;
  records.assign(w * rs, 0);
  for (size_t c = 0; c < w; ++c)
    ReadPingSized(s.file, records.data() + c * rs, rs, static_cast<uint32_t>((*map)[c].ping));
  for (size_t r = 0; r < static_cast<size_t>(s.height); ++r) {
    for (size_t c = 0; c < w; ++c) {
      const viewer::PIXELMAP& e = (*map)[r * w + c];
      size_t index = 0;
      if (e.sample != 0) {
        const uint8_t* p = records.data() + c * rs + 64 + 2 * static_cast<size_t>(e.sample);
        index = 64u * ((p[0] | (p[1] << 8)) & 1023u);
      }
      uint8_t* out = bgra->data() + 4 * (r * w + c);
      out[0] = static_cast<uint8_t>(palette[3 * index + 2] + 0.5);
      out[1] = static_cast<uint8_t>(palette[3 * index + 1] + 0.5);
      out[2] = static_cast<uint8_t>(palette[3 * index] + 0.5);
      out[3] = 0;
    }
  }
}

void OurDraw(Setup& s, viewer::PingCache* cache, std::vector<viewer::PIXELMAP>* map,
             std::vector<uint8_t>* bgra) {
  Map(s, map);
  viewer::RenderEchogram(s.file, s.index.info.record_size, map->data(), s.width, s.height,
                         *viewer::PaletteFor(viewer::kRainbow, 1.0f), cache, bgra->data());
}

int Redraw(const char* path, int argc, char** argv) {
  Setup s;
  std::string why;
  if (!s.file.OpenRead(path) || !viewer::LoadPingIndex(s.file, &s.index, &why)) {
    std::fprintf(stderr, "%s: %s\n", path, why.c_str());
    return 1;
  }
  if (argc > 0) s.width = std::atoi(argv[0]);
  if (argc > 1) s.height = std::atoi(argv[1]);
  if (argc > 2) s.view.span_s = std::atoi(argv[2]);
  const int repeat = argc > 3 ? std::atoi(argv[3]) : 20;
  viewer::OpenView(&s.view, s.index);
  const size_t pixels = static_cast<size_t>(s.width) * s.height;
  std::vector<viewer::PIXELMAP> map(pixels);
  std::vector<uint8_t> ours(pixels * 4), literal(pixels * 4);

  viewer::PingCache cache;
  OurDraw(s, &cache, &map, &ours);  // the first draw
  std::vector<uint8_t> kept;
  double best_ours = 1e30, best_literal = 1e30, best_kept = 1e30;
  for (int k = 0; k < repeat; ++k) {
    auto t0 = Clock::now();
    OurDraw(s, &cache, &map, &ours);
    auto t1 = Clock::now();
    LiteralDraw(s, &map, &literal, nullptr);
    auto t2 = Clock::now();
    LiteralDraw(s, &map, &literal, &kept);
    auto t3 = Clock::now();
    best_ours = std::min(best_ours, Ms(t0, t1));
    best_literal = std::min(best_literal, Ms(t1, t2));
    best_kept = std::min(best_kept, Ms(t2, t3));
  }
  if (ours != literal) {
    std::fprintf(stderr, "the two draws differ\n");
    return 1;
  }
  const viewer::PingSpan span = viewer::FindPingSpan(s.index.pings.data(), s.index.info.ping_count,
                                                     s.view.view_begin, s.view.view_end);
  std::fprintf(stderr, "%u pings in the view, %u in the file\n", span.last - span.first,
               s.index.info.ping_count);
  std::printf("%.3f %.3f %.3f\n", best_ours, best_literal, best_kept);
  return 0;
}

int Open(const char* path) {
  platform::File f;
  viewer::PingIndex index;
  std::string why;
  auto t0 = Clock::now();
  if (!f.OpenRead(path) || !viewer::LoadPingIndex(f, &index, &why)) {
    std::fprintf(stderr, "%s: %s\n", path, why.c_str());
    return 1;
  }
  auto t1 = Clock::now();
  std::printf("%zu %.3f\n", index.pings.size(), Ms(t0, t1) / 1000.0);
  return 0;
}

// The slowed reader: every byte delivered costs the time the medium would take, and the
// medium serves one read at a time, in the order asked (the index's thread and the
// drawing share it).
std::atomic<uint64_t> g_bytes_read{0};
thread_local uint64_t t_bytes_read = 0;
double g_seconds_per_byte = 0.0;
std::mutex g_medium;
std::condition_variable g_turn;
uint64_t g_next_ticket = 0, g_serving = 0;
thread_local double t_owed_s = 0.0;  // read time not yet slept, below a sleep's precision
void SlowRead(uint64_t delivered) {
  // A medium reads whole pages: a 12-byte header costs 4 KiB.
  const uint64_t bytes = (delivered + 4095) / 4096 * 4096;
  g_bytes_read += bytes;
  t_bytes_read += bytes;
  t_owed_s += bytes * g_seconds_per_byte;
  if (t_owed_s < 0.002) return;  // many small reads are slept for together
  std::unique_lock<std::mutex> lock(g_medium);
  const uint64_t ticket = g_next_ticket++;
  g_turn.wait(lock, [&] { return g_serving == ticket; });
  lock.unlock();
  const auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(t_owed_s));
  t_owed_s -= std::chrono::duration<double>(Clock::now() - start).count();
  lock.lock();
  ++g_serving;
  g_turn.notify_all();
}

int FirstView(const char* path, int argc, char** argv) {
  g_seconds_per_byte = 1.0 / (std::atof(argv[0]) * 1e6);
  const int width = argc > 1 ? std::atoi(argv[1]) : 1600, height = argc > 2 ? std::atoi(argv[2]) : 900;
  const bool wait_index = argc > 3 ? std::atoi(argv[3]) != 0 : true;
  platform::SetReadObserver(SlowRead);
  auto t0 = Clock::now();
  viewer::Recording rec;
  std::string why;
  if (!rec.Open(path, &why)) {
    std::fprintf(stderr, "%s: %s\n", path, why.c_str());
    return 1;
  }
  viewer::ViewWindow view;
  viewer::OpenView(&view, rec.first_time(), rec.last_time());
  std::vector<viewer::PIXELMAP> map(static_cast<size_t>(width) * height);
  std::vector<uint8_t> bgra(map.size() * 4);
  viewer::PingCache cache;
  const LoggedFileInfo& info = rec.info();
  viewer::MapSpan(rec.Span(view.view_begin, view.view_end), info.samples, info.header.range_mm,
                  view.view_begin, view.view_end, static_cast<float>(info.header.range_mm) / 1000,
                  width, height, map.data());
  viewer::RenderEchogram(rec.file(), info.record_size, map.data(), width, height,
                         *viewer::PaletteFor(viewer::kRainbow, 1.0f), &cache, bgra.data());
  auto t1 = Clock::now();
  // What this thread read for the first view (the index reads on its own thread).
  const uint64_t drawn_bytes = t_bytes_read;
  // Then the index, as the window starts it once the first view is drawn.
  std::atomic<bool> finished{false};
  if (!rec.StartIndex([&](uint32_t, uint32_t, bool f) { finished = f; }, &why)) return 1;
  if (!wait_index) {
    rec.Close();
    std::printf("%.3f %llu 0 0\n", Ms(t0, t1) / 1000.0, static_cast<unsigned long long>(drawn_bytes));
    return 0;
  }
  while (!finished) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  auto t2 = Clock::now();
  std::printf("%.3f %llu %.3f %llu\n", Ms(t0, t1) / 1000.0,
              static_cast<unsigned long long>(drawn_bytes),
              Ms(t0, t2) / 1000.0, static_cast<unsigned long long>(g_bytes_read.load()));
  return rec.index().failed() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::string(argv[1]) == "first-view") return FirstView(argv[2], argc - 3, argv + 3);
  if (argc >= 3 && std::string(argv[1]) == "redraw") return Redraw(argv[2], argc - 3, argv + 3);
  if (argc == 3 && std::string(argv[1]) == "open") return Open(argv[2]);
  std::fprintf(stderr,
               "usage: echogram_bench redraw FILE [W H SPAN REPEAT] | open FILE |\n"
               "       first-view FILE MBPS [W H]\n");
  return 2;
}
