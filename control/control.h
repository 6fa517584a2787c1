// The control program's windows and dialogs, each shown through one small function; their
// procedures stay inside their files.
#pragma once

#include <windows.h>

#include <string>

#include "app/control_settings.h"
#include "timers/timer_settings.h"

namespace zt::control {

// Main window (main_window.cpp).
bool RegisterMainClass(HINSTANCE instance, const wchar_t* class_name);
// Show Data for a path given on the command line: as if it had been chosen.
void OpenLoggedData(HWND main, const std::wstring& path);

// Echogram child window (echo_window.cpp).
bool RegisterEchoClass(HINSTANCE instance);

// Dialogs, modal and owned by the main window; their results are not used.
INT_PTR RunAboutBox(HWND main);                          // about_dialog.cpp
INT_PTR RunDeviceInfoDialog(HWND main);                  // device_dialogs.cpp
INT_PTR RunTimeSyncDialog(HWND main);
INT_PTR RunUploadSettingsDialog(HWND main);
INT_PTR RunDefaultTimerDialog(HWND main);                // timer_dialogs.cpp
INT_PTR RunAddTimerDialog(HWND main, TIMERSETTINGS* editing);  // null: a new timer
INT_PTR RunExportDialog(HWND main);                      // export_dialog.cpp
INT_PTR RunViewerSettingsDialog(HWND main);              // viewer_settings_dialog.cpp

// The export worker (export_dialog.cpp). Its outcome is shown by the window thread.
bool ExportRunning();
bool ExportDialogOpen();
std::wstring RunningExportOutput();  // the output path of the running (or last) export
// Calls the running export off: it ends before its next block and removes its temporary file.
void StopExport();
// Waits up to `ms` for the worker to end; true when none runs any more.
bool WaitExportEnded(DWORD ms);
// The error box of an export that failed, owned by `owner`; once, and nothing otherwise.
void ShowExportOutcome(HWND owner);

// Settings kept between runs (app_settings.cpp), in %APPDATA%\ZT615\zt615_control.ini.
ControlSettings& Remembered();
std::wstring SettingsPath();
// At start, before the main window exists: a missing or damaged file gives no settings.
void LoadRememberedSettings();
// On the way out: the selected port, the viewer settings, the window's place and the
// choosers' folders.
void SaveRememberedSettings(HWND main);
// Shows the main window at its remembered place when that is on a screen.
void PlaceMainWindow(HWND main, int show);
std::wstring RememberedFolder(ChooserFolder which);
void RememberFolderOf(ChooserFolder which, const std::wstring& path);

// Leaving (quit_guard.cpp): true when the program may end now. While an export is being
// written it asks first; `end_session` for WM_QUERYENDSESSION.
bool ConfirmQuit(HWND main, bool end_session);

// The main window's file commands (main_files.cpp).
void SaveTimerList(HWND main);
void OpenTimerList(HWND main);
void ShowData(HWND main);
void CloseData(HWND main);

// Timer records live in zero-filled 128-byte local-heap blocks, owned by the application
// state; null when the heap is exhausted.
TIMERSETTINGS* NewTimerRecord(const TIMERSETTINGS& value);
void FreeTimerRecord(TIMERSETTINGS* record);

}  // namespace zt::control
