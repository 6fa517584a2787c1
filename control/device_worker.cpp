#include "control/device_worker.h"

#include <utility>

namespace zt::control {

DeviceWorker::~DeviceWorker() {
  if (call_) call_->Stop();
  if (thread_.joinable()) thread_.join();
}

bool DeviceWorker::Start(HWND dlg, platform::SerialPort* port, Exchange exchange) {
  if (running_) return false;
  Finish();
  dlg_ = dlg;
  call_ = std::make_unique<CallOff>(port);
  running_ = true;
  try {
    thread_ = std::thread([this, dlg, exchange = std::move(exchange)] {
      const int rc = exchange(call_->port(), call_->clock());
      // The dialog waits for this message before it goes, so it is never lost.
      PostMessageW(dlg, WMU_EXCHANGE_DONE, static_cast<WPARAM>(rc), 0);
    });
  } catch (const std::system_error&) {
    running_ = false;
    return false;
  }
  return true;
}

void DeviceWorker::Stop() {
  if (running_ && call_) call_->Stop();
}

void DeviceWorker::Finish() {
  if (thread_.joinable()) thread_.join();
  running_ = false;
}

void DeviceWorker::PostProgress(int done, int total) const {
  PostMessageW(dlg_, WMU_EXCHANGE_PROGRESS, static_cast<WPARAM>(done), static_cast<LPARAM>(total));
}

bool DeviceWorker::SetWaitCursor() const {
  if (!running_) return false;
  SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
  return true;
}

}  // namespace zt::control
