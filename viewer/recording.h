// An open recording as the echogram window holds it: the file, its header, the times of its
// first and last ping, and its ping index, which a thread of its own builds from the record
// headers while the window already shows the first view. Until the index is complete the
// pings of a view are found by searching the file's times; once it is complete, a file
// whose times ever fall from one ping to the next gets the scan over the whole index, so the
// final picture is exactly the one the index gives.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "logfile/logfile.h"
#include "platform/file.h"
#include "viewer/echogram.h"

namespace zt::viewer {

// The ping index of a file, built on a thread of its own.
class BackgroundIndex {
 public:
  // Called on the indexing thread: after a part, at most ten times a second, and once at the
  // end (finished true, also after a failed read). Never after Stop() has returned.
  using Notify = std::function<void(uint32_t done, uint32_t total, bool finished)>;

  BackgroundIndex() = default;
  ~BackgroundIndex() { Stop(); }
  BackgroundIndex(const BackgroundIndex&) = delete;
  BackgroundIndex& operator=(const BackgroundIndex&) = delete;

  // Starts indexing `count` pings of `record_size` bytes of the file at `path`, read through
  // a handle of its own. False, with the reason, when the memory for the index (8 bytes a
  // ping) cannot be had or the thread cannot start.
  bool Start(const std::string& path, uint32_t record_size, uint32_t count, Notify notify,
             std::string* why);
  // Stops the thread after the part it is reading (a few milliseconds) and waits for it.
  void Stop();

  // Entries [0, done()) are final and may be read while the thread goes on.
  uint32_t done() const { return done_.load(std::memory_order_acquire); }
  uint32_t total() const { return total_; }
  const PINGINDEX* entries() const { return entries_.data(); }
  bool finished() const { return finished_.load(std::memory_order_acquire); }
  // After finished(): a read failed (the file shrank or the medium went away).
  bool failed() const { return failed_.load(std::memory_order_acquire); }
  std::string error() const;
  // Over [0, done()): no time is earlier than the one before it.
  bool rising() const { return rising_.load(std::memory_order_acquire); }

 private:
  void Run(std::string path, uint32_t record_size, Notify notify);

  std::vector<PINGINDEX> entries_;
  uint32_t total_ = 0;
  std::atomic<uint32_t> done_{0};
  std::atomic<bool> stop_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> failed_{false};
  std::atomic<bool> rising_{true};
  mutable std::mutex error_mu_;
  std::string error_;
  std::thread thread_;
};

class Recording {
 public:
  // Opens the file and reads what the first view needs: its header and the times of its
  // first and last ping. False, with the reason, for a file that is not a readable logged
  // file.
  bool Open(const std::string& path, std::string* why);
  // Stops the index and lets the file go.
  void Close();
  bool is_open() const { return file_.IsOpen(); }

  // Starts the index (see BackgroundIndex::Start).
  bool StartIndex(BackgroundIndex::Notify notify, std::string* why);
  const BackgroundIndex& index() const { return index_; }
  // The index is complete and the spans now follow from it alone.
  bool indexed() const { return index_.finished() && !index_.failed(); }

  platform::File& file() { return file_; }
  const LoggedFileInfo& info() const { return info_; }
  int32_t first_time() const { return first_time_; }
  int32_t last_time() const { return last_time_; }

  // The pings of the view [begin, end] (see FindPingSpan and SearchPingSpan).
  PingSpan Span(int32_t view_begin, int32_t view_end);

 private:
  bool TimeAt(uint32_t i, uint32_t* time_utc);

  std::string path_;
  platform::File file_;
  LoggedFileInfo info_;
  int32_t first_time_ = 0;
  int32_t last_time_ = 0;
  uint32_t hint_ = 0;
  BackgroundIndex index_;
};

}  // namespace zt::viewer
