// The control program's windows and dialogs, each shown through one small function; their
// procedures stay inside their files.
#pragma once

#include <windows.h>

#include <string>

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

// Timer records live in zero-filled 128-byte local-heap blocks, owned by the application
// state; null when the heap is exhausted.
TIMERSETTINGS* NewTimerRecord(const TIMERSETTINGS& value);
void FreeTimerRecord(TIMERSETTINGS* record);

}  // namespace zt::control
