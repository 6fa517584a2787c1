// zt615_control: start-up, the message loop and the way out.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include "control/app_state.h"
#include "control/control.h"
#include "control/gdiplus_inc.h"
#include "control_ids.h"
#include "platform/trace.h"

namespace {

constexpr int kMaxLoadString = 100;

// Creates and shows the main window; null when it cannot be created.
HWND InitInstance(HINSTANCE instance, int show, const wchar_t* class_name,
                  const wchar_t* title) {
  HWND hwnd = CreateWindowExW(0, class_name, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                              CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return nullptr;
  zt::platform::DebugTrace("InitInstance()\n");
  zt::control::PlaceMainWindow(hwnd, show);
  UpdateWindow(hwnd);
  return hwnd;
}

// Enter presses the main window's push button that has the focus (Space does by itself).
bool PressFocusedButton(HWND main, const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN || !IsChild(main, msg.hwnd))
    return false;
  wchar_t cls[16] = {};
  GetClassNameW(msg.hwnd, cls, 16);
  const LONG_PTR type = GetWindowLongPtrW(msg.hwnd, GWL_STYLE) & BS_TYPEMASK;
  if (lstrcmpiW(cls, L"Button") != 0 || (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON))
    return false;
  SendMessageW(msg.hwnd, BM_CLICK, 0, 0);
  return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
  // The pickers, progress bars and status bar are common controls.
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_DATE_CLASSES |
                                              ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);

  Gdiplus::GdiplusStartupInput gdiplus_input;
  ULONG_PTR gdiplus_token = 0;
  Gdiplus::GdiplusStartup(&gdiplus_token, &gdiplus_input, nullptr);

  wchar_t title[kMaxLoadString + 1] = {};
  wchar_t class_name[kMaxLoadString + 1] = {};
  LoadStringW(instance, IDS_APP_TITLE, title, kMaxLoadString);
  LoadStringW(instance, IDC_ZT615_CONTROL, class_name, kMaxLoadString);
  zt::control::LoadRememberedSettings();
  zt::control::RegisterMainClass(instance, class_name);
  zt::control::RegisterEchoClass(instance);

  HWND main = InitInstance(instance, show, class_name, title);
  if (!main) return 0;

  // A logged file named on the command line is opened as if chosen with "Show Data".
  int argc = 0;
  if (wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
    if (argc >= 2 && argv[1][0] != L'\0') zt::control::OpenLoggedData(main, argv[1]);
    LocalFree(argv);
  }

  HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_ZT615_CONTROL));
  MSG msg = {};
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) break;
    // The wheel goes to the echogram under the pointer, whichever control has the keyboard
    // (hovering does not take it), as Windows 10 itself sends it.
    if (msg.message == WM_MOUSEWHEEL) {
      const POINT at = {GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
      zt::control::APPDATA* app = zt::control::AppData(main);
      if (app && app->hWndEcho && WindowFromPoint(at) == app->hWndEcho) msg.hwnd = app->hWndEcho;
    }
    // Alt+? reaches the main window also while one of its buttons has the focus.
    HWND target = msg.hwnd && GetAncestor(msg.hwnd, GA_ROOT) == main ? main : msg.hwnd;
    if (TranslateAcceleratorW(target, accelerators, &msg)) continue;
    if (target == main && PressFocusedButton(main, msg)) continue;
    // Tab and Shift+Tab move through the main window's controls, as in a dialog.
    if (target == main && IsDialogMessageW(main, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  Gdiplus::GdiplusShutdown(gdiplus_token);
  return static_cast<int>(msg.wParam);
}
