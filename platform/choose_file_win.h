// The common open and save choosers as both programs use them: filter index 1, no option
// flags (so neither an overwrite question nor a must-exist check), the caller's name buffer.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include <string>

namespace zt {

enum class Chooser { kOpen, kSave };

// `filter` holds label and pattern pairs separated by '|' (resource strings cannot hold the
// NULs the chooser wants). True when a file was chosen; *ext_error (may be null) receives
// the chooser's extended error code.
bool ChooseFileName(HWND owner, Chooser kind, const std::wstring& filter, wchar_t* path,
                    DWORD chars, DWORD* ext_error);

}  // namespace zt
#endif
