// The About box.
#include <windows.h>

#include "control/control.h"
#include "control/win_util.h"
#include "control_ids.h"

namespace zt::control {
namespace {

INT_PTR CALLBACK AboutProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: {
      HINSTANCE instance = reinterpret_cast<HINSTANCE>(
          GetWindowLongPtrW(GetParent(dlg), GWLP_HINSTANCE));
      HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
      SendDlgItemMessageW(dlg, IDC_ABOUT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dlg, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

}  // namespace

INT_PTR RunAboutBox(HWND main) { return RunDialog(main, IDD_ABOUTBOX, AboutProc); }

}  // namespace zt::control
