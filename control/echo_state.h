// The echogram window's state and layout, shared by its messages (echo_window.cpp) and its
// drawing (echo_paint.cpp).
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "viewer/echogram.h"
#include "viewer/recording.h"

namespace zt::control {

struct ECHOSTATE {
  std::vector<viewer::PIXELMAP> pixel_map;
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

// Where everything goes in the client area. The sizes are those of 96 dpi, scaled to the
// window's dpi, so that at 150 % the margins grow with the text.
struct EchoLayout {
  int dpi = 96;
  RECT image{};    // the echogram: (30, 20) to (Wc - 120, Hc - 20)
  RECT profile{};  // the amplitude profile: (Wc - 100, 20) to (Wc - 50, Hc - 20)
  RECT scale{};    // the colour scale: (Wc - 40, 20) to (Wc - 30, Hc - 20)
  int client_w = 0, client_h = 0;
  int map_width() const { return image.right > image.left ? image.right - image.left : 0; }
  int map_height() const { return image.bottom > image.top ? image.bottom - image.top : 0; }
  int Px(int at_96) const { return MulDiv(at_96, dpi, 96); }
  float Em(float at_96) const { return at_96 * static_cast<float>(dpi) / 96.0f; }
};
EchoLayout LayoutOf(int client_w, int client_h, int dpi);
EchoLayout LayoutOf(HWND hwnd);
// The pointer is over the echogram, its edges included.
bool OverEchogram(const EchoLayout& layout, int x, int y);

enum EchoParts : unsigned { kEchogramPart = 1, kProfilePart = 2, kScalePart = 4, kAllParts = 7 };
// Draws the parts into `dc`: the whole window ("No Data" without a file) for WM_PAINT and
// WM_PRINTCLIENT, the echogram alone after a drag or the wheel, the profile after a hover.
void PaintContent(HWND hwnd, HDC dc, ECHOSTATE* st, unsigned parts);
// The same at once, without waiting for a paint.
void PaintNow(HWND hwnd, ECHOSTATE* st, unsigned parts);

}  // namespace zt::control
