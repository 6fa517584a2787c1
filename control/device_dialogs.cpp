// The three device dialogs: Device info, Time synchronize and Upload settings. Each talks to
// the logger through the port the main window opened for it, only while it is open.
#include <windows.h>
#include <commctrl.h>

#include "control/app_state.h"
#include "control/control.h"
#include "control/win_util.h"
#include "control_ids.h"
#include "device/device_ops.h"
#include "device/protocol.h"
#include "platform/time.h"
#include "platform/show_last_error_win.h"

namespace zt::control {
namespace {

platform::SerialPort* Port(HWND dlg) {
  APPDATA* app = AppData(dlg);
  return app ? app->hComPort : nullptr;
}

// A frame the port did not take: the system's reason when it gave one.
void ReportSendFailure(HWND dlg, int system_error) {
  if (system_error != 0)
    ShowErrorCode(dlg, system_error);
  else
    ErrorBox(dlg, std::string(kMsgUnableToCommunicate));
}

// ---- Device info ----------------------------------------------------------------------

void OnDeviceInfoInit(HWND dlg) {
  platform::SerialPort* port = Port(dlg);
  DeviceInfo info;
  int32_t failed = 0;
  if (!port || QueryDeviceInfo(port, &info, &failed) < 0) {
    ErrorBox(dlg, std::string(kMsgUnableToGetData));
    EndDialog(dlg, IDCANCEL);
    return;
  }
  const auto lines = DeviceInfoLines(info);
  for (int i = 0; i < static_cast<int>(lines.size()); ++i)
    SetItemTextUtf8(dlg, IDC_INFO_LINE_FIRST + i, lines[static_cast<size_t>(i)]);
}

INT_PTR CALLBACK DeviceInfoProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: OnDeviceInfoInit(dlg); return TRUE;
    case WM_COMMAND:
      // Only OK ends it; Esc and the close box are ignored.
      if (LOWORD(wParam) == IDOK) EndDialog(dlg, IDOK);
      return TRUE;
    default: return FALSE;
  }
}

// ---- Time synchronize -----------------------------------------------------------------

void OnTimeSyncInit(HWND dlg) {
  platform::SerialPort* port = Port(dlg);
  uint32_t clock = 0;
  if (!port || ZR615_GetData(port, GET_CLOCK, &clock) < 0) {
    ErrorBox(dlg, std::string(kMsgUnableToGetData));
    EndDialog(dlg, IDCANCEL);
    return;
  }
  SetPickerPair(dlg, IDC_SYNC_DEVICE_DATE, IDC_SYNC_DEVICE_TIME, platform::UtcCivil(clock));
  SetPickerPair(dlg, IDC_SYNC_HOST_DATE, IDC_SYNC_HOST_TIME,
                platform::UtcCivil(platform::NowUtcSeconds()));
}

void OnSync(HWND dlg) {
  platform::SerialPort* port = Port(dlg);
  // The clock is set to the host's time at this moment, not the one the pickers show.
  if (!port || ZR615_SendCommand(port, SET_CLOCK, nullptr) < 0) {
    ReportSendFailure(dlg, port ? port->LastError() : 0);
    EndDialog(dlg, IDCANCEL);
    return;
  }
  MessageOk(dlg, Wide(kMsgTimeSynchronized), L"Sync");
  EndDialog(dlg, IDC_SYNC_SYNC);
}

INT_PTR CALLBACK TimeSyncProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: OnTimeSyncInit(dlg); return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_SYNC_SYNC: OnSync(dlg); return TRUE;
        case IDC_SYNC_CANCEL:
        case IDCANCEL: EndDialog(dlg, LOWORD(wParam)); return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

// ---- Upload settings ------------------------------------------------------------------

void OnUploadInit(HWND dlg) {
  platform::SerialPort* port = Port(dlg);
  SdCardResult sd{0, 0, 0};
  if (!port || ZR615_GetData(port, GET_SD_CARD, &sd) < 0) {
    ErrorBox(dlg, std::string(kMsgUnableToCommunicate));
    EndDialog(dlg, IDCANCEL);
    return;
  }
  if (sd.present == 0) {
    ErrorBox(dlg, std::string(kMsgInsertSdCard));
    EndDialog(dlg, IDCANCEL);
    return;
  }
  CheckRadioButton(dlg, IDC_UPLOAD_DEFAULT, IDC_UPLOAD_ADDED, IDC_UPLOAD_ADDED);
}

void OnUpload(HWND dlg) {
  APPDATA* app = AppData(dlg);
  if (!app || !app->hComPort) return;
  HWND bar = GetDlgItem(dlg, IDC_UPLOAD_PROGRESS);
  auto progress = [bar](int done, int total) {
    if (done == 0) {
      SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, total));
      SendMessageW(bar, PBM_SETSTEP, 1, 0);
    } else {
      SendMessageW(bar, PBM_STEPIT, 0, 0);
    }
    UpdateWindow(bar);  // the upload holds the thread between frames
  };
  int system_error = 0;
  int rc;
  if (IsDlgButtonChecked(dlg, IDC_UPLOAD_DEFAULT) == BST_CHECKED) {
    rc = app->default_timer
             ? UploadDefaultTimer(app->hComPort, *app->default_timer, progress, &system_error)
             : 0;
  } else {
    rc = UploadAddedTimers(app->hComPort, app->timers, app->timer_count, progress,
                           &system_error);
  }
  if (rc < 0) {
    ReportSendFailure(dlg, system_error);
    EndDialog(dlg, IDCANCEL);
    return;
  }
  MessageOk(dlg, Wide(kMsgSettingsUploaded), L"Upload");
  EndDialog(dlg, IDOK);
}

INT_PTR CALLBACK UploadProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: OnUploadInit(dlg); return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: OnUpload(dlg); return TRUE;
        case IDCANCEL: EndDialog(dlg, IDCANCEL); return TRUE;
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
