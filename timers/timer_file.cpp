#include "timers/timer_file.h"

#include <cstring>

#include "platform/file.h"
#include "platform/output_file.h"

namespace zt {

bool SaveTimerFile(const std::string& path, TIMERSETTINGS* const* timers, int timer_count,
                   int* error, std::string* why) {
  if (timer_count > kMaxTimers) timer_count = kMaxTimers;
  if (timer_count < 0) timer_count = 0;
  uint8_t file[kTimerFileSize];
  std::memset(file, 0, sizeof file);
  for (int i = 0; i < timer_count; ++i) {
    timers[i]->timer_index = i;
    EncodeTimerSettings(*timers[i], file + i * kTimerRecordSize);
  }

  return platform::WriteOutput(path, file, sizeof file, platform::OutputRule::kReplace,
                               /*binary=*/true, error, why);
}

bool ParseTimerFile(const uint8_t* data, size_t size, std::vector<TIMERSETTINGS>* timers,
                    std::string* why) {
  if (size != static_cast<size_t>(kTimerFileSize)) {
    *why = "not a timer file: " + std::to_string(size) + " bytes, a timer file has " +
           std::to_string(kTimerFileSize);
    return false;
  }
  std::vector<TIMERSETTINGS> out;
  bool empty_seen = false;
  for (int slot = 0; slot < MAX_TIMER_SLOTS; ++slot) {
    const uint8_t* p = data + slot * kTimerRecordSize;
    const TIMERSETTINGS t = DecodeTimerSettings(p);
    const std::string where = "slot " + std::to_string(slot) + ": ";
    if (t.record_size == 0) {
      for (int i = 0; i < kTimerRecordSize; ++i) {
        if (p[i] != 0) {
          *why = where + "record size 0 marks an empty slot, but the slot is not all zero";
          return false;
        }
      }
      empty_seen = true;
      continue;
    }
    if (t.record_size != kTimerRecordSize) {
      *why = where + "record size " + std::to_string(t.record_size) + ", expected 128 or 0";
      return false;
    }
    if (empty_seen) {
      *why = where + "a timer after an empty slot";
      return false;
    }
    if (slot == MAX_TIMER_SLOTS - 1) {
      *why = where + "the last slot must be empty (at most 31 timers)";
      return false;
    }
    if (std::memchr(t.timer_name, 0, sizeof t.timer_name) == nullptr) {
      *why = where + "the timer name has no terminating NUL";
      return false;
    }
    out.push_back(t);
  }
  *timers = std::move(out);
  return true;
}

bool ReadTimerFile(const std::string& path, std::vector<TIMERSETTINGS>* timers,
                   std::string* why) {
  platform::File f;
  if (!f.OpenRead(path)) {
    *why = platform::ErrorText(f.last_error());
    return false;
  }
  const int64_t size = f.Size();
  if (size < 0) {
    *why = platform::ErrorText(f.last_error());
    return false;
  }
  if (size != kTimerFileSize) {
    *why = "not a timer file: " + std::to_string(size) + " bytes, a timer file has " +
           std::to_string(kTimerFileSize);
    return false;
  }
  uint8_t data[kTimerFileSize];
  const int64_t n = f.Read(data, sizeof data);
  if (n < 0) {
    *why = platform::ErrorText(f.last_error());
    return false;
  }
  return ParseTimerFile(data, static_cast<size_t>(n), timers, why);
}

}  // namespace zt
