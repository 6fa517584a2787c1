#include "tests/gui/gui_driver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/utf8.h"

namespace zt::gui {

std::string Narrow(const std::wstring& w) { return platform::Utf8FromWide(w); }

std::wstring Wide(const std::string& s) { return platform::WideFromUtf8(s); }

std::wstring WindowsPath(const std::string& path) {
  std::wstring w = Wide(path);
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

// The first visible top-level window of `pid` that `is` accepts, within `ms`.
static HWND WaitTop(DWORD pid, const std::function<bool(HWND)>& is, DWORD ms) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND h : TopWindows(pid))
          if (is(h)) return (found = h) != nullptr;
        return false;
      },
      ms);
  return found;
}

HWND WaitWindow(DWORD pid, const std::wstring& cls, const std::wstring& title, DWORD ms) {
  return WaitTop(
      pid, [&](HWND h) { return ClassOf(h) == cls && (title.empty() || TextOf(h) == title); }, ms);
}

// Clicks button `id` of a dialog as the dialog sees it and waits until the dialog is gone.
static bool CommandAndWait(HWND dlg, int id, DWORD ms) {
  PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
  return WaitGone(dlg, ms);
}

LRESULT SendTo(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(h, msg, wp, lp, SMTO_ABORTIFHUNG, 5000, &r)) return -1;
  return static_cast<LRESULT>(r);
}

bool WaitGone(HWND hwnd, DWORD ms) {
  return WaitUntil([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, ms);
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

// A message box: the text static 0xFFFF, its buttons (1-11) and icon (20 on Windows, 1088
// under Wine) and nothing else, so that a dialog with a label without id is not taken for one.
static bool IsMessageBox(HWND h) {
  if (ClassOf(h) != L"#32770" || GetDlgItem(h, 0xFFFF) == nullptr) return false;
  for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    const int id = GetDlgCtrlID(c) & 0xFFFF;
    if (!((id >= 1 && id <= 11) || id == 20 || id == 1088 || id == 0xFFFF)) return false;
  }
  return true;
}

bool MessageBoxShown(DWORD pid) { return WaitTop(pid, IsMessageBox, 0) != nullptr; }

bool WaitMessageBox(DWORD pid, MessageBoxSeen* box, DWORD ms) {
  box->hwnd = WaitTop(pid, IsMessageBox, ms);
  if (!box->hwnd) return false;
  box->caption = TextOf(box->hwnd);
  box->text = ItemText(box->hwnd, 0xFFFF);
  HWND icon = GetDlgItem(box->hwnd, 20);
  if (!icon) icon = GetDlgItem(box->hwnd, 1088);
  box->icon = icon && IsWindowVisible(icon) && SendMessageW(icon, STM_GETICON, 0, 0) != 0;
  return true;
}

bool CloseMessageBox(const MessageBoxSeen& box, DWORD ms) {
  return CommandAndWait(box.hwnd, GetDlgItem(box.hwnd, IDOK) ? IDOK : IDCANCEL, ms);
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
  return WaitTop(pid, [](HWND h) { return ClassOf(h) == L"#32770" && NameField(h); }, ms);
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
  return SetTextOf(edit ? edit : field, path) && CommandAndWait(dialog, IDOK, ms);
}

bool FileDialogCancel(HWND dialog, DWORD ms) { return CommandAndWait(dialog, IDCANCEL, ms); }

std::wstring FileDialogName(HWND dialog) {
  HWND field = NameField(dialog);
  HWND edit = field ? FindEdit(field) : nullptr;
  return edit ? TextOf(edit) : field ? TextOf(field) : L"<no name field>";
}

std::wstring FileDialogFirstType(HWND dialog) {
  HWND types = GetDlgItem(dialog, 1136);  // the file type list
  if (!types) return L"<no file type list>";
  std::vector<std::wstring> items = ListItems(types);
  return items.empty() ? L"" : items[0];
}

// --- Geometry and pictures

RECT ChildRect(HWND parent, HWND child) {
  RECT r = {};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The screen's pixels in `r` (screen coordinates) at `bits` a pixel, rows of `stride` bytes,
// bottom row first unless `top_down`.
static bool GrabScreen(const RECT& r, WORD bits, bool top_down, std::vector<BYTE>* pixels,
                       BITMAPINFOHEADER* info) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);

  BITMAPINFOHEADER& bi = *info;
  bi = {};
  bi.biSize = sizeof bi;
  bi.biWidth = w;
  bi.biHeight = top_down ? -h : h;
  bi.biPlanes = 1;
  bi.biBitCount = bits;
  bi.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(w) * bits / 8 + 3) & ~3u;
  pixels->assign(static_cast<size_t>(stride) * h, 0);
  int lines = GetDIBits(mem, bmp, 0, h, pixels->data(), reinterpret_cast<BITMAPINFO*>(&bi),
                        DIB_RGB_COLORS);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return lines == h;
}

Pixels ClientPixels(HWND hwnd) {
  Pixels p;
  RECT r;
  if (!GetClientRect(hwnd, &r)) return p;
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
  std::vector<BYTE> bytes;
  BITMAPINFOHEADER bi;
  if (!GrabScreen(r, 32, true, &bytes, &bi)) return p;
  p.w = r.right - r.left;
  p.h = r.bottom - r.top;
  p.rgb.resize(bytes.size() / 4);
  for (size_t i = 0; i < p.rgb.size(); ++i)  // blue, green, red, unused
    p.rgb[i] = static_cast<uint32_t>(bytes[4 * i + 2]) << 16 |
               static_cast<uint32_t>(bytes[4 * i + 1]) << 8 | bytes[4 * i];
  return p;
}

bool SaveScreenshot(HWND hwnd, const std::wstring& bmp_path) {
  SetForegroundWindow(hwnd);
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  Responds(hwnd, 5000);
  Sleep(300);  // the X server shows what was painted
  RECT r;
  std::vector<BYTE> pixels;
  BITMAPINFOHEADER bi;  // bottom-up, as a .bmp stores it
  if (!GetWindowRect(hwnd, &r) || !GrabScreen(r, 24, false, &pixels, &bi)) return false;

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

// --- Windows whose controls have no ids

HWND FindChild(HWND parent, const std::wstring& cls, const std::wstring& text) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (ClassOf(c) == cls && (text.empty() || TextOf(c) == text)) return c;
  return nullptr;
}

bool PostClickWindow(HWND control) { return control && PostMessageW(control, BM_CLICK, 0, 0); }

bool PostMenuCommand(HWND wnd, int id) {
  return PostMessageW(wnd, WM_COMMAND, MAKEWPARAM(id, 0), 0) != 0;
}

std::vector<std::wstring> ListItems(HWND list) {
  const bool combo = ClassOf(list) == L"ComboBox";
  const UINT count_msg = combo ? CB_GETCOUNT : LB_GETCOUNT;
  const UINT len_msg = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
  const UINT text_msg = combo ? CB_GETLBTEXT : LB_GETTEXT;
  std::vector<std::wstring> items;
  const LRESULT n = SendTo(list, count_msg, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    const LRESULT len = SendTo(list, len_msg, i, 0);
    if (len < 0) break;
    std::vector<wchar_t> buf(static_cast<size_t>(len) + 2, L'\0');
    SendTo(list, text_msg, i, reinterpret_cast<LPARAM>(buf.data()));
    items.emplace_back(buf.data());
  }
  return items;
}

int ListSelection(HWND list) {
  const bool combo = ClassOf(list) == L"ComboBox";
  return static_cast<int>(SendTo(list, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
}

std::wstring SelectedText(HWND list) {
  const std::vector<std::wstring> items = ListItems(list);
  const size_t i = static_cast<size_t>(ListSelection(list));
  return i < items.size() ? items[i] : L"";
}

bool SelectComboText(HWND combo, const std::wstring& text, HWND notify) {
  const std::vector<std::wstring> items = ListItems(combo);
  const auto at = std::find(items.begin(), items.end(), text);
  if (at == items.end()) return false;
  const int i = static_cast<int>(at - items.begin());
  SendTo(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
  if (notify)
    PostMessageW(notify, WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  return (!notify || Responds(notify)) && ListSelection(combo) == i;
}

bool SelectListBoxItem(HWND list, int i, HWND notify, WORD notification) {
  if (GetWindowLongW(list, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) {
    SendTo(list, LB_SETSEL, FALSE, -1);
    SendTo(list, LB_SETSEL, TRUE, i);
    SendTo(list, LB_SETCARETINDEX, static_cast<WPARAM>(i), FALSE);
  } else {
    SendTo(list, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
  }
  return PostMessageW(notify, WM_COMMAND, MAKEWPARAM(0, notification),
                      reinterpret_cast<LPARAM>(list)) &&
         Responds(notify) && ListSelection(list) == i;
}

LRESULT CheckState(HWND dlg, int id) { return SendTo(GetDlgItem(dlg, id), BM_GETCHECK, 0, 0); }

bool SetChecked(HWND dlg, int id, bool on) {
  auto set = [&] { return (CheckState(dlg, id) == BST_CHECKED) == on; };
  return set() || (PostClick(dlg, id) && WaitUntil(set, 5000));
}

// --- Memory in another process

RemoteMemory::RemoteMemory(HWND wnd, size_t bytes) {
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (process_)
    address_ = VirtualAllocEx(process_, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteMemory::~RemoteMemory() {
  if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  if (process_) CloseHandle(process_);
}

bool RemoteMemory::Write(const void* data, size_t n) {
  SIZE_T done = 0;
  return address_ && WriteProcessMemory(process_, address_, data, n, &done) && done == n;
}

bool RemoteMemory::Read(void* data, size_t n) {
  SIZE_T done = 0;
  return address_ && ReadProcessMemory(process_, address_, data, n, &done) && done == n;
}

std::wstring StatusBarText(HWND bar, int part) {
  const LRESULT r = SendTo(bar, SB_GETTEXTLENGTHW, static_cast<WPARAM>(part), 0);
  if (r < 0) return L"<status bar does not answer>";
  const size_t len = LOWORD(r);
  std::vector<wchar_t> buf(len + 1, L'\0');
  RemoteMemory mem(bar, buf.size() * sizeof(wchar_t));
  if (!mem.ok() || !mem.Write(buf.data(), buf.size() * sizeof(wchar_t)))
    return L"<no memory in the program>";
  SendTo(bar, SB_GETTEXTW, static_cast<WPARAM>(part), mem.lparam());
  mem.Read(buf.data(), buf.size() * sizeof(wchar_t));
  buf.back() = L'\0';
  return buf.data();
}

bool PickerTime(HWND picker, SYSTEMTIME* t) {
  RemoteMemory mem(picker, sizeof(SYSTEMTIME));
  return mem.ok() && SendTo(picker, DTM_GETSYSTEMTIME, 0, mem.lparam()) == GDT_VALID &&
         mem.Read(t, sizeof *t);
}

int64_t PickerSeconds(HWND dlg, int date_id, int time_id) {
  SYSTEMTIME d{}, t{};
  FILETIME ft;
  if (!PickerTime(GetDlgItem(dlg, date_id), &d) || !PickerTime(GetDlgItem(dlg, time_id), &t))
    return -1;
  d.wHour = t.wHour, d.wMinute = t.wMinute, d.wSecond = t.wSecond, d.wMilliseconds = 0;
  if (!SystemTimeToFileTime(&d, &ft)) return -1;
  return (static_cast<int64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) / 10000000 -
         11644473600LL;
}

bool SetPickerTime(HWND picker, const SYSTEMTIME& t) {
  RemoteMemory mem(picker, sizeof(SYSTEMTIME));
  return mem.ok() && mem.Write(&t, sizeof t) &&
         SendTo(picker, DTM_SETSYSTEMTIME, GDT_VALID, mem.lparam()) != 0;
}

// --- Keys

static INPUT Key(WORD vk, bool up) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return in;
}

static bool Foreground(HWND wnd) {
  return WaitUntil(
      [&] {
        if (GetForegroundWindow() == wnd) return true;
        SetForegroundWindow(wnd);
        return false;
      },
      5000);
}

bool SendAltKey(HWND wnd, wchar_t ch) {
  if (!Foreground(wnd)) return false;
  const SHORT scan = VkKeyScanW(ch);
  if (scan == -1) return false;
  const WORD vk = LOBYTE(scan);
  const bool shift = HIBYTE(scan) & 1;
  std::vector<INPUT> keys = {Key(VK_MENU, false)};
  if (shift) keys.push_back(Key(VK_SHIFT, false));
  keys.push_back(Key(vk, false));
  keys.push_back(Key(vk, true));
  if (shift) keys.push_back(Key(VK_SHIFT, true));
  keys.push_back(Key(VK_MENU, true));
  return SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT)) == keys.size();
}

bool SendKeys(const std::wstring& text) {
  std::vector<INPUT> keys;
  for (wchar_t ch : text) {
    const SHORT scan = VkKeyScanW(ch);
    if (scan == -1) return false;
    keys.push_back(Key(LOBYTE(scan), false));
    keys.push_back(Key(LOBYTE(scan), true));
  }
  return SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT)) == keys.size();
}

HWND FocusOf(HWND wnd) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(wnd, nullptr), &info) ? info.hwndFocus
                                                                          : nullptr;
}

bool SendKey(WORD vk, bool shift) {
  std::vector<INPUT> keys;
  if (shift) keys.push_back(Key(VK_SHIFT, false));
  keys.push_back(Key(vk, false));
  keys.push_back(Key(vk, true));
  if (shift) keys.push_back(Key(VK_SHIFT, true));
  return SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT)) == keys.size();
}

bool SendMouse(int x, int y, DWORD button_flags) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  // Absolute positions run 0 ... 65535 over the primary screen.
  in.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  in.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | button_flags;
  return SendInput(1, &in, sizeof in) == 1;
}

// --- Files and errors

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a)) return -1;
  return static_cast<int64_t>(a.nFileSizeHigh) << 32 | a.nFileSizeLow;
}

std::string ReadAll(const std::wstring& path) {
  std::string s;
  if (FILE* f = _wfopen(path.c_str(), L"rb")) {
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
    std::fclose(f);
  }
  return s;
}

std::string Difference(const std::wstring& a, const std::wstring& b) {
  FILE* fa = _wfopen(a.c_str(), L"rb");
  FILE* fb = _wfopen(b.c_str(), L"rb");
  std::string why = fa && fb ? "" : "cannot open " + Narrow(fa ? b : a);
  std::vector<char> x(1 << 20), y(1 << 20);
  for (int64_t at = 0; why.empty();) {
    const size_t n = std::fread(x.data(), 1, x.size(), fa);
    const size_t m = std::fread(y.data(), 1, y.size(), fb);
    const auto k = std::mismatch(x.begin(), x.begin() + std::min(n, m), y.begin()).first -
                   x.begin();
    if (static_cast<size_t>(k) < std::max(n, m))
      why = "first difference at byte " + std::to_string(at + k) + " (sizes " +
            std::to_string(FileSize(a)) + " and " + std::to_string(FileSize(b)) + ")";
    if (n == 0) break;
    at += static_cast<int64_t>(n);
  }
  if (fa) std::fclose(fa);
  if (fb) std::fclose(fb);
  return why;
}

std::string SystemText(DWORD code) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                 reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string s = text ? Narrow(text) : "error " + std::to_string(code);
  LocalFree(text);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

}  // namespace zt::gui
