// Leaving while an export is being written: Exit, the close box or the end of the logon ask
// "Wait" or "Quit and discard" first, so that nothing half-written is ever left behind.
#include <windows.h>

#include "app/everyday_rules.h"
#include "control/app_state.h"
#include "control/control.h"
#include "control/win_util.h"
#include "control_ids.h"

namespace zt::control {
namespace {

// How long a stopped export may take to remove its temporary file before the program goes.
constexpr DWORD kStopWaitMs = 10000;

INT_PTR CALLBACK QuestionProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      SetDlgItemTextW(dlg, IDC_QUIT_TEXT, reinterpret_cast<const wchar_t*>(lParam));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_QUIT_WAIT:
        case IDCANCEL: EndDialog(dlg, IDC_QUIT_WAIT); return TRUE;  // Esc and the close box wait
        case IDC_QUIT_DISCARD: EndDialog(dlg, IDC_QUIT_DISCARD); return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

QuitAnswer Ask(HWND main) {
  const std::wstring text =
      Wide(ExportStillRunningText(Utf8(RunningExportOutput())));
  // Owned by the window the user sees: the export dialog when it is open.
  HWND owner = GetLastActivePopup(main);
  const INT_PTR answer =
      RunDialog(owner ? owner : main, IDD_QUIT_EXPORT, QuestionProc, reinterpret_cast<LPARAM>(text.c_str()));
  return answer == IDC_QUIT_DISCARD ? QuitAnswer::kQuitAndDiscard : QuitAnswer::kWait;
}

}  // namespace

bool ConfirmQuit(HWND main, bool end_session) {
  APPDATA* app = AppData(main);
  const bool running = ExportRunning();
  const QuitPlan plan = PlanQuit(running, end_session, running ? Ask(main) : QuitAnswer::kWait);
  // The export may have ended while the question was shown: then there is nothing to wait for.
  if (plan.quit_when_export_ends) {
    if (!ExportRunning()) return true;
    if (app) app->quit_after_export = TRUE;
    return false;
  }
  if (plan.stop_export) {
    StopExport();
    WaitExportEnded(kStopWaitMs);
  }
  return plan.quit_now;
}

}  // namespace zt::control
