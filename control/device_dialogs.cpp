// The three device dialogs: Device info, Time synchronize and Upload settings. Each talks to
// the logger through the port the main window opened for it, only while it is open, and
// runs every exchange on a worker (device_worker.h): the dialog keeps painting, shows the
// wait cursor, and when it is closed during an exchange it calls the exchange off and goes
// once the worker has ended, before the main window closes the port.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "app/everyday_rules.h"
#include "control/app_state.h"
#include "control/control.h"
#include "control/device_worker.h"
#include "control/win_util.h"
#include "control_ids.h"
#include "device/device_ops.h"
#include "device/protocol.h"
#include "platform/time.h"

namespace zt::control {
namespace {

// One device dialog runs at a time (they are modal to the main window), so one worker and
// what its exchange brought back.
DeviceWorker g_worker;
DeviceInfo g_info;
uint32_t g_clock = 0;
SdCardResult g_sd{0, 0, 0};
int g_system_error = 0;
// The button that closed the dialog while its exchange ran (0: none); the dialog ends with
// it when the worker's end arrives.
int g_close_with = 0;

platform::SerialPort* Port(HWND dlg) {
  APPDATA* app = AppData(dlg);
  return app ? app->hComPort : nullptr;
}

// Enables or disables the dialog's buttons that start an exchange.
void EnableActions(HWND dlg, std::initializer_list<int> ids, bool on) {
  for (int id : ids) EnableWindow(GetDlgItem(dlg, id), on);
}

// Starts an exchange on the dialog's port; false (nothing runs) when there is no port or
// no thread.
bool StartExchange(HWND dlg, DeviceWorker::Exchange exchange) {
  platform::SerialPort* port = Port(dlg);
  g_close_with = 0;
  g_system_error = 0;
  return port && g_worker.Start(dlg, port, std::move(exchange));
}

// The user closes the dialog: at once when nothing runs, else once the exchange has been
// called off and its worker has ended.
void Close(HWND dlg, int id) {
  if (!g_worker.Running()) {
    EndDialog(dlg, id);
    return;
  }
  g_close_with = id;
  g_worker.Stop();
}

// WMU_EXCHANGE_DONE: true when the dialog was closed meanwhile (it has now ended).
bool ExchangeEnded(HWND dlg) {
  g_worker.Finish();
  if (g_close_with == 0) return false;
  EndDialog(dlg, g_close_with);
  return true;
}

// The answer to WM_SETCURSOR while an exchange runs.
INT_PTR WaitCursor(HWND dlg) {
  if (!g_worker.SetWaitCursor()) return FALSE;
  SetWindowLongPtrW(dlg, DWLP_MSGRESULT, TRUE);
  return TRUE;
}

// A frame the port did not take: the system's reason when it gave one.
void ReportSendFailure(HWND dlg, int system_error) {
  if (system_error != 0)
    ShowErrorCode(dlg, system_error);
  else
    ErrorBox(dlg, std::string(kMsgUnableToCommunicate));
}

void Refuse(HWND dlg, const char* text) {
  ErrorBox(dlg, std::string(text));
  EndDialog(dlg, IDCANCEL);
}

// ---- Device info ----------------------------------------------------------------------

void OnDeviceInfoInit(HWND dlg) {
  const bool started = StartExchange(dlg, [](platform::SerialPort* port, platform::Clock* clock) {
    int32_t failed = 0;
    return QueryDeviceInfo(port, &g_info, &failed, clock);
  });
  if (!started) Refuse(dlg, kMsgUnableToGetData);
}

void OnDeviceInfoDone(HWND dlg, int rc) {
  if (ExchangeEnded(dlg)) return;
  if (rc < 0) {
    Refuse(dlg, kMsgUnableToGetData);
    return;
  }
  const auto lines = DeviceInfoLines(g_info);
  for (int i = 0; i < static_cast<int>(lines.size()); ++i)
    SetItemTextUtf8(dlg, IDC_INFO_LINE_FIRST + i, lines[static_cast<size_t>(i)]);
}

INT_PTR CALLBACK DeviceInfoProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: OnDeviceInfoInit(dlg); return TRUE;
    case WMU_EXCHANGE_DONE: OnDeviceInfoDone(dlg, static_cast<int>(wParam)); return TRUE;
    case WM_SETCURSOR: return WaitCursor(dlg);
    case WM_CLOSE: Close(dlg, IDOK); return TRUE;  // the close box closes it as OK does
    case WM_COMMAND:
      // OK ends it; Esc is ignored.
      if (LOWORD(wParam) == IDOK) Close(dlg, IDOK);
      return TRUE;
    default: return FALSE;
  }
}

// ---- Time synchronize -----------------------------------------------------------------

bool g_sync_sent = false;  // the running exchange is the Sync, not the opening query

void OnTimeSyncInit(HWND dlg) {
  g_sync_sent = false;
  EnableActions(dlg, {IDC_SYNC_SYNC}, false);
  const bool started = StartExchange(dlg, [](platform::SerialPort* port, platform::Clock* clock) {
    return ZR615_GetData(port, GET_CLOCK, &g_clock, clock);
  });
  if (!started) Refuse(dlg, kMsgUnableToGetData);
}

void OnSync(HWND dlg) {
  if (g_worker.Running()) return;
  EnableActions(dlg, {IDC_SYNC_SYNC}, false);
  g_sync_sent = true;
  // The clock is set to the host's time at this moment, not the one the pickers show.
  const bool started = StartExchange(dlg, [](platform::SerialPort* port, platform::Clock*) {
    const int rc = ZR615_SendCommand(port, SET_CLOCK, nullptr);
    if (rc < 0) g_system_error = port->LastError();
    return rc;
  });
  if (!started) Refuse(dlg, kMsgUnableToCommunicate);
}

void OnTimeSyncDone(HWND dlg, int rc) {
  if (ExchangeEnded(dlg)) return;
  if (g_sync_sent) {
    if (rc < 0) {
      ReportSendFailure(dlg, g_system_error);
      EndDialog(dlg, IDCANCEL);
      return;
    }
    MessageOk(dlg, Wide(kMsgTimeSynchronized), L"Sync");
    EndDialog(dlg, IDC_SYNC_SYNC);
    return;
  }
  if (rc < 0) {
    Refuse(dlg, kMsgUnableToGetData);
    return;
  }
  SetPickerPair(dlg, IDC_SYNC_DEVICE_DATE, IDC_SYNC_DEVICE_TIME, platform::UtcCivil(g_clock));
  SetPickerPair(dlg, IDC_SYNC_HOST_DATE, IDC_SYNC_HOST_TIME,
                platform::UtcCivil(platform::NowUtcSeconds()));
  EnableActions(dlg, {IDC_SYNC_SYNC}, true);
}

INT_PTR CALLBACK TimeSyncProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: OnTimeSyncInit(dlg); return TRUE;
    case WMU_EXCHANGE_DONE: OnTimeSyncDone(dlg, static_cast<int>(wParam)); return TRUE;
    case WM_SETCURSOR: return WaitCursor(dlg);
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_SYNC_SYNC: OnSync(dlg); return TRUE;
        case IDC_SYNC_CANCEL:
        case IDCANCEL: Close(dlg, LOWORD(wParam)); return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

// ---- Upload settings ------------------------------------------------------------------

bool g_upload_sent = false;
std::vector<TIMERSETTINGS> g_upload;  // copies of the records sent, with their timer_index
const std::initializer_list<int> kUploadActions = {IDOK, IDC_UPLOAD_DEFAULT, IDC_UPLOAD_ADDED};

void OnUploadInit(HWND dlg) {
  g_upload_sent = false;
  EnableActions(dlg, kUploadActions, false);
  const bool started = StartExchange(dlg, [](platform::SerialPort* port, platform::Clock* clock) {
    return ZR615_GetData(port, GET_SD_CARD, &g_sd, clock);
  });
  if (!started) Refuse(dlg, kMsgUnableToCommunicate);
}

// The upload of the default timer (default_only) or of copies of the added timers.
DeviceWorker::Exchange UploadExchange(bool default_only) {
  return [default_only](platform::SerialPort* port, platform::Clock* clock) {
    auto progress = [](int done, int total) { g_worker.PostProgress(done, total); };
    if (default_only)
      return UploadDefaultTimer(port, g_upload.front(), progress, &g_system_error, clock);
    std::vector<TIMERSETTINGS*> list;
    for (TIMERSETTINGS& t : g_upload) list.push_back(&t);
    return UploadAddedTimers(port, list.data(), static_cast<int>(list.size()), progress,
                             &g_system_error, clock);
  };
}

void OnUpload(HWND dlg) {
  APPDATA* app = AppData(dlg);
  if (!app || g_worker.Running()) return;
  const bool default_only = IsDlgButtonChecked(dlg, IDC_UPLOAD_DEFAULT) == BST_CHECKED;
  if (AskBeforeEmptyUpload(!default_only, app->timer_count) &&
      MessageBoxW(dlg, Wide(kMsgEmptyUpload).c_str(), L"Upload", MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;  // nothing is sent; the user may pick the default timer instead
  g_upload.clear();
  if (default_only && app->default_timer) g_upload.push_back(*app->default_timer);
  for (int i = 0; !default_only && i < app->timer_count; ++i) g_upload.push_back(*app->timers[i]);
  if (default_only && g_upload.empty()) return;
  EnableActions(dlg, kUploadActions, false);
  g_upload_sent = true;
  if (!StartExchange(dlg, UploadExchange(default_only))) Refuse(dlg, kMsgUnableToCommunicate);
}

void OnUploadProgress(HWND dlg, int done, int total) {
  HWND bar = GetDlgItem(dlg, IDC_UPLOAD_PROGRESS);
  if (done == 0) {
    SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, total));
    SendMessageW(bar, PBM_SETSTEP, 1, 0);
  } else {
    SendMessageW(bar, PBM_STEPIT, 0, 0);
  }
}

void OnUploadSent(HWND dlg, int rc) {
  if (rc < 0) {
    ReportSendFailure(dlg, g_system_error);
    EndDialog(dlg, IDCANCEL);
    return;
  }
  // The list's records keep the positions they were uploaded with.
  APPDATA* app = AppData(dlg);
  const bool added = IsDlgButtonChecked(dlg, IDC_UPLOAD_ADDED) == BST_CHECKED;
  for (int i = 0; app && added && i < app->timer_count; ++i) app->timers[i]->timer_index = i;
  MessageOk(dlg, Wide(kMsgSettingsUploaded), L"Upload");
  EndDialog(dlg, IDOK);
}

void OnUploadDone(HWND dlg, int rc) {
  if (ExchangeEnded(dlg)) return;
  if (g_upload_sent) {
    OnUploadSent(dlg, rc);
  } else if (rc < 0) {
    Refuse(dlg, kMsgUnableToCommunicate);
  } else if (g_sd.present == 0) {
    Refuse(dlg, kMsgInsertSdCard);
  } else {
    EnableActions(dlg, kUploadActions, true);
    CheckRadioButton(dlg, IDC_UPLOAD_DEFAULT, IDC_UPLOAD_ADDED, IDC_UPLOAD_ADDED);
  }
}

INT_PTR CALLBACK UploadProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: OnUploadInit(dlg); return TRUE;
    case WMU_EXCHANGE_DONE: OnUploadDone(dlg, static_cast<int>(wParam)); return TRUE;
    case WMU_EXCHANGE_PROGRESS:
      OnUploadProgress(dlg, static_cast<int>(wParam), static_cast<int>(lParam));
      return TRUE;
    case WM_SETCURSOR: return WaitCursor(dlg);
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: OnUpload(dlg); return TRUE;
        case IDCANCEL: Close(dlg, IDCANCEL); return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

}  // namespace

INT_PTR RunDeviceInfoDialog(HWND main) { return RunDialog(main, IDD_DEVICE_INFO, DeviceInfoProc); }
INT_PTR RunTimeSyncDialog(HWND main) { return RunDialog(main, IDD_TIME_SYNC, TimeSyncProc); }
INT_PTR RunUploadSettingsDialog(HWND main) {
  return RunDialog(main, IDD_UPLOAD_SETTINGS, UploadProc);
}

}  // namespace zt::control
