// The echogram window's pictures, drawn where its layout puts them: the echogram with its
// grid, frame and labels, the amplitude profile of the hovered ping, the colour scale, or
// "No Data". The pictures come from the viewer core; this file draws them.
#include <windows.h>

#include <algorithm>
#include <initializer_list>
#include <new>
#include <string>
#include <vector>

#include "control/app_state.h"
#include "control/echo_state.h"
#include "control/gdiplus_inc.h"
#include "control/win_util.h"
#include "platform/trace.h"

namespace zt::control {
namespace {

using viewer::PIXELMAP;

const Gdiplus::ARGB kBlack = 0xFF000000;
const Gdiplus::ARGB kWhite = 0xFFFFFFFF;
const Gdiplus::ARGB kGrid = 0xFF545454;
const Gdiplus::ARGB kFrame = 0xE8E8ECFF;
const Gdiplus::ARGB kTrace = 0xFFFF0000;
const Gdiplus::ARGB kThreshold = 0xFFFFFF00;

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

void DrawEchogram(HDC dc, ECHOSTATE* st, const EchoLayout& L) {
  const int left = L.image.left, top = L.image.top, right = L.image.right, bottom = L.image.bottom;
  const int label_band_right = L.scale.left;
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
    LabelFont font(L"Segoe UI", L.Em(10.0f));
    for (int i = 1; i <= 10; ++i)
      DrawText(g, font, viewer::DepthLabel(i, st->max_altitude_m), L.Em(5.0f),
               static_cast<float>(i * static_cast<double>(h) / 10.0 + L.Em(7.0f)));
    DrawText(g, font, viewer::StartTimeLabel(st->view.view_begin), L.Em(30.0f), L.Em(5.0f));
    DrawText(g, font, viewer::EndTimeLabel(st->view.view_end), static_cast<float>(w) - L.Em(55.0f),
             L.Em(5.0f));
  });
}

void DrawColorScale(HDC dc, ECHOSTATE* st, const EchoLayout& L) {
  const int left = L.scale.left, top = L.scale.top, right = L.scale.right, bottom = L.scale.bottom;
  const int w = right - left;
  const int h = bottom - top;
  if (w <= 0 || h <= 0) return;
  std::vector<uint8_t> scale(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  viewer::RenderColorScale(w, h, *viewer::PaletteFor(st->palette, st->gamma), scale.data());
  Blit(dc, left, top, w, h, false, scale.data());
  Gdiplus::Graphics g(dc);
  DrawPolyline(g, kWhite, false, Box(left, top, w, h), true);
  LabelFont font(L"Segoe UI", L.Em(10.0f));
  for (int i = 0; i <= 10; ++i)
    DrawText(g, font, viewer::ScaleLabel(i), static_cast<float>(right) + L.Em(1.0f),
             static_cast<float>(h + L.Em(15.0f) - (i * static_cast<double>(h) / 10.0 + L.Em(7.0f))));
}

void DrawAmplitudeProfile(HDC dc, ECHOSTATE* st, int32_t threshold_pct, const EchoLayout& L) {
  const int left = L.profile.left, top = L.profile.top;
  const int w = L.profile.right - left;
  const int bottom = L.profile.bottom;
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

}  // namespace

EchoLayout LayoutOf(int client_w, int client_h, int dpi) {
  EchoLayout L;
  L.dpi = dpi > 0 ? dpi : 96;
  L.client_w = client_w;
  L.client_h = client_h;
  const int top = L.Px(20), bottom = client_h - L.Px(20);
  L.image = RECT{L.Px(30), top, client_w - L.Px(120), bottom};
  L.profile = RECT{client_w - L.Px(100), top, client_w - L.Px(50), bottom};
  L.scale = RECT{client_w - L.Px(40), top, client_w - L.Px(30), bottom};
  return L;
}

EchoLayout LayoutOf(HWND hwnd) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  return LayoutOf(rc.right, rc.bottom, WindowDpi(hwnd));
}

bool OverEchogram(const EchoLayout& L, int x, int y) {
  return x >= L.image.left && x <= L.image.right && y >= L.image.top && y <= L.image.bottom;
}

void PaintContent(HWND hwnd, HDC dc, ECHOSTATE* st, unsigned parts) {
  const EchoLayout L = LayoutOf(hwnd);
  if (!st || !st->loaded) {
    if (parts != kAllParts) return;
    Gdiplus::Graphics g(dc);
    LabelFont font(L"Segoe UI", L.Em(16.0f));
    DrawText(g, font, "No Data", static_cast<float>(L.client_w / 2),
             static_cast<float>(L.client_h / 2));
    return;
  }
  // Whatever the draw cannot get memory for stays black; the window goes on.
  try {
    if (parts & kEchogramPart) DrawEchogram(dc, st, L);
    if (parts & kProfilePart) DrawAmplitudeProfile(dc, st, ThresholdPct(hwnd), L);
    if (parts & kScalePart) DrawColorScale(dc, st, L);
  } catch (const std::bad_alloc&) {
    platform::DebugTrace("echogram: out of memory for a %d x %d picture\n", L.client_w,
                         L.client_h);
  }
}

void PaintNow(HWND hwnd, ECHOSTATE* st, unsigned parts) {
  HDC dc = GetDC(hwnd);
  if (!dc) {
    platform::DebugTrace("hdc == NULL\n");
    return;
  }
  PaintContent(hwnd, dc, st, parts);
  ReleaseDC(hwnd, dc);
}

}  // namespace zt::control
