// The echogram child window (WEchoClass): the pings of the open logged file inside the time
// window as an echogram with grid, frame and labels, the amplitude profile of the ping
// under the pointer and the colour scale; dragging and the wheel move the time window and
// zoom the depth scale. The pictures come from the viewer core; this file draws them.
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include <cstring>
#include <initializer_list>
#include <new>
#include <string>
#include <vector>

#include "control/app_state.h"
#include "control/control.h"
#include "control/gdiplus_inc.h"
#include "control/win_util.h"
#include "platform/file.h"
#include "platform/trace.h"
#include "viewer/echogram.h"
#include "viewer/recording.h"

namespace zt::control {
namespace {

using viewer::PIXELMAP;

// Margins of the echogram area inside the window, and the strips right of it.
constexpr int kImageLeft = 30;
constexpr int kImageTop = 20;
constexpr int kRightMargin = 120;   // echogram right edge: Wc - 120
constexpr int kBottomMargin = 20;   // echogram bottom edge: Hc - 20
constexpr int kProfileLeft = 100;   // profile strip: Wc - 100 ... Wc - 50
constexpr int kProfileRight = 50;
constexpr int kScaleLeft = 40;      // colour scale: Wc - 40 ... Wc - 30
constexpr int kScaleRight = 30;
constexpr int kMapWidthLess = 150;
constexpr int kMapHeightLess = 40;

const Gdiplus::ARGB kBlack = 0xFF000000;
const Gdiplus::ARGB kWhite = 0xFFFFFFFF;
const Gdiplus::ARGB kGrid = 0xFF545454;
const Gdiplus::ARGB kFrame = 0xE8E8ECFF;
const Gdiplus::ARGB kTrace = 0xFFFF0000;
const Gdiplus::ARGB kThreshold = 0xFFFFFF00;

// Posted to the echogram window by its indexing thread: wParam the generation of the file
// it indexes, lParam MAKELPARAM(percent done, 1 when finished).
constexpr UINT WMU_INDEX_PROGRESS = WM_APP + 1;

struct ECHOSTATE {
  std::vector<PIXELMAP> pixel_map;
  viewer::ViewWindow view;
  int32_t palette = viewer::kRainbow;
  float gamma = 1.0f;
  float max_altitude_m = 100.0f;
  int32_t selected_column = 0;
  int map_width = 0;
  int map_height = 0;
  int drag_anchor_x = 0;
  bool dragging = false;
  // The open file, read through a handle of the window's own; its index is built on a
  // thread of its own while the window shows the first view.
  bool loaded = false;
  viewer::Recording rec;
  uint32_t generation = 0;  // of the file opened last: older index messages are ignored
  bool hovered = false;     // a ping was hovered since the file opened
  viewer::PingCache cache;
  std::vector<uint8_t> image;
};

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

struct ClientSize {
  int w;
  int h;
};
ClientSize Client(HWND hwnd) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  return {rc.right, rc.bottom};
}

bool OverEchogram(HWND hwnd, int x, int y) {
  const ClientSize c = Client(hwnd);
  return x >= kImageLeft && x <= c.w - kRightMargin && y >= kImageTop && y <= c.h - kBottomMargin;
}

// ---- GDI+ pieces ----------------------------------------------------------------------

// The label font: the family by name, or the generic sans-serif one when it cannot be had.
struct LabelFont {
  Gdiplus::FontFamily family;
  Gdiplus::Font* font = nullptr;
  LabelFont(const wchar_t* name, float em_pixels) : family(name) {
    if (family.GetLastStatus() == Gdiplus::Ok)
      font = new Gdiplus::Font(&family, em_pixels, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    if (!font || font->GetLastStatus() != Gdiplus::Ok) {
      delete font;
      font = new Gdiplus::Font(Gdiplus::FontFamily::GenericSansSerif(), em_pixels,
                               Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    }
  }
  ~LabelFont() { delete font; }
};

void DrawText(Gdiplus::Graphics& g, const LabelFont& f, const std::string& text, float x, float y) {
  Gdiplus::SolidBrush white{Gdiplus::Color(kWhite)};
  const std::wstring w = Wide(text);
  g.DrawString(w.c_str(), static_cast<INT>(w.size()), f.font, Gdiplus::PointF(x, y), &white);
}

void DrawPolyline(Gdiplus::Graphics& g, Gdiplus::ARGB colour, bool dashed,
                  const std::vector<std::pair<int, int>>& pts, bool closed) {
  Gdiplus::SolidBrush brush{Gdiplus::Color(colour)};
  Gdiplus::Pen pen(&brush, 1.0f);
  if (dashed) pen.SetDashStyle(Gdiplus::DashStyleDash);
  std::vector<Gdiplus::Point> p;
  for (const auto& q : pts) p.emplace_back(q.first, q.second);
  if (closed)
    g.DrawPolygon(&pen, p.data(), static_cast<INT>(p.size()));
  else
    g.DrawLines(&pen, p.data(), static_cast<INT>(p.size()));
}

std::vector<std::pair<int, int>> Box(int left, int top, int w, int h) {
  return {{left, top}, {left + w, top}, {left + w, top + h}, {left, top + h}};
}

// Copies a 32-bit image to the device context unscaled; negative height: top-down rows.
void Blit(HDC dc, int x, int y, int w, int h, bool top_down, const uint8_t* bgra) {
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = w;
  bmi.bmiHeader.biHeight = top_down ? -h : h;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(w), static_cast<DWORD>(h), 0, 0, 0,
                    static_cast<UINT>(h), bgra, &bmi, DIB_RGB_COLORS);
}

// Draws `paint` into an off-screen picture w x h and shows the parts named by `shown`
// (rectangles of that picture) whole, with the picture's origin at `at` in the window, so a
// drag never shows a half-drawn picture.
template <typename Paint>
void OffScreen(HDC dc, POINT at, int w, int h, std::initializer_list<RECT> shown, Paint paint) {
  if (w <= 0 || h <= 0) return;
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bmp = CreateCompatibleBitmap(dc, w, h);
  if (!mem || !bmp) {
    platform::DebugTrace("off-screen bitmap %d x %d could not be made\n", w, h);
    if (bmp) DeleteObject(bmp);
    if (mem) DeleteDC(mem);
    return;
  }
  HGDIOBJ old = SelectObject(mem, bmp);
  paint(mem);
  for (const RECT& r : shown)
    if (r.right > r.left && r.bottom > r.top)
      BitBlt(dc, at.x + r.left, at.y + r.top, r.right - r.left, r.bottom - r.top, mem, r.left,
             r.top, SRCCOPY);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
}

// ---- the three pictures ---------------------------------------------------------------

void DrawEchogram(HDC dc, ECHOSTATE* st, int left, int top, int right, int bottom,
                  int label_band_right) {
  const int w = right - left;
  const int h = bottom - top;
  if (w <= 0 || h <= 0 || st->map_width != w || st->map_height != h) return;
  const LoggedFileInfo& info = st->rec.info();
  viewer::MapSpan(st->rec.Span(st->view.view_begin, st->view.view_end), info.samples,
                  info.header.range_mm, st->view.view_begin, st->view.view_end,
                  st->max_altitude_m, w, h, st->pixel_map.data());
  st->image.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  viewer::RenderEchogram(st->rec.file(), info.record_size, st->pixel_map.data(), w, h,
                         *viewer::PaletteFor(st->palette, st->gamma),
                         &st->cache, st->image.data());
  // The end-time label runs on past the echogram's right edge, above the profile strip: that
  // band is drawn afresh too, so the label is whole and a drag leaves no trail of old ones.
  const int label_right = std::max(right, label_band_right);
  OffScreen(dc, POINT{0, 0}, label_right, bottom,
            {RECT{0, 0, right, bottom}, RECT{right, 0, label_right, top}},
            [&](HDC mem) {
    RECT all = {0, 0, label_right, bottom};
    FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    Blit(mem, left, top, w, h, true, st->image.data());
    Gdiplus::Graphics g(mem);
    DrawPolyline(g, kGrid, true, viewer::GridPolyline(left, top, w, h), false);
    DrawPolyline(g, kFrame, false, Box(left, top, w, h), true);
    LabelFont font(L"Segoe UI", 10.0f);
    for (int i = 1; i <= 10; ++i)
      DrawText(g, font, viewer::DepthLabel(i, st->max_altitude_m), 5.0f,
               static_cast<float>(i * static_cast<double>(h) / 10.0 + 7.0));
    DrawText(g, font, viewer::StartTimeLabel(st->view.view_begin), 30.0f, 5.0f);
    DrawText(g, font, viewer::EndTimeLabel(st->view.view_end), static_cast<float>(w - 55), 5.0f);
  });
}

void DrawColorScale(HDC dc, ECHOSTATE* st, int left, int top, int right, int bottom) {
  const int w = right - left;
  const int h = bottom - top;
  if (w <= 0 || h <= 0) return;
  std::vector<uint8_t> scale(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  viewer::RenderColorScale(w, h, *viewer::PaletteFor(st->palette, st->gamma), scale.data());
  Blit(dc, left, top, w, h, false, scale.data());
  Gdiplus::Graphics g(dc);
  DrawPolyline(g, kWhite, false, Box(left, top, w, h), true);
  LabelFont font(L"Segoe UI", 10.0f);
  for (int i = 0; i <= 10; ++i)
    DrawText(g, font, viewer::ScaleLabel(i), static_cast<float>(right + 1),
             static_cast<float>(h + 15 - (i * static_cast<double>(h) / 10.0 + 7.0)));
}

void DrawAmplitudeProfile(HDC dc, ECHOSTATE* st, int32_t threshold_pct, int left, int top,
                          int right, int bottom) {
  const int w = right - left;
  const int h = bottom - top;
  if (w <= 0 || h <= 0) return;
  // A column left over from a wider window draws nothing until the next move sets one.
  if (st->selected_column != 0 &&
      (st->selected_column > st->map_width || st->selected_column < 0))
    return;
  std::vector<std::pair<float, float>> trace;
  if (st->selected_column != 0 && st->map_height == h && !st->pixel_map.empty()) {
    const int column = st->selected_column - 1;
    const uint32_t record_size = st->rec.info().record_size;
    std::vector<uint8_t> record(record_size, 0);
    const PIXELMAP& top_entry = st->pixel_map[static_cast<size_t>(column)];
    if (top_entry.ping >= 0 && record_size > 0)
      ReadPingSized(st->rec.file(), record.data(), record_size,
                    static_cast<uint32_t>(top_entry.ping));
    trace = viewer::ProfilePoints(record.data(), record_size, st->pixel_map.data(), st->map_width,
                                  st->map_height, column, w);
  }
  OffScreen(dc, POINT{left, top}, w, h, {RECT{0, 0, w, h}}, [&](HDC mem) {
    RECT all = {0, 0, w, h};
    FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    Gdiplus::Graphics g(mem);
    if (!trace.empty()) {
      Gdiplus::SolidBrush red{Gdiplus::Color(kTrace)};
      Gdiplus::Pen pen(&red, 1.0f);
      std::vector<Gdiplus::PointF> p;
      for (const auto& q : trace) p.emplace_back(q.first, q.second);
      g.DrawLines(&pen, p.data(), static_cast<INT>(p.size()));
    }
    DrawPolyline(g, kGrid, true, viewer::GridPolyline(0, 0, w, h), false);
    const int x = viewer::ThresholdX(threshold_pct, w);
    DrawPolyline(g, kThreshold, true, {{x, 0}, {x, h}}, false);
    DrawPolyline(g, kWhite, false, {{0, 0}, {w - 1, 0}, {w - 1, h - 1}, {0, h - 1}}, true);
  });
}

// The detection threshold of the open file's header, which the profile marks.
int32_t ThresholdPct(HWND hwnd) {
  APPDATA* app = AppData(hwnd);
  return app ? DecodeTimerSettings(app->data_header).threshold_pct : 0;
}

void DrawProfileNow(HWND hwnd, ECHOSTATE* st) {
  const ClientSize c = Client(hwnd);
  HDC dc = GetDC(hwnd);
  if (!dc) {
    platform::DebugTrace("hdc == NULL\n");
    return;
  }
  DrawAmplitudeProfile(dc, st, ThresholdPct(hwnd), c.w - kProfileLeft, kImageTop,
                       c.w - kProfileRight, c.h - kBottomMargin);
  ReleaseDC(hwnd, dc);
}

// Redraws the echogram and its labels at once, without waiting for a paint.
void RedrawEchogramNow(HWND hwnd, ECHOSTATE* st) {
  const ClientSize c = Client(hwnd);
  HDC dc = GetDC(hwnd);
  if (!dc) return;
  try {
    DrawEchogram(dc, st, kImageLeft, kImageTop, c.w - kRightMargin, c.h - kBottomMargin,
                   c.w - kScaleLeft);
  } catch (const std::bad_alloc&) {
    platform::DebugTrace("echogram: out of memory for a %d x %d picture\n", c.w, c.h);
  }
  ReleaseDC(hwnd, dc);
}

// ---- messages -------------------------------------------------------------------------

void OnPaint(HWND hwnd, ECHOSTATE* st) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  const ClientSize c = Client(hwnd);
  if (!st || !st->loaded) {
    Gdiplus::Graphics g(dc);
    LabelFont font(L"Segoe UI", 16.0f);
    DrawText(g, font, "No Data", static_cast<float>(c.w / 2), static_cast<float>(c.h / 2));
  } else {
    // Whatever the draw cannot get memory for stays black; the window goes on.
    try {
      DrawEchogram(dc, st, kImageLeft, kImageTop, c.w - kRightMargin, c.h - kBottomMargin,
                   c.w - kScaleLeft);
      DrawAmplitudeProfile(dc, st, ThresholdPct(hwnd), c.w - kProfileLeft, kImageTop,
                           c.w - kProfileRight, c.h - kBottomMargin);
      DrawColorScale(dc, st, c.w - kScaleLeft, kImageTop, c.w - kScaleRight,
                     c.h - kBottomMargin);
    } catch (const std::bad_alloc&) {
      platform::DebugTrace("echogram: out of memory for a %d x %d picture\n", c.w, c.h);
    }
  }
  EndPaint(hwnd, &ps);
}

void OnSize(ECHOSTATE* st, int w, int h) {
  if (w <= 0 || h <= 0) return;
  st->map_width = std::max(w - kMapWidthLess, 0);
  st->map_height = std::max(h - kMapHeightLess, 0);
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
  if (GetFocus() != hwnd) SetFocus(hwnd);
  if (!st->loaded) return;
  const bool over = OverEchogram(hwnd, x, y);
  if (over && st->dragging) {
    const int64_t shift = viewer::DragShift(st->view.span_s, st->map_width, st->drag_anchor_x, x);
    if (shift == 0) return;  // the anchor stays: small moves add up
    st->drag_anchor_x = x;
    viewer::ClampView(&st->view, shift);
    RedrawEchogramNow(hwnd, st);
  }
  if (!over) {
    st->selected_column = 0;
    return;
  }
  st->selected_column = x - kImageLeft;
  const int64_t cells = static_cast<int64_t>(st->map_width) * st->map_height;
  int64_t k = static_cast<int64_t>(y - kImageTop) * st->map_width + (x - kImageLeft);
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
  DrawProfileNow(hwnd, st);
}

void OnMouseWheel(HWND hwnd, ECHOSTATE* st, WPARAM wParam, LPARAM lParam) {
  const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
  const int keys = GET_KEYSTATE_WPARAM(wParam);
  POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  const POINT received = pt;
  ScreenToClient(hwnd, &pt);
  if (st->loaded) {
    if (keys == MK_LBUTTON && delta != 0) {
      if (OverEchogram(hwnd, pt.x, pt.y)) {
        const int32_t step = viewer::WheelTimeShift(st->map_width);
        viewer::ClampView(&st->view, delta > 0 ? step : -static_cast<int64_t>(step));
        RedrawEchogramNow(hwnd, st);
      }
    } else {
      APPDATA* app = AppData(hwnd);
      const float current =
          app && app->view_settings_set ? app->view_max_altitude_m : st->max_altitude_m;
      const float next = viewer::ZoomAltitude(current, delta);
      st->max_altitude_m = next;
      if (app) app->view_max_altitude_m = next;
      viewer::ClampView(&st->view, 0);
      RedrawEchogramNow(hwnd, st);
    }
  }
  platform::DebugTrace("Cls_OnMouseWheel: xPos = %d yPos = %d zDelta = %d, fwKeys = %d\n",
                       static_cast<int>(received.x), static_cast<int>(received.y), delta, keys);
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
    case WM_SIZE: OnSize(st, LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_PAINT: OnPaint(hwnd, st); return 0;
    case WM_MOUSEMOVE: OnMouseMove(hwnd, st, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return 0;
    case WM_LBUTTONDOWN: {
      const int x = GET_X_LPARAM(lParam);
      if (OverEchogram(hwnd, x, GET_Y_LPARAM(lParam))) {
        st->dragging = true;
        st->drag_anchor_x = x;
      }
      return 0;
    }
    case WM_LBUTTONUP: st->dragging = false; return 0;
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
