// The control program's application state: one record per process, zero-filled from the
// local heap when the main window is created, kept in its user data and never freed.
// Dialogs reach it through their owner, the echogram window through its parent.
#pragma once

#include <windows.h>

#include <cstdint>

#include "device/ports.h"
#include "timers/timer_file.h"
#include "timers/timer_settings.h"

namespace zt::control {

constexpr UINT WMU_FILE_OPENED = WM_USER;        // to the echogram window
constexpr UINT WMU_TIMER_CHANGED = WM_USER + 1;  // to the main window, lParam a TIMERSETTINGS*
constexpr UINT WMU_SET_GAMMA = WM_USER + 1;      // to the echogram window
constexpr UINT WMU_SET_MAX_ALTITUDE = WM_USER + 2;
constexpr UINT WMU_SET_PALETTE = WM_USER + 3;
constexpr UINT WMU_SET_SPAN = WM_USER + 4;
// Ours: tells the echogram window that the logged file was closed (wParam, lParam unused).
constexpr UINT WMU_FILE_CLOSED = WM_USER + 5;
// Ours: to the main window from the export worker as it ends (wParam, lParam unused).
constexpr UINT WMU_EXPORT_DONE = WM_USER + 6;

constexpr UINT_PTR kPortRefreshTimer = 2;
constexpr UINT kPortRefreshMs = 5000;

struct APPDATA {
  HWND hWndMain;
  HWND hWndStatusBar;
  HWND hWndEcho;
  HWND hWndComboPorts;
  HWND hWndConnect;
  HWND hWndSyncTime;
  HWND hWndUploadSettings;
  HWND hWndGroupDevice;
  HWND hWndListTimers;
  HWND hWndDefaultTimer;
  HWND hWndAddTimer;
  HWND hWndDeleteTimer;
  HWND hWndSaveTimers;
  HWND hWndGroupSettings;
  HWND hWndGroupLoggedData;
  HWND hWndShowData;
  HWND hWndExportData;
  HANDLE hDataFile;
  wchar_t data_file_path[MAX_PATH];
  BOOL data_loaded;
  uint8_t data_header[kTimerRecordSize];
  // The serial port while one device dialog runs; null otherwise.
  platform::SerialPort* hComPort;
  PORTENTRY ports[kPortTableSlots];
  HANDLE hExportThread;
  TIMERSETTINGS* timers[MAX_TIMER_SLOTS];
  TIMERSETTINGS* default_timer;
  TIMERSETTINGS* editing_timer;
  int32_t timer_count;
  int32_t view_span_s;
  float view_max_altitude_m;
  float view_gamma;
  int32_t view_palette;
  BOOL view_settings_set;
  // Ours: the echogram shows the four view fields (OK was pressed in Viewer settings, or
  // they were remembered from an earlier run): only then are they kept between runs.
  BOOL view_settings_applied;
  // Ours: Exit was answered "Wait": the program ends once the export has finished.
  BOOL quit_after_export;
  // Ours: the control that had the keyboard focus when the window was last deactivated.
  HWND hWndFocus;
};

// The record, found from the main window itself, a dialog it owns or one of its children;
// null before the main window has one.
APPDATA* AppData(HWND hwnd);

}  // namespace zt::control
