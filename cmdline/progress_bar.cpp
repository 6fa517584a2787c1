#include <cstdio>

#include "cmdline/progress_bar.h"
#include "platform/time.h"

#ifdef _WIN32
#include <io.h>
#define ZT_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define ZT_ISATTY(fd) isatty(fd)
#endif

namespace zt::cmdline {

bool StderrIsTerminal() { return ZT_ISATTY(2) != 0; }

ProgressBar::ProgressBar(std::string label, bool enabled)
    : label_(std::move(label)),
      enabled_(enabled && StderrIsTerminal()),
      start_ms_(platform::TickMs()) {}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::Update(uint64_t done, uint64_t total, uint64_t bytes) {
  if (!enabled_) return;
  uint64_t now = platform::TickMs();
  if (drawn_ && now - last_ms_ < 100 && done < total) return;
  last_ms_ = now;
  drawn_ = true;
  double frac = total ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
  double secs = static_cast<double>(now - start_ms_) / 1000.0;
  double mbps = secs > 0 ? static_cast<double>(bytes) / 1e6 / secs : 0.0;
  double left = frac > 0 ? secs / frac - secs : 0.0;
  const int width = 30;
  int filled = static_cast<int>(frac * width);
  char bar[width + 1];
  for (int k = 0; k < width; ++k) bar[k] = k < filled ? '#' : '.';
  bar[width] = '\0';
  std::fprintf(stderr, "\r%s [%s] %3d%%  %7.1f MB/s  %3d:%02d left ", label_.c_str(), bar,
               static_cast<int>(frac * 100), mbps, static_cast<int>(left) / 60,
               static_cast<int>(left) % 60);
  std::fflush(stderr);
}

void ProgressBar::Finish() {
  if (enabled_ && drawn_) {
    std::fputc('\n', stderr);
    drawn_ = false;
  }
}

}  // namespace zt::cmdline
