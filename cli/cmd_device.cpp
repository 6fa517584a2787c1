// zt615 device: the Device info, Time synchronize and Upload settings exchanges of the
// control program, from the command line. Each run opens the port, does its exchange and
// closes the port again.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "device/device_ops.h"
#include "device/protocol.h"
#include "platform/file.h"
#include "platform/serial_port.h"
#include "platform/time.h"
#include "timers/timer_file.h"
#include "timers/timer_values.h"

namespace zt::cli {

const char kDeviceHelp[] =
    "usage: zt615 device info --port PORT\n"
    "       zt615 device sync --port PORT\n"
    "       zt615 device upload --port PORT (--default | --timers TIMERS.DAT)\n"
    "\n"
    "Talks to a ZT615 logger on a serial port (115200 baud, 8N1). PORT is a device path on\n"
    "Linux (/dev/ttyUSB0) and a port name on Windows (COM3); 'zt615 ports' lists them.\n"
    "\n"
    "  info     reads the clock, tilt, temperature, battery, SD card and device id and\n"
    "           prints them as the Device info dialog shows them, then the difference\n"
    "           between the device clock and this computer's clock\n"
    "  sync     sets the device clock to this computer's UTC time, as \"Sync\" does, and\n"
    "           prints the device clock before and after\n"
    "  upload   after checking for an SD card, uploads the default timer (--default: the\n"
    "           default settings, as the Default Timer dialog sets them) or the timers of a\n"
    "           timer file (--timers), as the Upload settings dialog does; 200 ms a frame\n"
    "\n"
    "Exit status: 0 done, 1 the port could not be opened or written to, the device did\n"
    "not answer properly, or the timer file was refused, 2 usage error.\n";

namespace {

std::unique_ptr<platform::SerialPort> OpenPort(const std::string& port, std::string* why) {
  int error = 0;
  // "COM3" (any letter case) is port 3 on Windows; anything else is a path.
  std::unique_ptr<platform::SerialPort> p = platform::OpenSerialPort(port, &error);
  if (!p) *why = port + ": " + platform::ErrorText(error);
  return p;
}

// A frame the line did not take: the port, what was lost and the system's reason.
std::string SendFailure(const std::string& port_name, const std::string& what, int code) {
  return port_name + ": " + what + " could not be sent: " +
         (code != 0 ? platform::ErrorText(code) : std::string("the port took only part of it"));
}

std::string UtcText(int64_t t) {
  return platform::CivilText(platform::UtcCivil(t), "YYYY-MM-DD hh:mm:ss") + " UTC";
}

int Info(platform::SerialPort* port) {
  DeviceInfo info;
  int32_t failed = 0;
  if (QueryDeviceInfo(port, &info, &failed) < 0) return Fail(kMsgUnableToGetData);
  const int64_t host = platform::NowUtcSeconds();
  for (std::string line : DeviceInfoLines(info)) {
    while (!line.empty() && line.back() == '\n') line.pop_back();
    std::printf("%s\n", line.c_str());
  }
  const long long diff = static_cast<long long>(info.clock) - static_cast<long long>(host);
  std::printf("Clock difference: %+lld s (device - host)\n", diff);
  return kExitOk;
}

int Sync(platform::SerialPort* port, const std::string& port_name) {
  uint32_t before = 0;
  if (ZR615_GetData(port, GET_CLOCK, &before) < 0) return Fail(kMsgUnableToGetData);
  std::printf("Device UTC time: %s\n", UtcText(before).c_str());
  std::printf("Host UTC time:   %s\n", UtcText(platform::NowUtcSeconds()).c_str());
  if (ZR615_SendCommand(port, SET_CLOCK, nullptr) != 0) {
    std::fflush(stdout);
    return Fail(SendFailure(port_name, "SET_CLOCK", port->LastError()));
  }
  std::printf("%s\n", kMsgTimeSynchronized);
  std::fflush(stdout);
  uint32_t after = 0;
  if (ZR615_GetData(port, GET_CLOCK, &after) < 0) return Fail(kMsgUnableToGetData);
  std::printf("Device UTC time: %s (after)\n", UtcText(after).c_str());
  return kExitOk;
}

int Upload(platform::SerialPort* port, const std::string& port_name, bool use_default,
           std::vector<TIMERSETTINGS>* timers) {
  SdCardResult sd{0, 0, 0};
  if (ZR615_GetData(port, GET_SD_CARD, &sd) < 0) return Fail(kMsgUnableToCommunicate);
  if (sd.present == 0) return Fail(kMsgInsertSdCard);
  const bool tty = StderrIsTerminal();
  int frames_done = 0, frames_total = 0;
  auto progress = [tty, &frames_done, &frames_total](int done, int total) {
    frames_done = done;
    frames_total = total;
    if (tty) {
      std::fprintf(stderr, "\rUploading: %d of %d frames", done, total);
      if (done == total) std::fputc('\n', stderr);
    } else if (done == total) {
      std::fprintf(stderr, "Uploading: %d of %d frames\n", done, total);
    }
  };
  int rc = 0, error = 0;
  if (use_default) {
    // What the Default Timer dialog's "Set" makes of the defaults.
    TIMERSETTINGS d;
    ReadTimerForm(FillTimerForm(DefaultTimerSettings(), TimerDialogKind::kDefaultTimer),
                  TimerDialogKind::kDefaultTimer, &d);
    rc = UploadDefaultTimer(port, d, progress, &error);
  } else {
    std::vector<TIMERSETTINGS*> list;
    for (TIMERSETTINGS& t : *timers) list.push_back(&t);
    rc = UploadAddedTimers(port, list.data(), static_cast<int>(list.size()), progress, &error);
  }
  if (rc != 0) {
    if (tty) std::fputc('\n', stderr);  // end the progress line
    return Fail(SendFailure(port_name,
                            "frame " + std::to_string(frames_done + 1) + " of " +
                                std::to_string(frames_total),
                            error));
  }
  std::printf("%s\n", kMsgSettingsUploaded);
  return kExitOk;
}

}  // namespace

int RunDevice(const Call& call) {
  const ParsedArgs& a = call.args;
  if (a.positional.size() != 1) return call.Usage("needs one of info, sync, upload");
  const std::string& what = a.positional[0];
  if (what != "info" && what != "sync" && what != "upload")
    return call.Usage("unknown action '" + what + "'");
  if (!a.Has("port") || a.Get("port").empty()) return call.Usage("needs --port PORT");
  const bool upload = what == "upload";
  if (!upload && (a.Has("default") || a.Has("timers")))
    return call.Usage("--default and --timers go with upload");
  if (upload && a.Has("default") == a.Has("timers"))
    return call.Usage("upload needs either --default or --timers TIMERS.DAT");

  std::vector<TIMERSETTINGS> timers;
  if (upload && a.Has("timers")) {
    std::string why;
    if (!ReadTimerFile(a.Get("timers"), &timers, &why)) return Fail(a.Get("timers") + ": " + why);
  }

  std::string why;
  std::unique_ptr<platform::SerialPort> port = OpenPort(a.Get("port"), &why);
  if (!port) return Fail(why);
  if (what == "info") return Info(port.get());
  if (what == "sync") return Sync(port.get(), a.Get("port"));
  return Upload(port.get(), a.Get("port"), a.Has("default"), &timers);
}

}  // namespace zt::cli
