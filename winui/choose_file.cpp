#include <windows.h>
#include <commdlg.h>

#include "winui/choose_file.h"

namespace zt::winui {

bool ChooseFileName(HWND owner, Chooser kind, const std::wstring& filter, wchar_t* path,
                    DWORD chars, DWORD* ext_error, const ChooserOptions& options) {
  std::wstring pairs = filter;
  for (wchar_t& c : pairs)
    if (c == L'|') c = L'\0';
  pairs.push_back(L'\0');
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.hInstance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE));
  ofn.lpstrFilter = pairs.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = path;
  ofn.nMaxFile = chars;
  ofn.lpstrDefExt = options.default_ext;
  ofn.lpstrInitialDir = options.initial_dir;
  ofn.Flags = kind == Chooser::kSave && options.overwrite_prompt ? OFN_OVERWRITEPROMPT : 0;
  const BOOL chosen = kind == Chooser::kSave ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (ext_error) *ext_error = CommDlgExtendedError();
  return chosen != FALSE;
}

}  // namespace zt::winui
