// The error box of both Windows programs, through which every failed system call the user
// must know of goes.
#pragma once
#ifdef _WIN32
#include <windows.h>

namespace zt {

// Message box owned by `owner` with the system's text for GetLastError(), caption
// "GetLastError", error icon.
void ShowLastError(HWND owner);
// The same for an error code kept from an earlier call (a failed save, a failed open).
void ShowErrorCode(HWND owner, int code);

}  // namespace zt
#endif
