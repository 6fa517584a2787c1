// String resources and the message boxes of both Windows programs: the plain box with the
// program's own words, and the box with the system's text for an error code, through which
// every failed system call the user must know of goes.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include <string>

namespace zt::winui {

// String `id` of the running program's resources; empty when it has none.
std::wstring LoadText(UINT id);

// How a program words its boxes. The control program's "Error" box has no icon and its
// "GetLastError" box shows the system's text as the system gives it; the link utility's boxes
// have the error icon and its "GetLastError" box words the text as platform::ErrorText does
// (no line end, no final full stop, "error N" when the system has no text).
struct ErrorBoxStyle {
  UINT caption_id = 0;         // the plain box's caption, a string resource ("Error")
  UINT icon = 0;               // MB_ICONERROR, or 0 for none
  UINT system_caption_id = 0;  // the system box's caption, a string resource; 0: "GetLastError"
  bool error_text = false;     // the system's text as platform::ErrorText words it
};

// A plain message box with an OK button and the given icon (0: none).
void MessageOk(HWND owner, const std::wstring& text, const std::wstring& caption, UINT icon = 0);
// The plain box of the program's own words, under the style's caption.
void ErrorBox(HWND owner, const std::wstring& text, const ErrorBoxStyle& style);
// Message box owned by `owner` with the system's text for GetLastError(), error icon.
void ShowLastError(HWND owner, const ErrorBoxStyle& style);
// The same for an error code kept from an earlier call (a failed save, a failed open).
void ShowErrorCode(HWND owner, int code, const ErrorBoxStyle& style);

}  // namespace zt::winui
#endif
