// The "Export file" dialog: format, optional detection parameters, the output file, and a
// progress bar while the export worker writes it on a thread of its own. Cancel closes the
// dialog; the worker still finishes its file.
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <atomic>
#include <iterator>
#include <mutex>
#include <string>

#include "control/app_state.h"
#include "control/control.h"
#include "control/win_util.h"
#include "control_ids.h"
#include "export/export_engine.h"
#include "export/export_form.h"
#include "platform/trace.h"
#include "timers/timer_values.h"

namespace zt::control {
namespace {

constexpr int kOutputPathChars = 256;
constexpr UINT_PTR kPollTimer = 0;
constexpr UINT kPollMs = 1000;

// The output path, kept for the life of the process so that the next export offers it.
wchar_t g_output_path[kOutputPathChars];
// One export at a time: set before a worker starts, cleared by the worker as it ends.
std::atomic<bool> g_export_running{false};
// Set to call the running export off (Quit and discard); its temporary file is removed.
std::atomic<bool> g_export_stop{false};
// The progress bar of the dialog that started the running worker; cleared when that dialog
// goes, so that the worker never addresses a window that no longer exists.
std::atomic<HWND> g_progress_bar{nullptr};
// The open export dialog (window thread only).
HWND g_dialog = nullptr;
// The running (or last) worker's thread, kept for a quit that must wait for its end.
HANDLE g_thread = nullptr;
// What the last worker has to tell, shown once by the window thread.
std::mutex g_outcome_mu;
std::wstring g_outcome_text, g_outcome_caption;
std::wstring g_running_output;

class BarProgress : public ExportProgress {
 public:
  void SetRange(int low, int high) override { Post(PBM_SETRANGE, 0, MAKELPARAM(low, high)); }
  void SetStep(int step) override { Post(PBM_SETSTEP, static_cast<WPARAM>(step), 0); }
  void StepIt() override { Post(PBM_STEPIT, 0, 0); }
  void SetPos(int pos) override { Post(PBM_SETPOS, static_cast<WPARAM>(pos), 0); }

 private:
  // Posted, not sent: the worker never waits for the window thread.
  static void Post(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (HWND bar = g_progress_bar.load()) PostMessageW(bar, msg, wParam, lParam);
  }
};

struct ExportRun {
  EXPORTJOB job;
  HWND owner;  // the main window: owner of the worker's messages
};

// The worker's outcome for the window thread to show; nothing for a stopped export or one
// that ended well.
void KeepOutcome(const ExportResult& r) {
  if (r.ok() || r.status == ExportStatus::kBlockTooLarge || r.status == ExportStatus::kStopped)
    return;
  std::lock_guard<std::mutex> lock(g_outcome_mu);
  g_outcome_text = Wide(r.message);
  g_outcome_caption = r.system_error != 0 ? L"GetLastError" : LoadText(IDS_CAPTION_ERROR);
}

// The export worker thread: one export, its outcome kept for the window thread.
DWORD WINAPI ExportWorker(LPVOID param) {
  auto* run = static_cast<ExportRun*>(param);
  BarProgress progress;
  ExportOptions options;
  // Written beside the target and renamed when complete: a failed or stopped export leaves
  // no half-written file and an existing one as it was.
  options.atomic_output = true;
  options.stop = &g_export_stop;
  KeepOutcome(ExportLoggerFormat(run->job, progress, options));
  const HWND owner = run->owner;
  delete run;
  g_export_running = false;
  // The window thread shows the outcome, in a box owned by a live window.
  PostMessageW(owner, WMU_EXPORT_DONE, 0, 0);
  return 0;
}

ExportForm ReadExportForm(HWND dlg) {
  ExportForm form;
  form.data_format = ListSelection(dlg, IDC_EXPORT_FORMAT);
  form.override_parameters = IsDlgButtonChecked(dlg, IDC_EXPORT_OVERRIDE) == BST_CHECKED;
  form.threshold_item = ListSelection(dlg, IDC_EXPORT_THRESHOLD);
  form.deadzone_item = ListSelection(dlg, IDC_EXPORT_DEADZONE);
  form.amplitude_item = ListSelection(dlg, IDC_EXPORT_AMPLITUDE);
  form.sound_speed_text = ItemTextUtf8(dlg, IDC_EXPORT_SOUND_SPEED);
  return form;
}

void OnInit(HWND dlg) {
  APPDATA* app = AppData(dlg);
  const TIMERSETTINGS header =
      DecodeTimerSettings(app ? app->data_header : std::array<uint8_t, 128>{}.data());
  SendDlgItemMessageW(dlg, IDC_EXPORT_SOUND_SPEED, EM_LIMITTEXT, kExportSoundSpeedEditLimit, 0);
  SetItemTextUtf8(dlg, IDC_EXPORT_SOUND_SPEED, ExportSoundSpeedText(header.sound_speed));
  FillList(dlg, IDC_EXPORT_FORMAT, kExportFormatItems, 3, 0);
  const TimerValueList& thresholds = ValueList(TimerList::kThreshold);
  FillList(dlg, IDC_EXPORT_THRESHOLD, thresholds.texts, thresholds.count,
           ExportThresholdItemFor(header.threshold_pct));
  const TimerValueList& deadzones = ValueList(TimerList::kDeadzone);
  FillList(dlg, IDC_EXPORT_DEADZONE, deadzones.texts, deadzones.count,
           ExportDeadzoneItemFor(header.deadzone_m));
  FillList(dlg, IDC_EXPORT_AMPLITUDE, kExportAmplitudeItems,
           static_cast<int>(std::size(kExportAmplitudeItems)), kExportAmplitudeDefaultItem);
  SetTimer(dlg, kPollTimer, kPollMs, nullptr);
}

// The output chooser: asks before replacing a file, and adds the extension of the chosen
// format when the user types none.
bool ChooseOutput(HWND dlg) {
  const int format = ListSelection(dlg, IDC_EXPORT_FORMAT);
  const bool csv = format == kFormatCsv;
  const std::wstring ext = Wide(ExportExtension(format));
  DWORD error = 0;
  const UINT filter = csv ? IDS_FILTER_CSV : IDS_FILTER_LOG;
  const bool chosen = ChooseFile(dlg, {Chooser::kSave, filter,
                                       ext.c_str(), ChooserFolder::kExport},
                                 g_output_path, kOutputPathChars, &error);
  if (error != 0) {
    ShowLastError(dlg);
    return false;
  }
  return chosen;
}

// Starts the worker on `job`; false (nothing runs) when the thread could not start.
bool StartWorker(HWND dlg, APPDATA* app, const EXPORTJOB& job) {
  auto* run = new ExportRun{job, GetParent(dlg)};
  EnableWindow(GetDlgItem(dlg, IDOK), FALSE);
  g_progress_bar = GetDlgItem(dlg, IDC_EXPORT_PROGRESS);
  g_export_stop = false;
  g_export_running = true;
  g_running_output = Wide(job.output_path);
  HANDLE thread = CreateThread(nullptr, 0, ExportWorker, run, 0, nullptr);
  if (!thread) {
    const DWORD code = GetLastError();
    delete run;
    g_export_running = false;
    EnableWindow(GetDlgItem(dlg, IDOK), TRUE);
    ShowErrorCode(dlg, static_cast<int>(code));
    return false;
  }
  if (g_thread) CloseHandle(g_thread);
  g_thread = thread;
  // The dialog's own handle on the worker, which Cancel closes; ours stays for a quit.
  HANDLE mine = nullptr;
  DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &mine, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  app->hExportThread = mine;
  return true;
}

void OnOk(HWND dlg) {
  APPDATA* app = AppData(dlg);
  if (!app) return;
  // A worker left running by Cancel still owns the one export there is.
  if (g_export_running) {
    ErrorBox(dlg, LoadText(IDS_EXPORT_RUNNING));
    return;
  }
  if (!ChooseOutput(dlg) || !app->data_loaded) return;

  EXPORTJOB job;
  const TIMERSETTINGS header = DecodeTimerSettings(app->data_header);
  std::string why = FillExportJob(ReadExportForm(dlg), header, Utf8(app->data_file_path),
                                  Utf8(g_output_path), &job);
  if (why.empty()) {
    why = CheckExportParameters(job);
    if (!why.empty()) why = job.input_path + ": " + why;
  }
  if (!why.empty()) {
    ErrorBox(dlg, why);
    return;
  }
  StartWorker(dlg, app, job);
}

void OnPoll(HWND dlg) {
  APPDATA* app = AppData(dlg);
  if (!app || !app->hExportThread) return;
  const DWORD obj = WaitForSingleObject(app->hExportThread, 0);
  platform::DebugTrace("obj = %d\n", static_cast<int>(obj));
  if (obj == WAIT_OBJECT_0) {
    CloseHandle(app->hExportThread);
    app->hExportThread = nullptr;
    ShowExportOutcome(dlg);
    EndDialog(dlg, 0);
  }
}

void OnCancel(HWND dlg) {
  if (APPDATA* app = AppData(dlg)) {
    if (app->hExportThread) CloseHandle(app->hExportThread);
    app->hExportThread = nullptr;
  }
  EndDialog(dlg, IDCANCEL);
}

void OnDestroy(HWND dlg) {
  KillTimer(dlg, kPollTimer);
  g_progress_bar = nullptr;
  g_dialog = nullptr;
  // An outcome that arrived while the dialog was open and was not shown by it.
  if (!g_export_running) PostMessageW(GetParent(dlg), WMU_EXPORT_DONE, 0, 0);
}

INT_PTR CALLBACK ExportProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      g_dialog = dlg;
      OnInit(dlg);
      return TRUE;
    case WM_TIMER:
      if (wParam == kPollTimer) OnPoll(dlg);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: OnOk(dlg); return TRUE;
        case IDCANCEL: OnCancel(dlg); return TRUE;
      }
      return FALSE;
    case WM_DESTROY: OnDestroy(dlg); return FALSE;
    default: return FALSE;
  }
}

}  // namespace

INT_PTR RunExportDialog(HWND main) { return RunDialog(main, IDD_EXPORT_FILE, ExportProc); }

bool ExportRunning() { return g_export_running; }
bool ExportDialogOpen() { return g_dialog != nullptr; }
std::wstring RunningExportOutput() { return g_running_output; }

void StopExport() { g_export_stop = true; }

bool WaitExportEnded(DWORD ms) {
  return !g_export_running || !g_thread || WaitForSingleObject(g_thread, ms) == WAIT_OBJECT_0;
}

void ShowExportOutcome(HWND owner) {
  std::wstring text, caption;
  {
    std::lock_guard<std::mutex> lock(g_outcome_mu);
    text.swap(g_outcome_text);
    caption.swap(g_outcome_caption);
  }
  if (text.empty()) return;
  MessageOk(owner, text, caption, caption == L"GetLastError" ? MB_ICONERROR : 0);
}

}  // namespace zt::control
