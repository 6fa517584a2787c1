// The Default Timer and Add Timer dialogs: a filler that puts a record into the controls, a
// reader that builds a record from them, and the procedures that decide what to show and
// what becomes of the result.
#include <windows.h>
#include <commctrl.h>

#include "control/app_state.h"
#include "control/control.h"
#include "control/win_util.h"
#include "control_ids.h"
#include "platform/time.h"
#include "timers/timer_values.h"

namespace zt::control {
namespace {

struct ListControl {
  int id;
  TimerList list;
  int TimerForm::*index;
  bool default_timer_only;
};

const ListControl kLists[] = {
    {IDC_TIMER_RANGE, TimerList::kRange, &TimerForm::range, false},
    {IDC_TIMER_TX_LENGTH, TimerList::kTxLength, &TimerForm::tx_length, false},
    {IDC_TIMER_PERIOD, TimerList::kPeriod, &TimerForm::period, false},
    {IDC_TIMER_PINGS, TimerList::kPingCount, &TimerForm::ping_count, false},
    {IDC_TIMER_INTERVAL_UNIT, TimerList::kIntervalUnit, &TimerForm::interval_unit, false},
    {IDC_TIMER_THRESHOLD, TimerList::kThreshold, &TimerForm::threshold, false},
    {IDC_TIMER_DEADZONE, TimerList::kDeadzone, &TimerForm::deadzone, false},
    {IDC_TIMER_GAIN, TimerList::kGain, &TimerForm::gain, false},
    {IDC_TIMER_FILE_SIZE, TimerList::kFileSizeLimit, &TimerForm::file_size_limit, false},
    {IDC_TIMER_SD_SAVE, TimerList::kSdSaveMode, &TimerForm::sd_save_mode, true},
    {IDC_TIMER_OUTPUT_FORMAT, TimerList::kOutputFormat, &TimerForm::output_format, true},
    {IDC_TIMER_ALT_PRECISION, TimerList::kAltitudePrecision, &TimerForm::altitude_precision, true},
};

struct EditControl {
  int id;
  std::string TimerForm::*text;
};
const EditControl kEdits[] = {
    {IDC_TIMER_INTERVAL, &TimerForm::interval_number},
    {IDC_TIMER_TVG_SLOPE, &TimerForm::tvg_slope},
    {IDC_TIMER_SOUND_SPEED, &TimerForm::sound_speed},
};

struct CheckControl {
  int id;
  bool TimerForm::*state;
};
const CheckControl kChecks[] = {
    {IDC_TIMER_BLUETOOTH, &TimerForm::bluetooth_on},
    {IDC_TIMER_OUTPUT_TILT, &TimerForm::output_tilt},
    {IDC_TIMER_OUTPUT_TIME, &TimerForm::output_time},
    {IDC_TIMER_OUTPUT_WATER_TEMP, &TimerForm::output_water_temperature},
};

void FillTimerControls(HWND dlg, const TIMERSETTINGS& record, TimerDialogKind kind) {
  const bool is_default = kind == TimerDialogKind::kDefaultTimer;
  const TimerForm form = FillTimerForm(record, kind);
  for (const EditControl& e : kEdits) {
    SendDlgItemMessageW(dlg, e.id, EM_LIMITTEXT, kNumberEditLimit, 0);
    SetItemTextUtf8(dlg, e.id, form.*e.text);
  }
  for (const ListControl& l : kLists) {
    if (l.default_timer_only && !is_default) continue;
    const TimerValueList& values = ValueList(l.list);
    FillList(dlg, l.id, values.texts, values.count, form.*l.index);
  }
  if (is_default) {
    for (const CheckControl& c : kChecks)
      CheckDlgButton(dlg, c.id, form.*c.state ? BST_CHECKED : BST_UNCHECKED);
    return;
  }
  // The name is 8-bit text, as the logger stores it.
  SendDlgItemMessageW(dlg, IDC_TIMER_NAME, EM_LIMITTEXT, kTimerNameEditLimit, 0);
  SetDlgItemTextA(dlg, IDC_TIMER_NAME, form.timer_name.c_str());
  SetPickerPair(dlg, IDC_TIMER_START_DATE, IDC_TIMER_START_TIME, form.start_local);
  SetPickerPair(dlg, IDC_TIMER_STOP_DATE, IDC_TIMER_STOP_TIME, form.stop_local);
}

// False, with the reason shown, when a number edit cannot be read.
bool ReadTimerControls(HWND dlg, TimerDialogKind kind, TIMERSETTINGS* out) {
  const bool is_default = kind == TimerDialogKind::kDefaultTimer;
  TimerForm form;
  for (const EditControl& e : kEdits) form.*e.text = ItemTextUtf8(dlg, e.id);
  for (const ListControl& l : kLists)
    if (!l.default_timer_only || is_default) form.*l.index = ListSelection(dlg, l.id);
  if (is_default) {
    for (const CheckControl& c : kChecks)
      form.*c.state = IsDlgButtonChecked(dlg, c.id) == BST_CHECKED;
  } else {
    char name[kTimerNameEditLimit + 2] = {};
    GetDlgItemTextA(dlg, IDC_TIMER_NAME, name, sizeof name);
    form.timer_name = name;
    form.start_local = PickerPair(dlg, IDC_TIMER_START_DATE, IDC_TIMER_START_TIME);
    form.stop_local = PickerPair(dlg, IDC_TIMER_STOP_DATE, IDC_TIMER_STOP_TIME);
  }
  const TimerFormError error = ReadTimerForm(form, kind, out);
  if (error != TimerFormError::kNone) {
    ErrorBox(dlg, std::string(TimerFormErrorText(error)));
    return false;
  }
  return true;
}

// ---- Default Timer --------------------------------------------------------------------

void OnDefaultTimerInit(HWND dlg) {
  APPDATA* app = AppData(dlg);
  const TIMERSETTINGS working =
      app && app->default_timer ? *app->default_timer : DefaultTimerSettings();
  FillTimerControls(dlg, working, TimerDialogKind::kDefaultTimer);
}

void OnSet(HWND dlg) {
  APPDATA* app = AppData(dlg);
  TIMERSETTINGS built{};
  if (!app || !ReadTimerControls(dlg, TimerDialogKind::kDefaultTimer, &built)) return;
  TIMERSETTINGS* record = NewTimerRecord(built);
  if (!record) return;  // out of memory: the old default stays
  FreeTimerRecord(app->default_timer);
  app->default_timer = record;
  EndDialog(dlg, IDC_TIMER_STORE);
}

INT_PTR CALLBACK DefaultTimerProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: OnDefaultTimerInit(dlg); return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_TIMER_STORE: OnSet(dlg); return TRUE;
        case IDC_TIMER_CANCEL:
        case IDCANCEL: EndDialog(dlg, IDC_TIMER_CANCEL); return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

// ---- Add Timer ------------------------------------------------------------------------

void OnAddTimerInit(HWND dlg, TIMERSETTINGS* editing) {
  APPDATA* app = AppData(dlg);
  if (!app) return;
  app->editing_timer = editing;
  if (editing) {
    FillTimerControls(dlg, *editing, TimerDialogKind::kAddTimer);
    return;
  }
  const TIMERSETTINGS base = app->default_timer ? *app->default_timer : DefaultTimerSettings();
  FillTimerControls(dlg, NewAddedTimer(base, platform::NowUtcSeconds()),
                    TimerDialogKind::kAddTimer);
}

void OnAdd(HWND dlg) {
  APPDATA* app = AppData(dlg);
  TIMERSETTINGS built{};
  if (!app || !ReadTimerControls(dlg, TimerDialogKind::kAddTimer, &built)) return;
  HWND main = app->hWndMain;
  if (app->editing_timer) {
    // The edited record keeps its place and identity in the list.
    *app->editing_timer = built;
    SendMessageW(main, WMU_TIMER_CHANGED, 0, reinterpret_cast<LPARAM>(app->editing_timer));
  } else if (TIMERSETTINGS* record = NewTimerRecord(built)) {
    SendMessageW(main, WMU_TIMER_CHANGED, 0, reinterpret_cast<LPARAM>(record));
  }
  app->editing_timer = nullptr;
  EndDialog(dlg, IDC_TIMER_STORE);
}

INT_PTR CALLBACK AddTimerProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: OnAddTimerInit(dlg, reinterpret_cast<TIMERSETTINGS*>(lParam)); return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_TIMER_STORE: OnAdd(dlg); return TRUE;
        case IDC_TIMER_CANCEL:
        case IDCANCEL:
          if (APPDATA* app = AppData(dlg)) app->editing_timer = nullptr;
          EndDialog(dlg, IDC_TIMER_CANCEL);
          return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

}  // namespace

INT_PTR RunDefaultTimerDialog(HWND main) {
  return RunDialog(main, IDD_DEFAULT_TIMER, DefaultTimerProc);
}

INT_PTR RunAddTimerDialog(HWND main, TIMERSETTINGS* editing) {
  return RunDialog(main, IDD_ADD_TIMER, AddTimerProc, reinterpret_cast<LPARAM>(editing));
}

}  // namespace zt::control
