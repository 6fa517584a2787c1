// The echogram child window (WEchoClass). Until the viewer draws echograms it is a black
// area that knows whether a logged file is open, and says "No Data" when none is.
#include <windows.h>

#include "control/app_state.h"
#include "control/control.h"

namespace zt::control {
namespace {

void OnPaint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  APPDATA* app = AppData(hwnd);
  if (!app || !app->data_loaded) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    DrawTextW(dc, L"No Data", -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
  }
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK EchoWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: OnPaint(hwnd); return 0;
    case WMU_FILE_OPENED:
    case WMU_FILE_CLOSED: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

bool RegisterEchoClass(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = EchoWndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = L"WEchoClass";
  return RegisterClassExW(&wc) != 0;
}

}  // namespace zt::control
