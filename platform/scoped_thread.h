// A thread of a piece of work, joined on every way out of the scope that started it, so that
// no thread outlives the data it works on and no early return or exception leaves one
// running. Where the system cannot start a thread, Start says so and the caller does the
// work itself.
#pragma once

#include <functional>
#include <system_error>
#include <thread>
#include <utility>

namespace zt::platform {

class ScopedThread {
 public:
  // `before_join` runs before the join on the way out (not by Join()): it tells the thread to
  // stop waiting for work that will no longer come.
  explicit ScopedThread(std::function<void()> before_join = {})
      : before_join_(std::move(before_join)) {}
  ~ScopedThread() {
    if (!thread_.joinable()) return;
    if (before_join_) before_join_();
    thread_.join();
  }
  ScopedThread(const ScopedThread&) = delete;
  ScopedThread& operator=(const ScopedThread&) = delete;

  // False when no thread could be started.
  template <typename Work>
  bool Start(Work&& work) {
    try {
      thread_ = std::thread(std::forward<Work>(work));
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  bool running() const { return thread_.joinable(); }

 private:
  std::function<void()> before_join_;
  std::thread thread_;
};

}  // namespace zt::platform
