#include <cerrno>
#include <ctime>
#include <mutex>
#include <time.h>
#include <unistd.h>

#include "platform/time.h"

namespace zt::platform {

uint64_t TickMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void SleepMs(unsigned ms) {
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  // Only a signal's interruption resumes (with the time left); any other error ends it.
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

int64_t NowUtcSeconds() { return static_cast<int64_t>(::time(nullptr)); }

int64_t LocalOffsetSeconds(int64_t t) {
  time_t tt = static_cast<time_t>(t);
  struct tm lt;
  if (!localtime_r(&tt, &lt)) return 0;
  return static_cast<int64_t>(lt.tm_gmtoff);
}

int StandardBiasMinutes() {
  // tzset() rewrites the C library's zone globals; exports running side by side call this.
  static std::mutex mu;
  std::lock_guard<std::mutex> lock(mu);
  tzset();
  // glibc's `timezone`: seconds west of UTC of the zone's standard time.
  return static_cast<int>(timezone / 60);
}

}  // namespace zt::platform
