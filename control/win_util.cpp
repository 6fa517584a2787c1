#include "control/win_util.h"

#include <commctrl.h>

#include "control/control.h"
#include "control_ids.h"
#include "platform/utf8.h"

namespace zt::control {
namespace {

// "Error" without an icon; the system's text as it gives it under "GetLastError".
constexpr winui::ErrorBoxStyle kBoxes{IDS_CAPTION_ERROR};

}  // namespace

std::wstring Wide(const std::string& utf8) { return platform::WideFromUtf8(utf8); }
std::string Utf8(const std::wstring& wide) { return platform::Utf8FromWide(wide); }

void ErrorBox(HWND owner, const std::wstring& text) { winui::ErrorBox(owner, text, kBoxes); }
void ErrorBox(HWND owner, const std::string& utf8_text) { ErrorBox(owner, Wide(utf8_text)); }
void ShowLastError(HWND owner) { winui::ShowLastError(owner, kBoxes); }
void ShowErrorCode(HWND owner, int code) { winui::ShowErrorCode(owner, code, kBoxes); }

void FillList(HWND dlg, int id, const char* const* texts, int count, int selected) {
  HWND list = GetDlgItem(dlg, id);
  SendMessageW(list, CB_RESETCONTENT, 0, 0);
  for (int i = 0; i < count; ++i)
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(texts[i]).c_str()));
  SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

int ListSelection(HWND dlg, int id) {
  return static_cast<int>(SendDlgItemMessageW(dlg, id, CB_GETCURSEL, 0, 0));
}

std::string ItemTextUtf8(HWND dlg, int id) {
  HWND item = GetDlgItem(dlg, id);
  const int n = GetWindowTextLengthW(item);
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(item, w.data(), n + 1);
  w.resize(wcslen(w.c_str()));
  return Utf8(w);
}

void SetItemTextUtf8(HWND dlg, int id, const std::string& text) {
  SetDlgItemTextW(dlg, id, Wide(text).c_str());
}

int WindowDpi(HWND hwnd) {
  // GetDpiForWindow exists from Windows 10 (1607) on; older systems have one dpi for all.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto get_dpi = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (get_dpi && hwnd) {
    const UINT dpi = get_dpi(hwnd);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

INT_PTR RunDialog(HWND owner, int id, DLGPROC proc, LPARAM param) {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE));
  return DialogBoxParamW(instance, MAKEINTRESOURCEW(id), owner, proc, param);
}

bool ChooseFile(HWND owner, const ChooserSpec& kind_of, wchar_t* path, DWORD chars,
                DWORD* ext_error) {
  const std::wstring folder = RememberedFolder(kind_of.folder);
  winui::ChooserOptions options;
  options.default_ext = kind_of.default_ext;
  options.overwrite_prompt = true;
  const bool named_folder = wcschr(path, L'\\') || wcschr(path, L'/');
  if (!folder.empty() && !named_folder) options.initial_dir = folder.c_str();
  const bool chosen = winui::ChooseFileName(owner, kind_of.kind, LoadText(kind_of.filter_id), path,
                                            chars, ext_error, options);
  if (chosen) RememberFolderOf(kind_of.folder, path);
  return chosen;
}

}  // namespace zt::control
