// The "Error" and "GetLastError" boxes and the string resources they are worded with.
#include <windows.h>

#include "platform/file.h"
#include "platform/utf8.h"
#include "winui/error_box.h"

namespace zt::winui {

std::wstring LoadText(UINT id) {
  const wchar_t* p = nullptr;
  const int n = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&p), 0);
  return n > 0 ? std::wstring(p, static_cast<size_t>(n)) : std::wstring();
}

void MessageOk(HWND owner, const std::wstring& text, const std::wstring& caption, UINT icon) {
  MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | icon);
}

void ErrorBox(HWND owner, const std::wstring& text, const ErrorBoxStyle& style) {
  MessageOk(owner, text, LoadText(style.caption_id), style.icon);
}

void ShowLastError(HWND owner, const ErrorBoxStyle& style) {
  ShowErrorCode(owner, static_cast<int>(GetLastError()), style);
}

void ShowErrorCode(HWND owner, int code, const ErrorBoxStyle& style) {
  const std::wstring text = style.error_text ? platform::WideFromUtf8(platform::ErrorText(code))
                                             : platform::SystemMessage(code);
  const std::wstring caption =
      style.system_caption_id ? LoadText(style.system_caption_id) : L"GetLastError";
  MessageOk(owner, text, caption, MB_ICONERROR);
}

}  // namespace zt::winui
