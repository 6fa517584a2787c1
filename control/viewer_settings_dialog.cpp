// The Viewer settings dialog: time window length, depth scale, palette and gamma, kept in
// the application state and handed to the echogram window when the dialog closes.
#include <windows.h>

#include "control/app_state.h"
#include "control/control.h"
#include "control/win_util.h"
#include "control_ids.h"
#include "viewer/echogram.h"

namespace zt::control {
namespace {

using viewer::kAltitudeStepCount;
using viewer::kGammaChoiceCount;
using viewer::kSpanChoiceCount;

void FillSpanList(HWND dlg, int selected) {
  const char* texts[kSpanChoiceCount];
  for (int i = 0; i < kSpanChoiceCount; ++i) texts[i] = viewer::SPAN_CHOICES[i].text;
  FillList(dlg, IDC_VIEW_SPAN, texts, kSpanChoiceCount, selected);
}

void OnInit(HWND dlg) {
  APPDATA* app = AppData(dlg);
  if (!app) return;
  if (!app->view_settings_set) {
    // The first opening offers a one-minute window over 100 m in Yellow.
    app->view_palette = viewer::kYellow;
    app->view_span_s = viewer::SPAN_CHOICES[0].seconds;
    app->view_max_altitude_m = viewer::ALTITUDE_STEPS[kAltitudeStepCount - 1];
    app->view_gamma = viewer::GAMMA_CHOICES[0];
    app->view_settings_set = TRUE;
  }
  FillSpanList(dlg, viewer::SpanIndexOf(app->view_span_s));
  FillList(dlg, IDC_VIEW_MAX_ALTITUDE, viewer::kAltitudeStepTexts, kAltitudeStepCount,
           viewer::AltitudeIndexOf(app->view_max_altitude_m));
  FillList(dlg, IDC_VIEW_GAMMA, viewer::kGammaTexts, kGammaChoiceCount,
           viewer::GammaIndexOf(app->view_gamma));
  CheckRadioButton(dlg, IDC_VIEW_RAINBOW, IDC_VIEW_YELLOW,
                   app->view_palette == viewer::kYellow ? IDC_VIEW_YELLOW : IDC_VIEW_RAINBOW);
}

// OK keeps what the dialog shows and tells the echogram.
void OnOk(HWND dlg, WPARAM wParam) {
  APPDATA* app = AppData(dlg);
  if (app) {
    app->view_settings_applied = TRUE;
    app->view_palette =
        IsDlgButtonChecked(dlg, IDC_VIEW_RAINBOW) == BST_CHECKED ? viewer::kRainbow : viewer::kYellow;
    const int span = ListSelection(dlg, IDC_VIEW_SPAN);
    if (span >= 0 && span < kSpanChoiceCount) app->view_span_s = viewer::SPAN_CHOICES[span].seconds;
    const int alt = ListSelection(dlg, IDC_VIEW_MAX_ALTITUDE);
    if (alt >= 0 && alt < kAltitudeStepCount) app->view_max_altitude_m = viewer::ALTITUDE_STEPS[alt];
    // Text typed into the gamma box selects nothing: the gamma stays as it was.
    const int gamma = ListSelection(dlg, IDC_VIEW_GAMMA);
    if (gamma >= 0 && gamma < kGammaChoiceCount) app->view_gamma = viewer::GAMMA_CHOICES[gamma];
    HWND echo = app->hWndEcho;
    SendMessageW(echo, WMU_SET_GAMMA, wParam, reinterpret_cast<LPARAM>(&app->view_gamma));
    SendMessageW(echo, WMU_SET_MAX_ALTITUDE, wParam,
                 reinterpret_cast<LPARAM>(&app->view_max_altitude_m));
    SendMessageW(echo, WMU_SET_PALETTE, wParam, reinterpret_cast<LPARAM>(&app->view_palette));
    SendMessageW(echo, WMU_SET_SPAN, wParam, reinterpret_cast<LPARAM>(&app->view_span_s));
  }
  EndDialog(dlg, IDOK);
}

INT_PTR CALLBACK ViewerSettingsDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: OnInit(dlg); return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        OnOk(dlg, wParam);
        return TRUE;
      }
      // Cancel, Esc and the close box leave the view as it was.
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

}  // namespace

INT_PTR RunViewerSettingsDialog(HWND main) {
  return RunDialog(main, IDD_VIEWER_SETTINGS, ViewerSettingsDlgProc);
}

}  // namespace zt::control
