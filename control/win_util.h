// Small helpers the control program's windows and dialogs share: its error boxes, list and
// edit access, the window's dpi, modal dialogs and its file choosers, which remember their
// folders. What both Windows programs use (string resources, the boxes themselves, choosers,
// date and time pickers) is in winui/.
#pragma once

#include <windows.h>

#include <string>

#include "app/control_settings.h"
#include "winui/choose_file.h"
#include "winui/date_time_pickers.h"
#include "winui/error_box.h"

namespace zt::control {

using winui::Chooser;
using winui::LoadText;
using winui::MessageOk;
using winui::PickerPair;
using winui::SetPickerPair;

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// The program's own words in a box captioned "Error", OK button, no icon.
void ErrorBox(HWND owner, const std::wstring& text);
void ErrorBox(HWND owner, const std::string& utf8_text);
// The system's text for GetLastError() or a kept error code, as the system gives it, under
// the caption "GetLastError", error icon.
void ShowLastError(HWND owner);
void ShowErrorCode(HWND owner, int code);

// Fills a drop-down list with `count` texts and selects `selected`.
void FillList(HWND dlg, int id, const char* const* texts, int count, int selected);
int ListSelection(HWND dlg, int id);
std::string ItemTextUtf8(HWND dlg, int id);
void SetItemTextUtf8(HWND dlg, int id, const std::string& text);

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
