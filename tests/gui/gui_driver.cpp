#include "tests/gui/gui_driver.h"

#include <cstdio>
#include <vector>

namespace zt::gui {

std::string Narrow(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

std::wstring WindowsPath(const std::string& path) {
  int n = MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), w.data(), n);
  if (!w.empty() && w[0] == L'/') {
    for (wchar_t& c : w)
      if (c == L'/') c = L'\\';
    w = L"Z:" + w;
  }
  return w;
}

// --- Program

Program::~Program() {
  Kill();
  if (process_) CloseHandle(process_);
}

bool Program::Start(const std::wstring& exe, const std::wstring& args) {
  std::wstring cmd = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi))
    return false;
  CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  pid_ = pi.dwProcessId;
  // Ready for input once its first message loop runs (bounded).
  WaitForInputIdle(process_, kWaitMs);
  return true;
}

bool Program::WaitExit(DWORD ms, DWORD* exit_code) {
  if (!process_) return false;
  if (WaitForSingleObject(process_, ms) != WAIT_OBJECT_0) return false;
  if (exit_code) GetExitCodeProcess(process_, exit_code);
  return true;
}

bool Program::Running() { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

void Program::Kill() {
  if (Running()) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
  }
}

// --- Waiting and windows

bool WaitUntil(const std::function<bool()>& done, DWORD ms) {
  ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    if (done()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(20);
  }
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t buf[256] = {};
  GetClassNameW(hwnd, buf, 256);
  return buf;
}

std::wstring TextOf(HWND hwnd) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &len)) return L"";
  std::vector<wchar_t> buf(len + 2, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                      SMTO_ABORTIFHUNG, 5000, &got);
  return std::wstring(buf.data());
}

bool SetTextOf(HWND hwnd, const std::wstring& text) {
  DWORD_PTR r = 0;
  return SendMessageTimeoutW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_ABORTIFHUNG, 5000, &r) != 0;
}

std::wstring ItemText(HWND dlg, int id) {
  HWND c = GetDlgItem(dlg, id);
  return c ? TextOf(c) : L"<no control " + std::to_wstring(id) + L">";
}

bool SetItemText(HWND dlg, int id, const std::wstring& text) {
  HWND c = GetDlgItem(dlg, id);
  return c && SetTextOf(c, text);
}

std::vector<HWND> TopWindows(DWORD pid) {
  struct Ctx {
    DWORD pid;
    std::vector<HWND> found;
  } ctx{pid, {}};
  EnumWindows(
      [](HWND h, LPARAM lp) -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(lp);
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if ((c->pid == 0 || owner == c->pid) && IsWindowVisible(h)) c->found.push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.found;
}

std::string Describe(const std::vector<HWND>& windows) {
  if (windows.empty()) return "no visible window";
  std::string s;
  for (HWND h : windows)
    s += "[class '" + Narrow(ClassOf(h)) + "' title '" + Narrow(TextOf(h)) + "'] ";
  return s;
}

HWND WaitWindow(DWORD pid, const std::wstring& cls, const std::wstring& title, DWORD ms) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND h : TopWindows(pid))
          if (ClassOf(h) == cls && (title.empty() || TextOf(h) == title)) {
            found = h;
            return true;
          }
        return false;
      },
      ms);
  return found;
}

bool Responds(HWND hwnd, DWORD ms) {
  DWORD_PTR r = 0;
  return SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, ms, &r) != 0;
}

bool PostClick(HWND dlg, int id) {
  HWND b = GetDlgItem(dlg, id);
  return b && PostMessageW(b, BM_CLICK, 0, 0);
}

bool PostClose(HWND hwnd) { return PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0) != 0; }

// --- Message boxes and file dialogs

static bool IsMessageBox(HWND h) {
  return ClassOf(h) == L"#32770" && GetDlgItem(h, 0xFFFF) != nullptr;
}

bool MessageBoxShown(DWORD pid) {
  for (HWND h : TopWindows(pid))
    if (IsMessageBox(h)) return true;
  return false;
}

bool WaitMessageBox(DWORD pid, MessageBoxSeen* box, DWORD ms) {
  return WaitUntil(
      [&] {
        for (HWND h : TopWindows(pid))
          if (IsMessageBox(h)) {
            box->hwnd = h;
            box->caption = TextOf(h);
            box->text = ItemText(h, 0xFFFF);
            return true;
          }
        return false;
      },
      ms);
}

bool CloseMessageBox(const MessageBoxSeen& box, DWORD ms) {
  int id = GetDlgItem(box.hwnd, IDOK) ? IDOK : IDCANCEL;
  PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box.hwnd, id)));
  return WaitUntil([&] { return !IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd); }, ms);
}

static HWND NameField(HWND dialog) {
  HWND f = GetDlgItem(dialog, 1148);  // ComboBoxEx of the Explorer-style dialog
  if (!f) f = GetDlgItem(dialog, 1152);  // edit of the old style
  if (!f) {
    // Within a child dialog (a dialog with a template) the field is one level down.
    HWND inner = FindWindowExW(dialog, nullptr, L"#32770", nullptr);
    if (inner) f = GetDlgItem(inner, 1148);
  }
  return f;
}

HWND WaitFileDialog(DWORD pid, DWORD ms) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND h : TopWindows(pid))
          if (ClassOf(h) == L"#32770" && NameField(h)) {
            found = h;
            return true;
          }
        return false;
      },
      ms);
  return found;
}

static HWND FindEdit(HWND parent) {
  if (ClassOf(parent) == L"Edit") return parent;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    HWND e = FindEdit(c);
    if (e) return e;
  }
  return nullptr;
}

bool FileDialogChoose(HWND dialog, const std::wstring& path, DWORD ms) {
  HWND field = NameField(dialog);
  if (!field) return false;
  HWND edit = FindEdit(field);
  if (!SetTextOf(edit ? edit : field, path)) return false;
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  return WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, ms);
}

bool FileDialogCancel(HWND dialog, DWORD ms) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
  return WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, ms);
}

// --- Geometry and pictures

RECT ChildRect(HWND parent, HWND child) {
  RECT r = {};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool SaveScreenshot(HWND hwnd, const std::wstring& bmp_path) {
  SetForegroundWindow(hwnd);
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  Responds(hwnd, 5000);
  Sleep(300);  // the X server shows what was painted
  RECT r;
  if (!GetWindowRect(hwnd, &r)) return false;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);

  BITMAPINFOHEADER bi = {};
  bi.biSize = sizeof bi;
  bi.biWidth = w;
  bi.biHeight = h;  // bottom-up, as a .bmp stores it
  bi.biPlanes = 1;
  bi.biBitCount = 24;
  bi.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
  std::vector<BYTE> pixels(static_cast<size_t>(stride) * h);
  int lines = GetDIBits(mem, bmp, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi),
                        DIB_RGB_COLORS);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  if (lines != h) return false;

  BITMAPFILEHEADER fh = {};
  fh.bfType = 0x4D42;  // "BM"
  fh.bfOffBits = sizeof fh + sizeof bi;
  fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pixels.size());
  FILE* f = _wfopen(bmp_path.c_str(), L"wb");
  if (!f) return false;
  bool ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&bi, sizeof bi, 1, f) == 1 &&
            std::fwrite(pixels.data(), 1, pixels.size(), f) == pixels.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace zt::gui
