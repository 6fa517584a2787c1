// The "GetLastError" box: the system's text for the last Win32 error.
#include <windows.h>

#include "platform/file.h"
#include "platform/show_last_error_win.h"
#include "platform/utf8.h"

namespace zt {

void ShowLastError(HWND owner, const ErrorBoxStyle& style) {
  ShowErrorCode(owner, static_cast<int>(GetLastError()), style);
}

void ShowErrorCode(HWND owner, int code, const ErrorBoxStyle& style) {
  const std::wstring text = style.error_text ? platform::WideFromUtf8(platform::ErrorText(code))
                                             : platform::SystemMessage(code);
  MessageBoxW(owner, text.c_str(), style.caption.c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace zt
