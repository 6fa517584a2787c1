// The exchanges of the Device info, Time synchronize and Upload settings dialogs, and the
// texts they show, without the dialogs: the dialogs and `zt615 device` share them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "device/protocol.h"
#include "platform/time.h"
#include "timers/timer_settings.h"

namespace zt {

inline constexpr char kMsgUnableToGetData[] = "Unable to get data from the device";
inline constexpr char kMsgUnableToCommunicate[] = "Unable to communicate with device";
inline constexpr char kMsgInsertSdCard[] = "Insert SD card into device!";
inline constexpr char kMsgTimeSynchronized[] = "Time synchronized";
inline constexpr char kMsgSettingsUploaded[] = "Settings uploaded";

constexpr unsigned kQueryPauseMs = 10;    // after each Device info query
constexpr unsigned kUploadPauseMs = 200;  // after each uploaded frame

struct DeviceInfo {
  uint32_t clock = 0;
  TiltResult tilt{0, 0};
  float temperature = 0;
  float battery = 0;
  SdCardResult sd{0, 0, 0};
  int32_t device_id = 0;
};

// GET_CLOCK, GET_TILT, GET_TEMPERATURE, GET_BATTERY, GET_SD_CARD, GET_DEVICE_ID in that
// order, 10 ms after each; stops at the first failure. Returns 0 or the failed query's
// result, with its code in *failed_code (kExchangeStopped when `clock` called it off).
// Pauses and deadlines run on `clock` (the system's when null), here and in the uploads.
int QueryDeviceInfo(platform::SerialPort* port, DeviceInfo* info, int32_t* failed_code,
                    platform::Clock* clock = nullptr);

// The seven lines of the Device info dialog, UTF-8 (the degree sign is U+00B0). The time
// line ends in a newline, as the dialog shows it.
std::array<std::string, 7> DeviceInfoLines(const DeviceInfo& info);

// "Www Mmm dd hh:mm:ss yyyy\n" (24 characters and the newline), the day padded with a blank.
std::string AscTimeText(const platform::CivilTime& c);

// Progress of an upload: called with the frames done so far and the bar's range.
using UploadProgress = std::function<void(int done, int total)>;

// "Added timers": UPLOAD_PREAMBLE_1, UPLOAD_PREAMBLE_2, then ADD_TIMER for each timer with
// its list position stored in the record's timer_index; 200 ms after each frame.
// Returns 0, or kSendFailed at the first frame the port did not take: nothing more is sent
// and *system_error (when given) receives the port's LastError(), 0 if it gave none.
// A null port, a negative count or a null timer is refused the same way before any frame.
// Once `clock` says the upload was called off, no further frame is sent: kExchangeStopped.
int UploadAddedTimers(platform::SerialPort* port, TIMERSETTINGS* const* timers, int count,
                      const UploadProgress& progress, int* system_error,
                      platform::Clock* clock = nullptr);
// "Default timer": SET_DEFAULT_TIMER with the record, then 200 ms. Returns as above.
int UploadDefaultTimer(platform::SerialPort* port, const TIMERSETTINGS& default_timer,
                       const UploadProgress& progress, int* system_error,
                       platform::Clock* clock = nullptr);

}  // namespace zt
