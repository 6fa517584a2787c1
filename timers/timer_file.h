// TIMERS.DAT: the timer list as 32 slots of 128 bytes, the used slots first, then zeros.
#pragma once

#include <string>
#include <vector>

#include "timers/timer_settings.h"

namespace zt {

constexpr int MAX_TIMER_SLOTS = 32;
constexpr int kMaxTimers = MAX_TIMER_SLOTS - 1;  // the list holds at most 31 timers
constexpr int kTimerFileSize = MAX_TIMER_SLOTS * kTimerRecordSize;

// Writes the list: slot i gets timer i (whose timer_index is set to i in memory first),
// the rest 128 zero bytes each. At most 31 timers are written. A file is written beside
// the target and renamed into place only when complete, so a failed save never leaves a
// short file behind and an existing file at `path` stays as it was; a device or pipe is
// written through, "-" is standard output. Returns false with the system's error code in
// *error (0 for a refusal of ours: a folder, a disk, a terminal) and the reason in *why.
bool SaveTimerFile(const std::string& path, TIMERSETTINGS* const* timers, int timer_count,
                   int* error, std::string* why = nullptr);

// Reads a timer file back, for uploading it. Refuses (false, *why set) a file that is not
// exactly 4096 bytes, a slot whose record_size is neither 0 nor 128, an empty slot that is
// not all zero, a used slot after an empty one, a used slot 31, and a name without its NUL.
bool ReadTimerFile(const std::string& path, std::vector<TIMERSETTINGS>* timers, std::string* why);
// The same over bytes already in memory (`what` names them in messages).
bool ParseTimerFile(const uint8_t* data, size_t size, std::vector<TIMERSETTINGS>* timers,
                    std::string* why);

}  // namespace zt
