#include "viewer/recording.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <system_error>

namespace zt::viewer {

namespace {

// A part of the index is read between two looks at the stop flag: about 256 KiB from the
// medium (a record header costs a page where records are larger than two pages), some 8 ms
// on an SD card, so that a stop is seen at once and a read of the window's waits little.
uint32_t PartPings(uint32_t record_size) {
  constexpr uint32_t kPartBytes = 256 << 10;
  const uint32_t per_ping = std::min<uint32_t>(std::max<uint32_t>(record_size, 1), 4096);
  return std::max<uint32_t>(kPartBytes / per_ping, 1);
}

constexpr auto kNotifyEvery = std::chrono::milliseconds(100);

}  // namespace

// ---- background index ----------------------------------------------------------------

bool BackgroundIndex::Start(const std::string& path, uint32_t record_size, uint32_t count,
                            Notify notify, std::string* why) {
  Stop();
  done_.store(0);
  stop_.store(false);
  finished_.store(false);
  failed_.store(false);
  rising_.store(true);
  error_.clear();
  total_ = count;
  try {
    entries_.assign(count, PINGINDEX{0, 0});
    thread_ = std::thread(&BackgroundIndex::Run, this, path, record_size, std::move(notify));
  } catch (const std::bad_alloc&) {
    entries_ = {};
    *why = "not enough memory for the index of " + std::to_string(count) + " pings";
    return false;
  } catch (const std::system_error& e) {
    *why = std::string("the index could not be started: ") + e.what();
    return false;
  }
  return true;
}

void BackgroundIndex::Stop() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
}

std::string BackgroundIndex::error() const {
  std::lock_guard<std::mutex> lock(error_mu_);
  return error_;
}

void BackgroundIndex::Run(std::string path, uint32_t record_size, Notify notify) {
  platform::File file;
  auto fail = [&](const std::string& why) {
    {
      std::lock_guard<std::mutex> lock(error_mu_);
      error_ = path + ": " + why;
    }
    failed_.store(true, std::memory_order_release);
    finished_.store(true, std::memory_order_release);
    if (notify) notify(done(), total_, true);
  };
  if (!file.OpenRead(path)) return fail(platform::ErrorText(file.last_error()));
  const uint32_t part = PartPings(record_size);
  auto last_notify = std::chrono::steady_clock::now();
  uint32_t previous = 0;
  for (uint32_t k = 0; k < total_;) {
    if (stop_.load(std::memory_order_relaxed)) return;
    const uint32_t n = std::min(part, total_ - k);
    if (!ReadPingIndexRange(file, record_size, k, n, &entries_[k])) {
      const int code = file.last_error();
      return fail("the ping index could not be read: " +
                  (code != 0 ? platform::ErrorText(code) : std::string("the file ended early")));
    }
    for (uint32_t j = k; j < k + n; ++j) {
      if (j > 0 && entries_[j].time_utc < previous) rising_.store(false, std::memory_order_relaxed);
      previous = entries_[j].time_utc;
    }
    k += n;
    done_.store(k, std::memory_order_release);
    const auto now = std::chrono::steady_clock::now();
    if (notify && now - last_notify >= kNotifyEvery && k < total_) {
      last_notify = now;
      notify(k, total_, false);
    }
  }
  finished_.store(true, std::memory_order_release);
  if (notify) notify(total_, total_, true);
}

// ---- recording -----------------------------------------------------------------------

bool Recording::Open(const std::string& path, std::string* why) {
  Close();
  if (!file_.OpenRead(path)) {
    *why = platform::ErrorText(file_.last_error());
    return false;
  }
  if (!InspectLoggedFile(file_, &info_, why)) {
    file_.Close();
    return false;
  }
  path_ = path;
  first_time_ = last_time_ = 0;
  if (info_.ping_count > 0) {
    PINGINDEX first{}, last{};
    if (!ReadPingIndexEntry(file_, info_.record_size, 0, &first) ||
        !ReadPingIndexEntry(file_, info_.record_size, info_.ping_count - 1, &last)) {
      const int code = file_.last_error();
      *why = "the first and last ping could not be read" +
             (code != 0 ? ": " + platform::ErrorText(code) : std::string());
      file_.Close();
      return false;
    }
    first_time_ = static_cast<int32_t>(first.time_utc);
    last_time_ = static_cast<int32_t>(last.time_utc);
  }
  return true;
}

void Recording::Close() {
  index_.Stop();
  file_.Close();
  info_ = LoggedFileInfo();
  path_.clear();
  hint_ = 0;
  first_time_ = last_time_ = 0;
}

bool Recording::StartIndex(BackgroundIndex::Notify notify, std::string* why) {
  return index_.Start(path_, info_.record_size, info_.ping_count, std::move(notify), why);
}

bool Recording::TimeAt(uint32_t i, uint32_t* time_utc) {
  if (i < index_.done()) {
    *time_utc = index_.entries()[i].time_utc;
    return true;
  }
  PINGINDEX e{};
  if (!ReadPingIndexEntry(file_, info_.record_size, i, &e)) return false;
  *time_utc = e.time_utc;
  return true;
}

PingSpan Recording::Span(int32_t view_begin, int32_t view_end) {
  const uint32_t count = info_.ping_count;
  // Times that fall somewhere: the scan over the whole index decides, as the index would.
  if (indexed() && !index_.rising())
    return FindPingSpan(index_.entries(), count, view_begin, view_end);
  const PingSpan span = SearchPingSpan(
      [this](uint32_t i, uint32_t* t) { return TimeAt(i, t); }, count, view_begin, view_end,
      hint_);
  if (span.first < count) hint_ = span.first;
  return span;
}

}  // namespace zt::viewer
