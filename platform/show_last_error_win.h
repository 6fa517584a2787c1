// The error box of both Windows programs, through which every failed system call the user
// must know of goes.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include <string>

namespace zt {

// How a program words its error box. The control program shows the system's text as the
// system gives it, under the caption "GetLastError"; the link utility shows it as
// platform::ErrorText does (no line end, no final full stop, "error N" when the system has
// no text) under the caption of its own resources.
struct ErrorBoxStyle {
  std::wstring caption = L"GetLastError";
  bool error_text = false;
};

// Message box owned by `owner` with the system's text for GetLastError(), error icon.
void ShowLastError(HWND owner, const ErrorBoxStyle& style = {});
// The same for an error code kept from an earlier call (a failed save, a failed open).
void ShowErrorCode(HWND owner, int code, const ErrorBoxStyle& style = {});

namespace platform {
// The system's own words for an error code, as FormatMessage gives them (line end
// included); empty when the system has none.
std::wstring SystemMessage(int code);
}  // namespace platform

}  // namespace zt
#endif
