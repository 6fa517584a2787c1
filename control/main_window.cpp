// The main window: its state record, the column of controls, the status bar, the layout,
// the port list and its refresh, and the commands of its buttons, timer list and menu.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "control/app_state.h"
#include "control/control.h"
#include "control/win_util.h"
#include "control_ids.h"
#include "logfile/logfile.h"
#include "platform/file.h"
#include "platform/serial_port.h"
#include "platform/trace.h"
#include "shell/ports.h"
#include "platform/show_last_error_win.h"
#include "shell/timer_list.h"
#include "timers/timer_file.h"
#include "timers/timer_values.h"

namespace zt::control {
namespace {

constexpr int kColumnWidth = 170;
constexpr int kStatusBarSpace = 24;
constexpr int kChooserChars = 256;

APPDATA* State(HWND main) {
  return reinterpret_cast<APPDATA*>(GetWindowLongPtrW(main, GWLP_USERDATA));
}

HINSTANCE Instance(HWND hwnd) {
  return reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
}

void SetStatus(APPDATA* app, int part, const std::wstring& text) {
  SendMessageW(app->hWndStatusBar, SB_SETTEXTW, static_cast<WPARAM>(part),
               reinterpret_cast<LPARAM>(text.c_str()));
}

// ---- creation and layout ---------------------------------------------------------------

HWND Child(HWND main, const wchar_t* cls, const wchar_t* text, DWORD style) {
  return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, main, nullptr,
                         Instance(main), nullptr);
}

void CreateControls(HWND main, APPDATA* app) {
  const DWORD group = BS_GROUPBOX | WS_GROUP | WS_TABSTOP;
  app->hWndComboPorts = Child(main, L"ComboBox", nullptr, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP);
  app->hWndConnect = Child(main, L"Button", L"Connect", WS_TABSTOP);
  app->hWndSyncTime = Child(main, L"Button", L"Sync Time", WS_TABSTOP);
  app->hWndUploadSettings = Child(main, L"Button", L"Upload Settings", WS_TABSTOP);
  app->hWndGroupDevice = Child(main, L"Button", L"Device", group);
  app->hWndListTimers = Child(main, L"ListBox", nullptr,
                              LBS_NOTIFY | LBS_EXTENDEDSEL | WS_BORDER | WS_VSCROLL | WS_TABSTOP);
  app->hWndDefaultTimer = Child(main, L"Button", L"Default Timer", WS_TABSTOP);
  app->hWndAddTimer = Child(main, L"Button", L"Add Timer", WS_TABSTOP);
  app->hWndDeleteTimer = Child(main, L"Button", L"Delete Timer", WS_TABSTOP | WS_DISABLED);
  // Saving the list is enabled once a timer is listed.
  app->hWndSaveTimers =
      Child(main, L"Button", LoadText(IDS_SAVE_TIMERS).c_str(), WS_TABSTOP | WS_DISABLED);
  app->hWndGroupSettings = Child(main, L"Button", L"Settings", group);
  app->hWndShowData = Child(main, L"Button", L"Show Data", WS_TABSTOP);
  app->hWndExportData = Child(main, L"Button", L"Export Data", WS_TABSTOP);
  app->hWndGroupLoggedData = Child(main, L"Button", L"Logged Data", group);
  app->hWndStatusBar = Child(main, STATUSCLASSNAMEW, nullptr, 0);

  LOGFONTW lf = {};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
  HFONT font = CreateFontIndirectW(&lf);  // lives as long as the process
  for (HWND h : {app->hWndComboPorts, app->hWndConnect, app->hWndSyncTime,
                 app->hWndUploadSettings, app->hWndGroupDevice, app->hWndListTimers,
                 app->hWndDefaultTimer, app->hWndAddTimer, app->hWndDeleteTimer,
                 app->hWndSaveTimers, app->hWndGroupSettings, app->hWndShowData,
                 app->hWndExportData, app->hWndGroupLoggedData, app->hWndStatusBar})
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);

  SendMessageW(app->hWndStatusBar, SB_SETMINHEIGHT, 10, 0);
  int parts[3] = {100, 250, -1};
  SendMessageW(app->hWndStatusBar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
  SetStatus(app, 0, LoadText(IDS_DISCONNECTED));
}

void PlaceControls(APPDATA* app) {
  struct Place {
    HWND hwnd;
    int x, y, w, h;
  };
  const Place places[] = {
      {app->hWndGroupDevice, 5, 5, 160, 185},     {app->hWndComboPorts, 10, 30, 150, 120},
      {app->hWndConnect, 10, 60, 150, 30},        {app->hWndSyncTime, 10, 95, 150, 30},
      {app->hWndUploadSettings, 10, 130, 150, 50}, {app->hWndGroupSettings, 5, 200, 160, 185},
      {app->hWndDefaultTimer, 10, 220, 150, 30},  {app->hWndListTimers, 10, 255, 150, 55},
      {app->hWndAddTimer, 10, 310, 150, 30},      {app->hWndDeleteTimer, 10, 345, 150, 30},
      {app->hWndSaveTimers, 10, 380, 150, 50},    {app->hWndGroupLoggedData, 5, 395, 160, 105},
      {app->hWndShowData, 10, 425, 150, 30},      {app->hWndExportData, 10, 460, 150, 30},
  };
  for (const Place& p : places) MoveWindow(p.hwnd, p.x, p.y, p.w, p.h, TRUE);
  // The save button's place runs into the "Logged Data" group and "Show Data" below it: it
  // is kept on top, and they leave it alone when they paint, so that its label can be read.
  SetWindowPos(app->hWndSaveTimers, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  for (HWND below : {app->hWndGroupLoggedData, app->hWndShowData})
    SetWindowLongPtrW(below, GWL_STYLE, GetWindowLongPtrW(below, GWL_STYLE) | WS_CLIPSIBLINGS);
}

void LayoutMainWindow(HWND main, APPDATA* app) {
  RECT rc;
  GetClientRect(main, &rc);
  MoveWindow(app->hWndEcho, rc.left + kColumnWidth, rc.top, rc.right - (kColumnWidth + 1),
             rc.bottom - kStatusBarSpace, TRUE);
  SendMessageW(app->hWndStatusBar, WM_SIZE, 0, 0);
}

// ---- port list ------------------------------------------------------------------------

void FillPortList(APPDATA* app, int selected) {
  SendMessageW(app->hWndComboPorts, CB_RESETCONTENT, 0, 0);
  for (int i = 0; i < CountPorts(app->ports); ++i) {
    wchar_t text[260];
    std::swprintf(text, 260, L"%ls", app->ports[i].port_name);
    SendMessageW(app->hWndComboPorts, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  SendMessageW(app->hWndComboPorts, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

// Every 5 s: the ports the system lists now, the selection kept while its port is listed.
void RefreshPortList(APPDATA* app) {
  std::vector<PORTENTRY> before(app->ports, app->ports + kPortTableSlots);
  const int selected = static_cast<int>(SendMessageW(app->hWndComboPorts, CB_GETCURSEL, 0, 0));
  std::vector<platform::RegistryValue> values;
  int error = 0;
  const bool listed = platform::ReadSerialCommValues(&values, &error);
  const int now = RefreshPortTable(app->ports, selected, listed ? &values : nullptr);
  // An unchanged list is left alone, so that an open drop-down is not closed under the user.
  if (now == selected &&
      std::memcmp(before.data(), app->ports, sizeof(PORTENTRY) * kPortTableSlots) == 0)
    return;
  FillPortList(app, now);
}

// ---- device connection ----------------------------------------------------------------

enum class DeviceDialog { kInfo, kSync, kUpload };

void RunDeviceConnection(HWND main, APPDATA* app, DeviceDialog which) {
  const int item = static_cast<int>(SendMessageW(app->hWndComboPorts, CB_GETCURSEL, 0, 0));
  if (item < 0 || item >= CountPorts(app->ports)) {
    ErrorBox(main, LoadText(IDS_NO_SERIAL_PORT));
    return;
  }
  const uint32_t number = app->ports[item].port_number;
  int error = 0;
  std::unique_ptr<platform::SerialPort> port = OpenComPort(number, &error);
  if (!port) {
    ShowErrorCode(main, error);
    return;
  }
  app->hComPort = port.get();
  if (which != DeviceDialog::kInfo) {
    SetStatus(app, 0, LoadText(IDS_CONNECTED));
    SetStatus(app, 1, Wide(PortStatusText(number)));
  }
  switch (which) {
    case DeviceDialog::kInfo: RunDeviceInfoDialog(main); break;
    case DeviceDialog::kSync: RunTimeSyncDialog(main); break;
    case DeviceDialog::kUpload: RunUploadSettingsDialog(main); break;
  }
  app->hComPort = nullptr;
  port.reset();  // closes the port
  SetStatus(app, 0, LoadText(IDS_DISCONNECTED));
  SetStatus(app, 1, L"");
}

// ---- timer list -----------------------------------------------------------------------

void EnableTimerButtons(APPDATA* app) {
  const BOOL some = TimerCountAllowsSave(app->timer_count);
  EnableWindow(app->hWndAddTimer, some);
  EnableWindow(app->hWndSaveTimers, some);
}

void UpdateTimerList(HWND main, APPDATA* app, TIMERSETTINGS* p) {
  if (!p) return;
  const TimerListUpdate u = UpdateTimerSlots(app->timers, &app->timer_count, p);
  const std::string name = TimerName(*p);
  switch (u.change) {
    case TimerListChange::kReplaced:
      SendMessageA(app->hWndListTimers, LB_DELETESTRING, static_cast<WPARAM>(u.index), 0);
      SendMessageA(app->hWndListTimers, LB_INSERTSTRING, static_cast<WPARAM>(u.index),
                   reinterpret_cast<LPARAM>(name.c_str()));
      break;
    case TimerListChange::kAppended:
      SendMessageA(app->hWndListTimers, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
      break;
    case TimerListChange::kFull:
      // Not listed, so not kept: the record came from the dialog and nobody else holds it.
      FreeTimerRecord(p);
      ErrorBox(main, LoadText(IDS_TOO_MANY_TIMERS));
      break;
  }
  EnableTimerButtons(app);
}

void DeleteCurrentTimer(APPDATA* app) {
  const int i = static_cast<int>(SendMessageW(app->hWndListTimers, LB_GETCURSEL, 0, 0));
  TIMERSETTINGS* removed = DeleteTimerSlot(app->timers, &app->timer_count, i);
  if (!removed) return;  // no current item
  FreeTimerRecord(removed);
  SendMessageW(app->hWndListTimers, LB_DELETESTRING, static_cast<WPARAM>(i), 0);
  EnableWindow(app->hWndSaveTimers, TimerCountAllowsSave(app->timer_count));
  if (app->timer_count == 0) EnableWindow(app->hWndDeleteTimer, FALSE);
}

void OnTimerListNotify(HWND main, APPDATA* app, HWND list, int code) {
  platform::DebugTrace("hwnd = %i, id = %i, hwndCtl = %i, codeNotify = %i\n",
                       static_cast<int>(reinterpret_cast<INT_PTR>(main)), 0,
                       static_cast<int>(reinterpret_cast<INT_PTR>(list)), code);
  const int current = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
  if (code == LBN_DBLCLK) {
    if (current >= 0 && current < app->timer_count) {
      RunAddTimerDialog(main, app->timers[current]);
      platform::DebugTrace("ListBox: Button Doubleclicked, timerid = %i\n", current);
    }
  } else if (code == LBN_SELCHANGE) {
    EnableWindow(app->hWndDeleteTimer, TRUE);
    platform::DebugTrace("ListBox: Selection Changed, Current selection = %i\n", current);
  }
}

void SaveTimerList(HWND main, APPDATA* app) {
  wchar_t path[kChooserChars] = {};
  wcsncpy(path, LoadText(IDS_TIMERS_DAT).c_str(), kChooserChars - 1);
  DWORD ext = 0;
  const bool chosen = ChooseFile(main, Chooser::kSave, IDS_FILTER_DAT, path, kChooserChars, &ext);
  if (ext != 0) {
    ShowLastError(main);
    return;
  }
  if (!chosen) return;
  int error = 0;
  std::string why;
  if (SaveTimerFile(Utf8(path), app->timers, app->timer_count, &error, &why)) return;
  if (error != 0)
    ShowErrorCode(main, error);
  else
    ErrorBox(main, Utf8(path) + ": " + why);
}

// ---- logged data ----------------------------------------------------------------------

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

void ShowData(HWND main, APPDATA* app) {
  wchar_t path[kChooserChars] = {};
  DWORD ext = 0;
  const bool chosen = ChooseFile(main, Chooser::kOpen, IDS_FILTER_BIN, path, kChooserChars, &ext);
  if (ext != 0) {
    ShowLastError(main);
    return;
  }
  if (chosen) LoadLoggedData(main, app, path);
}

// ---- messages -------------------------------------------------------------------------

LRESULT OnCreate(HWND main, const CREATESTRUCTW* cs) {
  auto* app = static_cast<APPDATA*>(LocalAlloc(LPTR, sizeof(APPDATA)));
  if (!app) return -1;
  SetWindowLongPtrW(main, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(app));
  app->hWndMain = main;
  app->hWndEcho = CreateWindowExW(0, L"WEchoClass", nullptr, WS_CHILD | WS_VISIBLE,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  main, nullptr, cs->hInstance, nullptr);
  CreateControls(main, app);
  EnumerateComPorts(app->ports);
  SortPorts(app->ports);
  FillPortList(app, 0);
  SetTimer(main, kPortRefreshTimer, kPortRefreshMs, nullptr);
  PlaceControls(app);
  EnableWindow(app->hWndExportData, FALSE);
  app->default_timer = NewTimerRecord(DefaultTimerSettings());
  return 0;
}

LRESULT OnCommand(HWND main, int id, HWND ctl, UINT code) {
  APPDATA* app = State(main);
  if (!app) return 0;
  if (ctl) {
    if (ctl == app->hWndAddTimer) RunAddTimerDialog(main, nullptr);
    else if (ctl == app->hWndDefaultTimer) RunDefaultTimerDialog(main);
    else if (ctl == app->hWndListTimers) OnTimerListNotify(main, app, ctl, static_cast<int>(code));
    else if (ctl == app->hWndConnect) RunDeviceConnection(main, app, DeviceDialog::kInfo);
    else if (ctl == app->hWndSyncTime) RunDeviceConnection(main, app, DeviceDialog::kSync);
    else if (ctl == app->hWndUploadSettings) RunDeviceConnection(main, app, DeviceDialog::kUpload);
    else if (ctl == app->hWndDeleteTimer) DeleteCurrentTimer(app);
    else if (ctl == app->hWndSaveTimers) { if (app->timer_count > 0) SaveTimerList(main, app); }
    else if (ctl == app->hWndShowData) ShowData(main, app);
    else if (ctl == app->hWndExportData) { if (app->data_loaded) RunExportDialog(main); }
    return 0;
  }
  switch (id) {
    case IDM_ABOUT: RunAboutBox(main); return 0;
    case IDM_EXIT: DestroyWindow(main); return 0;
    case IDM_VIEWER_SETTINGS: RunViewerSettingsDialog(main); return 0;
    default:
      return DefWindowProcW(main, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(ctl));
  }
}

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: return OnCreate(hwnd, reinterpret_cast<CREATESTRUCTW*>(lParam));
    case WM_DESTROY:
    case WM_ENDSESSION: PostQuitMessage(0); return 0;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED && State(hwnd)) LayoutMainWindow(hwnd, State(hwnd));
      return 0;
    case WM_QUERYENDSESSION: return TRUE;
    case WM_GETMINMAXINFO: {
      auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
      mmi->ptMinTrackSize.x = 500;
      mmi->ptMinTrackSize.y = 700;
      return 0;
    }
    case WM_COMMAND:
      return OnCommand(hwnd, LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
    case WM_TIMER:
      if (wParam == kPortRefreshTimer && State(hwnd)) RefreshPortList(State(hwnd));
      return 0;
    case WMU_TIMER_CHANGED:
      if (State(hwnd)) UpdateTimerList(hwnd, State(hwnd), reinterpret_cast<TIMERSETTINGS*>(lParam));
      return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

APPDATA* AppData(HWND hwnd) {
  if (!hwnd) return nullptr;
  HWND root = GetAncestor(hwnd, GA_ROOTOWNER);
  return reinterpret_cast<APPDATA*>(GetWindowLongPtrW(root ? root : hwnd, GWLP_USERDATA));
}

bool RegisterMainClass(HINSTANCE instance, const wchar_t* class_name) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = MainWndProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_ZT615_CONTROL));
  wc.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
  wc.lpszMenuName = MAKEINTRESOURCEW(IDC_ZT615_CONTROL);
  wc.lpszClassName = class_name;
  return RegisterClassExW(&wc) != 0;
}

void OpenLoggedData(HWND main, const std::wstring& path) {
  if (APPDATA* app = State(main)) LoadLoggedData(main, app, path);
}

TIMERSETTINGS* NewTimerRecord(const TIMERSETTINGS& value) {
  auto* t = static_cast<TIMERSETTINGS*>(LocalAlloc(LPTR, sizeof(TIMERSETTINGS)));
  if (t) *t = value;
  return t;
}

void FreeTimerRecord(TIMERSETTINGS* record) {
  if (record) LocalFree(record);
}

}  // namespace zt::control
