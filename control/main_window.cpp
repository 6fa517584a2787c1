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
#include "device/ports.h"
#include "logfile/logfile.h"
#include "platform/file.h"
#include "platform/serial_port.h"
#include "platform/trace.h"
#include "timers/timer_file.h"
#include "timers/timer_list.h"
#include "timers/timer_values.h"

namespace zt::control {
namespace {

constexpr int kColumnWidth = 170;
constexpr int kStatusBarSpace = 24;

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

// The font of the controls: the stock GUI font at the window's dpi (the stock font is made
// for the system's). Kept for the life of the window; replaced when the dpi changes.
HFONT g_font = nullptr;

void SetControlFont(APPDATA* app, int dpi) {
  LOGFONTW lf = {};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
  const int system_dpi = WindowDpi(nullptr);
  if (dpi != system_dpi) lf.lfHeight = MulDiv(lf.lfHeight, dpi, system_dpi);
  HFONT font = CreateFontIndirectW(&lf);
  for (HWND h : {app->hWndComboPorts, app->hWndConnect, app->hWndSyncTime,
                 app->hWndUploadSettings, app->hWndGroupDevice, app->hWndListTimers,
                 app->hWndDefaultTimer, app->hWndAddTimer, app->hWndDeleteTimer,
                 app->hWndSaveTimers, app->hWndGroupSettings, app->hWndShowData,
                 app->hWndExportData, app->hWndGroupLoggedData, app->hWndStatusBar})
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (g_font) DeleteObject(g_font);
  g_font = font;
}

void SetStatusParts(APPDATA* app, int dpi) {
  SendMessageW(app->hWndStatusBar, SB_SETMINHEIGHT, static_cast<WPARAM>(Scaled(10, dpi)), 0);
  int parts[3] = {Scaled(100, dpi), Scaled(250, dpi), -1};
  SendMessageW(app->hWndStatusBar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
}

void CreateControls(HWND main, APPDATA* app) {
  // The group boxes frame the controls but take no focus: Tab passes them by.
  const DWORD group = BS_GROUPBOX | WS_GROUP;
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

  const int dpi = WindowDpi(main);
  SetControlFont(app, dpi);
  SetStatusParts(app, dpi);
  SetStatus(app, 0, LoadText(IDS_DISCONNECTED));
}

// Tab and Shift+Tab follow the column from top to bottom (the window's stacking order).
void SetTabOrder(APPDATA* app) {
  const HWND order[] = {app->hWndComboPorts,  app->hWndConnect,      app->hWndSyncTime,
                        app->hWndUploadSettings, app->hWndDefaultTimer, app->hWndListTimers,
                        app->hWndAddTimer,    app->hWndDeleteTimer,  app->hWndSaveTimers,
                        app->hWndShowData,    app->hWndExportData};
  HWND after = HWND_TOP;
  for (HWND h : order) {
    SetWindowPos(h, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = h;
  }
}

// The column in pixels at 96 dpi, scaled to the window's.
void PlaceControls(APPDATA* app, int dpi) {
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
  for (const Place& p : places)
    MoveWindow(p.hwnd, Scaled(p.x, dpi), Scaled(p.y, dpi), Scaled(p.w, dpi), Scaled(p.h, dpi),
               TRUE);
  // The save button's place runs into the "Logged Data" group and "Show Data" below it: it
  // stacks above them (the tab order puts it first), and they leave it alone when they
  // paint, so that its label can be read.
  for (HWND below : {app->hWndGroupLoggedData, app->hWndShowData})
    SetWindowLongPtrW(below, GWL_STYLE, GetWindowLongPtrW(below, GWL_STYLE) | WS_CLIPSIBLINGS);
}

void LayoutMainWindow(HWND main, APPDATA* app) {
  RECT rc;
  GetClientRect(main, &rc);
  const int dpi = WindowDpi(main);
  const int column = Scaled(kColumnWidth, dpi);
  MoveWindow(app->hWndEcho, rc.left + column, rc.top, rc.right - (column + 1),
             rc.bottom - Scaled(kStatusBarSpace, dpi), TRUE);
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

// ---- messages -------------------------------------------------------------------------

// The remembered port when it is still listed, else the first.
int RememberedPortItem(APPDATA* app) {
  const std::optional<uint32_t>& port = Remembered().port;
  for (int i = 0; port && i < CountPorts(app->ports); ++i)
    if (app->ports[i].port_number == *port) return i;
  return 0;
}

// Viewer settings remembered from an earlier run: as if the dialog had just stored them.
void RestoreViewerSettings(APPDATA* app) {
  const std::optional<ViewerChoice>& v = Remembered().viewer;
  if (!v) return;
  app->view_span_s = v->span_s;
  app->view_max_altitude_m = v->max_altitude_m;
  app->view_gamma = v->gamma;
  app->view_palette = v->palette;
  app->view_settings_set = TRUE;
  app->view_settings_applied = TRUE;
  SendMessageW(app->hWndEcho, WMU_SET_GAMMA, 0, reinterpret_cast<LPARAM>(&app->view_gamma));
  SendMessageW(app->hWndEcho, WMU_SET_MAX_ALTITUDE, 0,
               reinterpret_cast<LPARAM>(&app->view_max_altitude_m));
  SendMessageW(app->hWndEcho, WMU_SET_PALETTE, 0, reinterpret_cast<LPARAM>(&app->view_palette));
  SendMessageW(app->hWndEcho, WMU_SET_SPAN, 0, reinterpret_cast<LPARAM>(&app->view_span_s));
}

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
  FillPortList(app, RememberedPortItem(app));
  SetTimer(main, kPortRefreshTimer, kPortRefreshMs, nullptr);
  SetTabOrder(app);
  PlaceControls(app, WindowDpi(main));
  EnableWindow(app->hWndExportData, FALSE);
  app->default_timer = NewTimerRecord(DefaultTimerSettings());
  RestoreViewerSettings(app);
  return 0;
}

// Exit and the close box: the settings are kept and the window goes, unless an export is
// still being written and the user waits for it.
void Leave(HWND main) {
  if (!ConfirmQuit(main, false)) return;
  SaveRememberedSettings(main);
  DestroyWindow(main);
}

// The export worker has ended: its error box, if any, and a quit that waited for it.
void OnExportDone(HWND main, APPDATA* app) {
  if (!ExportDialogOpen()) ShowExportOutcome(main);
  if (app->quit_after_export && !ExportRunning()) {
    SaveRememberedSettings(main);
    DestroyWindow(main);
  }
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
    else if (ctl == app->hWndSaveTimers) SaveTimerList(main);
    else if (ctl == app->hWndShowData) ShowData(main);
    else if (ctl == app->hWndExportData) { if (app->data_loaded) RunExportDialog(main); }
    return 0;
  }
  switch (id) {
    case IDM_ABOUT: RunAboutBox(main); return 0;
    case IDM_EXIT: Leave(main); return 0;
    case IDM_VIEWER_SETTINGS: RunViewerSettingsDialog(main); return 0;
    case IDM_OPEN_TIMERS: OpenTimerList(main); return 0;
    case IDM_CLOSE_DATA: CloseData(main); return 0;
    default:
      return DefWindowProcW(main, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(ctl));
  }
}

// The focus returns to the control that had it when the window is activated again.
void OnActivate(HWND main, APPDATA* app, WPARAM wParam) {
  if (LOWORD(wParam) == WA_INACTIVE) {
    HWND focus = GetFocus();
    app->hWndFocus = focus && IsChild(main, focus) ? focus : nullptr;
  }
}

void OnSetFocus(APPDATA* app) {
  if (app->hWndFocus && IsWindow(app->hWndFocus) && IsWindowEnabled(app->hWndFocus))
    SetFocus(app->hWndFocus);
}

// Another dpi (the window moved to another monitor, or the scale changed): the suggested
// rectangle, then the column and its font at the new density.
void OnDpiChanged(HWND main, APPDATA* app, WPARAM wParam, const RECT* suggested) {
  const int dpi = HIWORD(wParam);
  SetControlFont(app, dpi);
  SetStatusParts(app, dpi);
  PlaceControls(app, dpi);
  SetWindowPos(main, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
               suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  LayoutMainWindow(main, app);
}

// WM_ENDSESSION: the logon ends only when wParam says so; a cancelled one changes nothing.
void OnEndSession(HWND main, WPARAM ending) {
  if (!ending) return;
  SaveRememberedSettings(main);
  PostQuitMessage(0);
}

LRESULT OnOtherMessage(HWND hwnd, APPDATA* app, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CLOSE: Leave(hwnd); return 0;
    case WM_QUERYENDSESSION: return ConfirmQuit(hwnd, true) ? TRUE : FALSE;
    case WM_ENDSESSION: OnEndSession(hwnd, wParam); return 0;
    case WM_ACTIVATE:
      OnActivate(hwnd, app, wParam);
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_SETFOCUS: OnSetFocus(app); return 0;
    case WM_INITMENUPOPUP:
      EnableMenuItem(reinterpret_cast<HMENU>(wParam), IDM_CLOSE_DATA,
                     MF_BYCOMMAND | (app->data_loaded ? MF_ENABLED : MF_GRAYED));
      return 0;
    case WM_DPICHANGED: OnDpiChanged(hwnd, app, wParam, reinterpret_cast<RECT*>(lParam)); return 0;
    case WMU_EXPORT_DONE: OnExportDone(hwnd, app); return 0;
    case WMU_TIMER_CHANGED:
      UpdateTimerList(hwnd, app, reinterpret_cast<TIMERSETTINGS*>(lParam));
      return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: return OnCreate(hwnd, reinterpret_cast<CREATESTRUCTW*>(lParam));
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED && State(hwnd)) LayoutMainWindow(hwnd, State(hwnd));
      return 0;
    case WM_GETMINMAXINFO: {
      // 500 x 700 at 96 dpi: the column and its status bar fit at any density.
      auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
      const int dpi = WindowDpi(hwnd);
      mmi->ptMinTrackSize.x = Scaled(kWindowMinWidth, dpi);
      mmi->ptMinTrackSize.y = Scaled(kWindowMinHeight, dpi);
      return 0;
    }
    case WM_COMMAND:
      return OnCommand(hwnd, LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
    case WM_TIMER:
      if (wParam == kPortRefreshTimer && State(hwnd)) RefreshPortList(State(hwnd));
      return 0;
    default:
      if (APPDATA* app = State(hwnd)) return OnOtherMessage(hwnd, app, msg, wParam, lParam);
      return DefWindowProcW(hwnd, msg, wParam, lParam);
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

TIMERSETTINGS* NewTimerRecord(const TIMERSETTINGS& value) {
  auto* t = static_cast<TIMERSETTINGS*>(LocalAlloc(LPTR, sizeof(TIMERSETTINGS)));
  if (t) *t = value;
  return t;
}

void FreeTimerRecord(TIMERSETTINGS* record) {
  if (record) LocalFree(record);
}

}  // namespace zt::control
