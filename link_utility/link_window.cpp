// zt615_link_utility: one window, made from dialog 129 with the private class "ZT615Link",
// whose procedure is below. The join itself is link.cpp; this file reads and writes controls.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "link/link.h"
#include "link_utility_ids.h"
#include "platform/file.h"
#include "platform/utf8.h"
#include "winui/choose_file.h"
#include "winui/error_box.h"

namespace {

constexpr wchar_t kLinkClass[] = L"ZT615Link";
constexpr int kPathChars = MAX_PATH;  // 260

// One per process, zero-filled from the local heap, in the window's user data.
struct LINKSTATE {
  HWND hWndLink;
  wchar_t file1_path[kPathChars];
  wchar_t file2_path[kPathChars];
  wchar_t linked_path[kPathChars];
  // The files of a join; the join holds them only inside the OK command, so between joins
  // these stay the invalid handle value.
  HANDLE hFile1;
  HANDLE hFile2;
  HANDLE hLinkedFile;
};

LINKSTATE* State(HWND hwnd) {
  return reinterpret_cast<LINKSTATE*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

using zt::winui::LoadText;

// Both boxes have the error icon; the "GetLastError" box words the system's text as
// ErrorText does. Both captions are the resources'.
constexpr zt::winui::ErrorBoxStyle kBoxes{IDS_LINK_ERROR_CAPTION, MB_ICONERROR,
                                          IDS_LINK_LAST_ERROR_CAPTION, true};

void ErrorBox(HWND hwnd, const std::wstring& text) { zt::winui::ErrorBox(hwnd, text, kBoxes); }

void SetText(HWND hwnd, int id, const std::string& utf8) {
  SetDlgItemTextW(hwnd, id, zt::platform::WideFromUtf8(utf8).c_str());
}

// Begin and end texts of a chosen file into its labels; refused files empty them.
void ShowFileTimes(HWND hwnd, const wchar_t* path, int begin_id, int begin_id2, int end_id,
                   int end_id2) {
  zt::link::FileTimes t = zt::link::ShowFileTimes(zt::platform::Utf8FromWide(path));
  if (t.status == zt::link::TimesStatus::kOpenFailed)
    zt::winui::ShowErrorCode(hwnd, t.error, kBoxes);
  if (t.status == zt::link::TimesStatus::kInvalidFile)
    ErrorBox(hwnd, LoadText(IDS_LINK_INVALID_FILE));
  for (int id : {begin_id, begin_id2})
    if (id) SetText(hwnd, id, t.begin);
  for (int id : {end_id, end_id2})
    if (id) SetText(hwnd, id, t.end);
}

// The open or save chooser on a path buffer of 260 characters; true when a file was chosen.
bool ChooseFile(HWND hwnd, wchar_t* path, bool save) {
  using zt::winui::Chooser;
  return zt::winui::ChooseFileName(hwnd, save ? Chooser::kSave : Chooser::kOpen,
                                   LoadText(IDS_LINK_FILTER), path, kPathChars, nullptr);
}

// The join's progress on bar 1009.
class BarProgress : public zt::link::LinkProgress {
 public:
  explicit BarProgress(HWND bar) : bar_(bar) {}
  void Range(uint32_t upper) override {
    SendMessageW(bar_, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(upper)));
    ShowWindow(bar_, SW_SHOW);
  }
  void Position(uint32_t pos, uint64_t, uint64_t) override {
    SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
    UpdateWindow(bar_);
  }

 private:
  HWND bar_;
};

void LinkFiles(HWND hwnd, LINKSTATE* st) {
  GetDlgItemTextW(hwnd, IDC_LINK_FILE1, st->file1_path, kPathChars);
  GetDlgItemTextW(hwnd, IDC_LINK_FILE2, st->file2_path, kPathChars);
  GetDlgItemTextW(hwnd, IDC_LINK_LINKED, st->linked_path, kPathChars);

  BarProgress progress(GetDlgItem(hwnd, IDC_LINK_PROGRESS));
  zt::link::LinkOptions options;
  options.progress = &progress;
  HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  zt::link::LinkResult r = zt::link::LinkFiles(zt::platform::Utf8FromWide(st->file1_path),
                                               zt::platform::Utf8FromWide(st->file2_path),
                                               zt::platform::Utf8FromWide(st->linked_path),
                                               options);
  SetCursor(old);

  using zt::link::LinkOutcome;
  switch (r.outcome) {
    case LinkOutcome::kLinked: break;
    case LinkOutcome::kFile1OpenFailed:
    case LinkOutcome::kFile2OpenFailed:
    case LinkOutcome::kLinkedCreateFailed:
      zt::winui::ShowErrorCode(hwnd, r.error, kBoxes);
      break;
    case LinkOutcome::kFile1Invalid: ErrorBox(hwnd, LoadText(IDS_LINK_INVALID_FIRST)); break;
    case LinkOutcome::kFile2Invalid: ErrorBox(hwnd, LoadText(IDS_LINK_INVALID_SECOND)); break;
    case LinkOutcome::kRefused: ErrorBox(hwnd, LoadText(IDS_LINK_UNABLE)); break;
    case LinkOutcome::kIoFailed: {
      // A read or write that failed part way: say what the system said.
      std::string why = r.error != 0 ? zt::platform::ErrorText(r.error) : r.reason;
      ErrorBox(hwnd, LoadText(IDS_LINK_UNABLE) + L"\n\n" + zt::platform::WideFromUtf8(why));
      break;
    }
  }
}

LRESULT OnCommand(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  LINKSTATE* st = State(hwnd);
  switch (LOWORD(wParam)) {
    case IDOK:
      if (st) LinkFiles(hwnd, st);
      return 0;
    case IDCANCEL:
    case IDM_LINK_CLOSE:
    case IDM_LINK_EXIT:
      DestroyWindow(hwnd);
      return 0;
    case IDC_LINK_CHOOSE1:
      if (st && ChooseFile(hwnd, st->file1_path, false)) {
        SetDlgItemTextW(hwnd, IDC_LINK_FILE1, st->file1_path);
        ShowFileTimes(hwnd, st->file1_path, IDC_LINK_BEGIN1, IDC_LINK_BEGIN_LINKED,
                      IDC_LINK_END1, 0);
      }
      return 0;
    case IDC_LINK_CHOOSE2:
      if (st && ChooseFile(hwnd, st->file2_path, false)) {
        SetDlgItemTextW(hwnd, IDC_LINK_FILE2, st->file2_path);
        ShowFileTimes(hwnd, st->file2_path, IDC_LINK_BEGIN2, 0, IDC_LINK_END2,
                      IDC_LINK_END_LINKED);
      }
      return 0;
    case IDC_LINK_CHOOSE_LINKED:
      if (st && ChooseFile(hwnd, st->linked_path, true))
        SetDlgItemTextW(hwnd, IDC_LINK_LINKED, st->linked_path);
      return 0;
    default:
      return DefWindowProcW(hwnd, WM_COMMAND, wParam, lParam);
  }
}

LRESULT CALLBACK LinkWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND: return OnCommand(hwnd, wParam, lParam);
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_SHOWWINDOW:
    case WM_TIMER: return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

bool RegisterLinkClass(HINSTANCE hInstance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = LinkWndProc;
  wc.cbWndExtra = DLGWINDOWEXTRA;  // a window built from a dialog template needs these
  wc.hInstance = hInstance;
  wc.hIcon = LoadIconW(hInstance, MAKEINTRESOURCEW(IDI_LINK));
  wc.hIconSm = static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_LINK), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), 0));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(5));
  wc.lpszClassName = kLinkClass;
  return RegisterClassExW(&wc) != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow) {
  // The progress bar's class must exist before the template is turned into a window.
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);

  RegisterLinkClass(hInstance);
  HWND hwnd = CreateDialogW(hInstance, MAKEINTRESOURCEW(IDD_LINK), nullptr, nullptr);
  if (!hwnd) return 0;
  auto* st = static_cast<LINKSTATE*>(LocalAlloc(LPTR, sizeof(LINKSTATE)));
  if (!st) return 0;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(st));
  st->hWndLink = hwnd;
  st->hFile1 = st->hFile2 = st->hLinkedFile = INVALID_HANDLE_VALUE;
  ShowWindow(hwnd, nCmdShow);

  // No dialog-keyboard handling: Tab and Enter do not move between or press controls.
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
