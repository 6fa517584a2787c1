// A device dialog's exchange on a thread of its own, so that the dialog keeps painting and
// can be moved while the logger is slow or silent. The worker talks to the dialog only by
// posted messages, and the dialog lives until the worker has ended: a dialog asked to close
// while its exchange runs calls the exchange off and closes when the worker's end arrives.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <thread>

#include "device/call_off.h"

namespace zt::control {

// To the dialog: the exchange ended, wParam its result (an int).
constexpr UINT WMU_EXCHANGE_DONE = WM_APP + 1;
// To the dialog: an upload's progress, wParam the frames done, lParam their total.
constexpr UINT WMU_EXCHANGE_PROGRESS = WM_APP + 2;

class DeviceWorker {
 public:
  // The exchange: runs on the worker with a port and a clock that can be called off.
  using Exchange = std::function<int(platform::SerialPort* port, platform::Clock* clock)>;

  ~DeviceWorker();
  // Starts `exchange` on the dialog's port; false when a worker still runs or the thread
  // could not start.
  bool Start(HWND dlg, platform::SerialPort* port, Exchange exchange);
  bool Running() const { return running_; }
  // Calls the running exchange off; its end still arrives as WMU_EXCHANGE_DONE.
  void Stop();
  // On WMU_EXCHANGE_DONE: the worker has ended; joins its thread.
  void Finish();
  // For the exchange: posts its progress to the dialog.
  void PostProgress(int done, int total) const;
  // The cursor over a dialog whose exchange runs: the arrow with the hourglass. True when
  // it was set (the dialog then returns TRUE for WM_SETCURSOR).
  bool SetWaitCursor() const;

 private:
  HWND dlg_ = nullptr;
  bool running_ = false;
  std::unique_ptr<CallOff> call_;
  std::thread thread_;
};

}  // namespace zt::control
