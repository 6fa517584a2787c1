// Small helpers the control program's windows and dialogs share: resource texts, message
// boxes, list and edit access, picker times and the file choosers.
#pragma once

#include <windows.h>

#include <string>

#include "platform/time.h"
#include "platform/choose_file_win.h"
#include "shell/control_settings.h"

namespace zt::control {


std::wstring LoadText(UINT id);
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// A plain message box with an OK button and no icon.
void MessageOk(HWND owner, const std::wstring& text, const std::wstring& caption);
// The same captioned "Error".
void ErrorBox(HWND owner, const std::wstring& text);
void ErrorBox(HWND owner, const std::string& utf8_text);

// Fills a drop-down list with `count` texts and selects `selected`.
void FillList(HWND dlg, int id, const char* const* texts, int count, int selected);
int ListSelection(HWND dlg, int id);
std::string ItemTextUtf8(HWND dlg, int id);
void SetItemTextUtf8(HWND dlg, int id, const std::string& text);

// Date and time pickers hold calendar times; the pickers of one instant are a pair: the
// date picker shows the date, the time picker the time of day.
void SetPickerPair(HWND dlg, int date_id, int time_id, const platform::CivilTime& t);
// The date of the date picker with the time of day of the time picker.
platform::CivilTime PickerPair(HWND dlg, int date_id, int time_id);

// The dots per inch of the monitor a window is on (the system's when the system cannot say
// per window), and a length of 96-dpi pixels at that density.
int WindowDpi(HWND hwnd);
inline int Scaled(int pixels_at_96, int dpi) { return MulDiv(pixels_at_96, dpi, 96); }

// Runs dialog template `id` modally, owned by `owner`, with the program's instance.
INT_PTR RunDialog(HWND owner, int id, DLGPROC proc, LPARAM param = 0);

// A chooser of the control program: its kind, the filter string, the extension a save
// chooser adds to a name typed without one, and the folder it remembers.
struct ChooserSpec {
  Chooser kind;
  UINT filter_id;
  const wchar_t* default_ext;  // null: none
  ChooserFolder folder;
};
// Runs it on `path`; a save chooser asks before replacing a file. It starts in its
// remembered folder when `path` names none, and remembers the folder of a chosen file.
bool ChooseFile(HWND owner, const ChooserSpec& kind_of, wchar_t* path, DWORD chars,
                DWORD* ext_error);

}  // namespace zt::control
