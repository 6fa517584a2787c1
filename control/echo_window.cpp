// The echogram child window (WEchoClass): its state, the open file and its index, and the
// navigation: dragging, the wheel and the keys move the time window and zoom the depth
// scale, hovering shows a ping. What it shows is drawn by echo_paint.cpp.
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "control/app_state.h"
#include "control/control.h"
#include "control/echo_state.h"
#include "control/win_util.h"
#include "platform/file.h"
#include "platform/trace.h"
#include "viewer/echogram.h"
#include "viewer/recording.h"

namespace zt::control {
namespace {

using viewer::PIXELMAP;

// Posted to the echogram window by its indexing thread: wParam the generation of the file
// it indexes, lParam MAKELPARAM(percent done, 1 when finished).
constexpr UINT WMU_INDEX_PROGRESS = WM_APP + 1;
// WM_DPICHANGED_AFTERPARENT: the window moved to a monitor of another dpi (Windows 10 on;
// older headers lack the name).
constexpr UINT kDpiChangedAfterParent = 0x02E3;

ECHOSTATE* State(HWND hwnd) {
  return reinterpret_cast<ECHOSTATE*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void SetStatus(HWND hwnd, int part, const std::string& text) {
  APPDATA* app = AppData(hwnd);
  if (!app || !app->hWndStatusBar) return;
  const std::wstring w = Wide(text);
  SendMessageW(app->hWndStatusBar, SB_SETTEXTW, static_cast<WPARAM>(part),
               reinterpret_cast<LPARAM>(w.c_str()));
}

// ---- messages -------------------------------------------------------------------------

void OnSize(HWND hwnd, ECHOSTATE* st, int w, int h) {
  if (w <= 0 || h <= 0) return;
  const EchoLayout L = LayoutOf(w, h, WindowDpi(hwnd));
  st->map_width = L.map_width();
  st->map_height = L.map_height();
  try {
    st->pixel_map.assign(static_cast<size_t>(st->map_width) * static_cast<size_t>(st->map_height),
                         PIXELMAP{0, 0});
  } catch (const std::bad_alloc&) {
    platform::DebugTrace("echogram: no memory for a %d x %d pixel map\n", st->map_width,
                         st->map_height);
    st->pixel_map.clear();
    st->map_width = st->map_height = 0;
  }
}

void CloseFile(ECHOSTATE* st) {
  st->loaded = false;
  st->rec.Close();  // stops the indexing thread at once
  ++st->generation;
  st->cache.Clear();
  st->view.view_begin = st->view.view_end = 0;
  st->view.file_first_time = st->view.file_last_time = 0;
  st->selected_column = 0;
  st->hovered = false;
}

// Status bar part 1 while the index is built: "Indexing NN %"; afterwards what it showed.
void ShowIndexing(HWND hwnd, ECHOSTATE* st, int percent, bool finished) {
  if (!finished)
    SetStatus(hwnd, 1, "Indexing " + std::to_string(percent) + " %");
  else
    SetStatus(hwnd, 1, st->hovered ? viewer::DeviceIdText(st->rec.info().header.device_id) : "");
}

void StartIndex(HWND hwnd, ECHOSTATE* st) {
  const uint32_t generation = st->generation;
  // Posted, never sent: the thread never waits for the window, which may be stopping it.
  auto notify = [hwnd, generation](uint32_t done, uint32_t total, bool finished) {
    const int percent = total > 0 ? static_cast<int>(uint64_t{done} * 100 / total) : 100;
    PostMessageW(hwnd, WMU_INDEX_PROGRESS, generation, MAKELPARAM(percent, finished ? 1 : 0));
  };
  std::string why;
  if (!st->rec.StartIndex(notify, &why)) {
    SetStatus(hwnd, 2, why);  // the views are still found by searching the file
    return;
  }
  ShowIndexing(hwnd, st, 0, false);
}

void OnIndexProgress(HWND hwnd, ECHOSTATE* st, WPARAM generation, LPARAM lParam) {
  if (generation != st->generation || !st->loaded) return;
  const bool finished = HIWORD(lParam) != 0;
  ShowIndexing(hwnd, st, LOWORD(lParam), finished);
  if (!finished) return;
  const viewer::BackgroundIndex& index = st->rec.index();
  if (index.failed()) {
    SetStatus(hwnd, 2, index.error());
  } else if (!index.rising()) {
    // The times fall somewhere: the view follows the whole index now, as it must.
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
  }
}

void OnFileOpened(HWND hwnd, ECHOSTATE* st) {
  CloseFile(st);
  APPDATA* app = AppData(hwnd);
  std::string why;
  if (app && app->data_loaded) {
    const std::string path = Utf8(app->data_file_path);
    if (!st->rec.Open(path, &why))
      why = path + ": " + why;
    else
      st->loaded = true;
  }
  platform::DebugTrace("sizeof(ECHOHEADER) = %i sizeof(ECHOFOOTER) = %i\n",
                       static_cast<int>(sizeof(ECHOHEADER)), static_cast<int>(sizeof(ECHOFOOTER)));
  if (st->loaded) {
    // The first view needs the first and last ping only, and is drawn before the index
    // starts to read, so that it has the medium to itself.
    viewer::OpenView(&st->view, st->rec.first_time(), st->rec.last_time());
  } else {
    CloseFile(st);
    // The window says "No Data"; the status bar says why.
    if (!why.empty()) SetStatus(hwnd, 2, why);
  }
  InvalidateRect(hwnd, nullptr, TRUE);
  UpdateWindow(hwnd);
  if (st->loaded) StartIndex(hwnd, st);
}

void OnMouseMove(HWND hwnd, ECHOSTATE* st, int x, int y) {
  if (!st->loaded) return;
  const EchoLayout L = LayoutOf(hwnd);
  const bool over = OverEchogram(L, x, y);
  if (over && st->dragging) {
    const int64_t shift = viewer::DragShift(st->view.span_s, st->map_width, st->drag_anchor_x, x);
    if (shift == 0) return;  // the anchor stays: small moves add up
    st->drag_anchor_x = x;
    viewer::ClampView(&st->view, shift);
    PaintNow(hwnd, st, kEchogramPart);
  }
  if (!over) {
    st->selected_column = 0;
    return;
  }
  st->selected_column = x - L.image.left;
  const int64_t cells = static_cast<int64_t>(st->map_width) * st->map_height;
  int64_t k = static_cast<int64_t>(y - L.image.top) * st->map_width + (x - L.image.left);
  if (k >= cells || k < 0) k = 0;
  if (cells <= 0 || st->pixel_map.size() != static_cast<size_t>(cells)) return;
  const uint32_t record_size = st->rec.info().record_size;
  std::vector<uint8_t> record(record_size, 0);
  const int32_t ping = st->pixel_map[static_cast<size_t>(k)].ping;
  if (ping >= 0 && record_size > 0)
    ReadPingSized(st->rec.file(), record.data(), record_size, static_cast<uint32_t>(ping));
  SetStatus(hwnd, 2, viewer::HoverText(record.data(), record_size));
  SetStatus(hwnd, 1, viewer::DeviceIdText(st->rec.info().header.device_id));
  st->hovered = true;
  PaintNow(hwnd, st, kProfilePart);
}

// A click gives the echogram the keyboard; on the echogram it starts a drag, which keeps the
// mouse until the button is let go, inside the window or not.
void OnButtonDown(HWND hwnd, ECHOSTATE* st, int x, int y) {
  SetFocus(hwnd);
  if (!OverEchogram(LayoutOf(hwnd), x, y)) return;
  st->dragging = true;
  st->drag_anchor_x = x;
  SetCapture(hwnd);
}

void EndDrag(ECHOSTATE* st) {
  st->dragging = false;
  if (GetCapture() != nullptr) ReleaseCapture();
}

// One step of the depth scale, as a wheel notch: delta > 0 shows more metres.
void ZoomDepth(HWND hwnd, ECHOSTATE* st, int delta) {
  APPDATA* app = AppData(hwnd);
  const float current =
      app && app->view_settings_set ? app->view_max_altitude_m : st->max_altitude_m;
  const float next = viewer::ZoomAltitude(current, delta);
  st->max_altitude_m = next;
  if (app) app->view_max_altitude_m = next;
  viewer::ClampView(&st->view, 0);
  PaintNow(hwnd, st, kEchogramPart);
}

void OnMouseWheel(HWND hwnd, ECHOSTATE* st, WPARAM wParam, LPARAM lParam) {
  const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
  const int keys = GET_KEYSTATE_WPARAM(wParam);
  POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  const POINT received = pt;
  ScreenToClient(hwnd, &pt);
  if (st->loaded) {
    if (keys == MK_LBUTTON && delta != 0) {
      if (OverEchogram(LayoutOf(hwnd), pt.x, pt.y)) {
        const int32_t step = viewer::WheelTimeShift(st->map_width);
        viewer::ClampView(&st->view, delta > 0 ? step : -static_cast<int64_t>(step));
        PaintNow(hwnd, st, kEchogramPart);
      }
    } else {
      ZoomDepth(hwnd, st, delta);
    }
  }
  platform::DebugTrace("Cls_OnMouseWheel: xPos = %d yPos = %d zDelta = %d, fwKeys = %d\n",
                       static_cast<int>(received.x), static_cast<int>(received.y), delta, keys);
}

// Left and Right move the view by a tenth of the span, Page Up and Page Down by a span, Home
// and End to the first and the last ping; + and - zoom the depth scale in and out.
void OnKeyDown(HWND hwnd, ECHOSTATE* st, WPARAM key) {
  if (!st->loaded) return;
  const int64_t span = std::max<int32_t>(st->view.span_s, 0);
  int64_t shift = 0;
  switch (key) {
    case VK_LEFT: shift = -(span / 10); break;
    case VK_RIGHT: shift = span / 10; break;
    case VK_PRIOR: shift = -span; break;
    case VK_NEXT: shift = span; break;
    case VK_HOME: shift = int64_t{st->view.file_first_time} - st->view.view_begin; break;
    case VK_END: shift = int64_t{st->view.file_last_time} - st->view.view_end; break;
    case VK_ADD:
    case VK_OEM_PLUS: ZoomDepth(hwnd, st, -1); return;
    case VK_SUBTRACT:
    case VK_OEM_MINUS: ZoomDepth(hwnd, st, 1); return;
    default: return;
  }
  if (shift == 0) return;
  viewer::ClampView(&st->view, shift);
  PaintNow(hwnd, st, kEchogramPart);
}

LRESULT CALLBACK EchoWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  ECHOSTATE* st = State(hwnd);
  if (!st && msg != WM_CREATE) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_CREATE: {
      auto* created = new (std::nothrow) ECHOSTATE();
      if (!created) return -1;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
      return 0;
    }
    case WM_SIZE: OnSize(hwnd, st, LOWORD(lParam), HIWORD(lParam)); return 0;
    case kDpiChangedAfterParent: {
      RECT rc;
      GetClientRect(hwnd, &rc);
      OnSize(hwnd, st, rc.right, rc.bottom);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      PaintContent(hwnd, dc, st, kAllParts);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT: PaintContent(hwnd, reinterpret_cast<HDC>(wParam), st, kAllParts); return 0;
    case WM_MOUSEMOVE: OnMouseMove(hwnd, st, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return 0;
    case WM_LBUTTONDOWN: OnButtonDown(hwnd, st, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return 0;
    case WM_LBUTTONUP: EndDrag(st); return 0;
    case WM_CAPTURECHANGED: st->dragging = false; return 0;
    case WM_KEYDOWN: OnKeyDown(hwnd, st, wParam); return 0;
    // The arrows are the echogram's, not the dialog navigation's of the main window.
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_MOUSEWHEEL: OnMouseWheel(hwnd, st, wParam, lParam); return 0;
    case WMU_FILE_OPENED: OnFileOpened(hwnd, st); return 0;
    case WMU_INDEX_PROGRESS: OnIndexProgress(hwnd, st, wParam, lParam); return 0;
    case WM_DESTROY: CloseFile(st); return 0;
    case WMU_FILE_CLOSED:
      CloseFile(st);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WMU_SET_GAMMA:
      if (lParam) st->gamma = *reinterpret_cast<const float*>(lParam);
      return 0;
    case WMU_SET_MAX_ALTITUDE:
      if (lParam) st->max_altitude_m = *reinterpret_cast<const float*>(lParam);
      return 0;
    case WMU_SET_PALETTE:
      if (lParam) st->palette = *reinterpret_cast<const int32_t*>(lParam);
      return 0;
    case WMU_SET_SPAN:
      if (lParam) st->view.span_s = *reinterpret_cast<const int32_t*>(lParam);
      viewer::ClampView(&st->view, 0);
      InvalidateRect(hwnd, nullptr, TRUE);
      UpdateWindow(hwnd);
      return 0;
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
