// The main window's file commands: Save Timers and Open Timers (TIMERS.DAT), Show Data and
// Close Data (the logged file the echogram and the export read).
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/everyday_rules.h"
#include "control/app_state.h"
#include "control/control.h"
#include "control/win_util.h"
#include "control_ids.h"
#include "logfile/logfile.h"
#include "platform/file.h"
#include "timers/timer_file.h"
#include "timers/timer_list.h"

namespace zt::control {
namespace {

constexpr int kChooserChars = 256;

void SetStatus(APPDATA* app, int part, const wchar_t* text) {
  SendMessageW(app->hWndStatusBar, SB_SETTEXTW, static_cast<WPARAM>(part),
               reinterpret_cast<LPARAM>(text));
}

// Runs a chooser; false when nothing was chosen (after the error box of a failed chooser).
bool Choose(HWND main, const ChooserSpec& kind_of, wchar_t* path) {
  DWORD ext = 0;
  const bool chosen = ChooseFile(main, kind_of, path, kChooserChars, &ext);
  if (ext != 0) {
    ShowLastError(main);
    return false;
  }
  return chosen;
}

// Empties the timer list: every record freed, no item, Delete, Add and Save as at start.
void ClearTimerList(APPDATA* app) {
  for (int i = 0; i < app->timer_count; ++i) {
    FreeTimerRecord(app->timers[i]);
    app->timers[i] = nullptr;
  }
  app->timer_count = 0;
  SendMessageW(app->hWndListTimers, LB_RESETCONTENT, 0, 0);
  EnableWindow(app->hWndDeleteTimer, FALSE);
  EnableWindow(app->hWndSaveTimers, FALSE);
}

void CloseLoggedData(APPDATA* app) {
  if (!app->data_loaded && !app->hDataFile) return;
  app->data_loaded = FALSE;
  std::memset(app->data_header, 0, sizeof app->data_header);
  if (app->hDataFile && app->hDataFile != INVALID_HANDLE_VALUE) CloseHandle(app->hDataFile);
  app->hDataFile = nullptr;
  app->data_file_path[0] = L'\0';
  EnableWindow(app->hWndExportData, FALSE);
  SendMessageW(app->hWndEcho, WMU_FILE_CLOSED, 0, 0);
}

// The chosen file is checked before the open one is let go: a refused choice leaves the
// file that was open (and "Export Data") as they were.
void LoadLoggedData(HWND main, APPDATA* app, const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ShowLastError(main);
    return;
  }
  // A file the viewer and the export cannot read is refused here, whole: too short for its
  // header, or a range without a record size.
  platform::File check;
  LoggedFileInfo info;
  std::string why;
  const std::string utf8 = Utf8(path);
  if (!check.OpenRead(utf8) || !InspectLoggedFile(check, &info, &why)) {
    CloseHandle(file);
    ErrorBox(main, utf8 + ": " + (why.empty() ? platform::ErrorText(check.last_error()) : why));
    return;
  }
  uint8_t header[kTimerRecordSize] = {};
  DWORD got = 0;
  if (!ReadFile(file, header, sizeof header, &got, nullptr) || got != sizeof header) {
    const DWORD code = GetLastError();
    CloseHandle(file);
    ShowErrorCode(main, static_cast<int>(code));
    return;
  }
  CloseLoggedData(app);
  app->hDataFile = file;
  wcsncpy(app->data_file_path, path.c_str(), MAX_PATH - 1);
  app->data_file_path[MAX_PATH - 1] = L'\0';
  std::memcpy(app->data_header, header, sizeof header);
  app->data_loaded = TRUE;
  SendMessageW(app->hWndEcho, WMU_FILE_OPENED, 0, 0);
  EnableWindow(app->hWndExportData, TRUE);
}

}  // namespace

void SaveTimerList(HWND main) {
  APPDATA* app = AppData(main);
  if (!app || app->timer_count <= 0) return;
  wchar_t path[kChooserChars] = {};
  wcsncpy(path, LoadText(IDS_TIMERS_DAT).c_str(), kChooserChars - 1);
  if (!Choose(main, {Chooser::kSave, IDS_FILTER_DAT, L"DAT", ChooserFolder::kSaveTimers}, path))
    return;
  int error = 0;
  std::string why;
  if (SaveTimerFile(Utf8(path), app->timers, app->timer_count, &error, &why)) return;
  if (error != 0)
    ShowErrorCode(main, error);
  else
    ErrorBox(main, Utf8(path) + ": " + why);
}

// Reads a timer file back into the list, after asking before a list with timers is replaced.
void OpenTimerList(HWND main) {
  APPDATA* app = AppData(main);
  if (!app) return;
  wchar_t path[kChooserChars] = {};
  if (!Choose(main, {Chooser::kOpen, IDS_FILTER_DAT, L"DAT", ChooserFolder::kOpenTimers}, path))
    return;
  const std::string utf8 = Utf8(path);
  std::vector<TIMERSETTINGS> read;
  std::string why;
  if (!ReadTimerFile(utf8, &read, &why)) {
    ErrorBox(main, utf8 + ": " + why);
    return;
  }
  if (AskBeforeReplacingTimers(app->timer_count) &&
      MessageBoxW(main, Wide(ReplaceTimersText(app->timer_count, utf8)).c_str(),
                  LoadText(IDS_OPEN_TIMERS_CAPTION).c_str(),
                  MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  ClearTimerList(app);
  // Each timer is listed as one the Add Timer dialog stored.
  for (const TIMERSETTINGS& t : read)
    if (TIMERSETTINGS* record = NewTimerRecord(t))
      SendMessageW(main, WMU_TIMER_CHANGED, 0, reinterpret_cast<LPARAM>(record));
}

void ShowData(HWND main) {
  APPDATA* app = AppData(main);
  wchar_t path[kChooserChars] = {};
  if (app && Choose(main, {Chooser::kOpen, IDS_FILTER_BIN, nullptr, ChooserFolder::kShowData}, path))
    LoadLoggedData(main, app, path);
}

// Lets the open recording go (the card can then be ejected); the echogram shows "No Data".
void CloseData(HWND main) {
  APPDATA* app = AppData(main);
  if (!app || !app->data_loaded) return;
  CloseLoggedData(app);
  // The viewer's readout of the file that is gone.
  SetStatus(app, 1, L"");
  SetStatus(app, 2, L"");
}

void OpenLoggedData(HWND main, const std::wstring& path) {
  if (APPDATA* app = AppData(main)) LoadLoggedData(main, app, path);
}

}  // namespace zt::control
