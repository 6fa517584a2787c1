// The common open and save choosers as both programs use them: filter index 1 and the
// caller's name buffer; by default no option flags (so neither an overwrite question nor a
// must-exist check), which a caller may add through ChooserOptions.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include <string>

namespace zt::winui {

enum class Chooser { kOpen, kSave };

struct ChooserOptions {
  // Added (without its dot) when the user types a name without an extension; null: none.
  const wchar_t* default_ext = nullptr;
  // A save chooser asks before it names a file that exists (the standard question).
  bool overwrite_prompt = false;
  // Where the chooser starts when the name buffer holds no folder; null: the system's choice.
  const wchar_t* initial_dir = nullptr;
};

// `filter` holds label and pattern pairs separated by '|' (resource strings cannot hold the
// NULs the chooser wants). True when a file was chosen; *ext_error (may be null) receives
// the chooser's extended error code.
bool ChooseFileName(HWND owner, Chooser kind, const std::wstring& filter, wchar_t* path,
                    DWORD chars, DWORD* ext_error, const ChooserOptions& options = {});

}  // namespace zt::winui
#endif
