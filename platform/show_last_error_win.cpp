// The "GetLastError" box: the system's text for the last Win32 error.
#include <windows.h>

#include "platform/show_last_error_win.h"

namespace zt {

void ShowLastError(HWND owner) {
  const DWORD code = GetLastError();
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, 0x400, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  MessageBoxW(owner, text ? text : L"", L"GetLastError", MB_ICONERROR);
  if (text) LocalFree(text);
}

void ShowErrorCode(HWND owner, int code) {
  SetLastError(static_cast<DWORD>(code));
  ShowLastError(owner);
}

}  // namespace zt
