#include "platform/file.h"

#include <atomic>
#include <chrono>

namespace zt::platform {

namespace {
std::atomic<ReadObserver> g_read_observer{nullptr};
}  // namespace

void SetReadObserver(ReadObserver observer) { g_read_observer.store(observer); }

void ObserveRead(int64_t bytes) {
  if (bytes <= 0) return;
  if (ReadObserver observer = g_read_observer.load(std::memory_order_relaxed))
    observer(static_cast<uint64_t>(bytes));
}

std::string TempPathBeside(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  auto ticks = static_cast<unsigned long long>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  return target + ".part-" + std::to_string(ticks % 1000000007ULL) + "-" +
         std::to_string(counter.fetch_add(1));
}

}  // namespace zt::platform
