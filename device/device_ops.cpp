#include "device/device_ops.h"

#include <cstdio>

#include "platform/short_number.h"

namespace zt {
namespace {

const char kDegree[] = "\xC2\xB0";

}  // namespace

int QueryDeviceInfo(platform::SerialPort* port, DeviceInfo* info, int32_t* failed_code,
                    platform::Clock* clock) {
  platform::Clock& ticks = clock ? *clock : platform::SystemClock();
  struct Query {
    int32_t code;
    void* result;
  };
  DeviceInfo got = *info;
  const Query queries[] = {{GET_CLOCK, &got.clock},           {GET_TILT, &got.tilt},
                           {GET_TEMPERATURE, &got.temperature}, {GET_BATTERY, &got.battery},
                           {GET_SD_CARD, &got.sd},             {GET_DEVICE_ID, &got.device_id}};
  for (const Query& q : queries) {
    if (ticks.Stopped()) {
      if (failed_code) *failed_code = q.code;
      return kExchangeStopped;
    }
    const int rc = ZR615_GetData(port, q.code, q.result, &ticks);
    ticks.Sleep(kQueryPauseMs);
    if (rc < 0) {
      if (failed_code) *failed_code = q.code;
      return rc;
    }
  }
  *info = got;
  return 0;
}

std::string AscTimeText(const platform::CivilTime& c) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  platform::CivilTime midnight = c;
  midnight.hour = midnight.minute = midnight.second = 0;
  const int64_t days = platform::SecondsFromCivil(midnight) / 86400;
  const int weekday = static_cast<int>(((days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
  const int month = c.month >= 1 && c.month <= 12 ? c.month - 1 : 0;
  char names[32];
  std::snprintf(names, sizeof names, "%.3s %.3s%3d ", kDays[weekday], kMonths[month], c.day);
  return names + platform::CivilText(c, "hh:mm:ss Y\n");
}

std::array<std::string, 7> DeviceInfoLines(const DeviceInfo& info) {
  std::array<std::string, 7> lines;
  char buf[128];
  lines[0] = "ZT615 Echosounder";
  std::snprintf(buf, sizeof buf, "Device ID: %06d", info.device_id);
  lines[1] = buf;
  lines[2] = "Time (Local): " + AscTimeText(platform::LocalCivil(info.clock));
  lines[3] = "Temperature: " + FixedNumber(info.temperature, 1) + kDegree + "C";
  lines[4] = "Tilt X: " + FixedNumber(info.tilt.x, 1) + kDegree +
             " Tilt Y: " + FixedNumber(info.tilt.y, 1) + kDegree;
  lines[5] = "Battery: " + FixedNumber(info.battery, 1) + " Volts";
  if (info.sd.present != 0) {
    lines[6] = "SD card free space: " +
               std::to_string(static_cast<long long>(info.sd.free_bytes())) + " Bytes";
  } else {
    lines[6] = "SD card: Not present";
  }
  return lines;
}

int UploadAddedTimers(platform::SerialPort* port, TIMERSETTINGS* const* timers, int count,
                      const UploadProgress& progress, int* system_error,
                      platform::Clock* clock) {
  platform::Clock& ticks = clock ? *clock : platform::SystemClock();
  if (system_error) *system_error = 0;
  bool listed = port != nullptr && count >= 0 && (count == 0 || timers != nullptr);
  for (int i = 0; listed && i < count; ++i) listed = timers[i] != nullptr;
  if (!listed) return kSendFailed;
  const int total = count + 2;
  int done = 0;
  if (progress) progress(done, total);
  // One frame; a frame the line did not take ends the upload there, without its pause.
  bool stopped = false;
  auto send = [&](int32_t code, const TIMERSETTINGS* record) {
    if (ticks.Stopped()) return !(stopped = true);
    if (ZR615_SendCommand(port, code, record) != 0) {
      if (system_error) *system_error = port->LastError();
      return false;
    }
    ++done;
    if (progress) progress(done, total);
    ticks.Sleep(kUploadPauseMs);
    return true;
  };
  if (!send(UPLOAD_PREAMBLE_1, nullptr) || !send(UPLOAD_PREAMBLE_2, nullptr))
    return stopped ? kExchangeStopped : kSendFailed;
  for (int i = 0; i < count; ++i) {
    timers[i]->timer_index = i;
    if (!send(ADD_TIMER, timers[i])) return stopped ? kExchangeStopped : kSendFailed;
  }
  return 0;
}

int UploadDefaultTimer(platform::SerialPort* port, const TIMERSETTINGS& default_timer,
                       const UploadProgress& progress, int* system_error,
                       platform::Clock* clock) {
  platform::Clock& ticks = clock ? *clock : platform::SystemClock();
  if (system_error) *system_error = 0;
  if (!port) return kSendFailed;
  if (progress) progress(0, 1);
  if (ticks.Stopped()) return kExchangeStopped;
  if (ZR615_SendCommand(port, SET_DEFAULT_TIMER, &default_timer) != 0) {
    if (system_error) *system_error = port->LastError();
    return kSendFailed;
  }
  if (progress) progress(1, 1);
  ticks.Sleep(kUploadPauseMs);
  return 0;
}

}  // namespace zt
