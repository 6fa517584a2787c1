// Drives our Windows programs from a test process: starts them, finds their windows, reads
// and sets control texts, clicks buttons, answers message boxes and file choosers, and
// takes screenshots. Every wait is bounded; what a failed wait expected is in its message.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zt::gui {

// Default bound of every wait. Wine starts a program in about a second; the first start of a
// prefix takes longer.
constexpr DWORD kWaitMs = 20000;

// UTF-8 -> UTF-16 and back: platform::WideFromUtf8 and Utf8FromWide under short names.
std::wstring Wide(const std::string& s);
// "/work/x/y.exe" -> "Z:\work\x\y.exe" (Wine's drive for the Unix root); others unchanged.
std::wstring WindowsPath(const std::string& path);

// A program we started, ended by its own handle only.
class Program {
 public:
  Program() = default;
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  bool Start(const std::wstring& exe, const std::wstring& args = L"");
  DWORD pid() const { return pid_; }
  // Waits for the program to end; true and its exit code when it did.
  bool WaitExit(DWORD ms, DWORD* exit_code = nullptr);
  bool Running();
  // Ends it if it still runs.
  void Kill();

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// Polls `done` every 20 ms until it holds or `ms` pass.
bool WaitUntil(const std::function<bool()>& done, DWORD ms = kWaitMs);

std::wstring ClassOf(HWND hwnd);
std::wstring TextOf(HWND hwnd);  // WM_GETTEXT, bounded
bool SetTextOf(HWND hwnd, const std::wstring& text);
std::wstring ItemText(HWND dlg, int id);
bool SetItemText(HWND dlg, int id, const std::wstring& text);

// Visible top-level windows of a process (pid 0: of any process).
std::vector<HWND> TopWindows(DWORD pid);
// "class 'X' title 'Y'" for each, for failure messages.
std::string Describe(const std::vector<HWND>& windows);
// The first visible top-level window of `pid` with this class (and title, if not empty).
HWND WaitWindow(DWORD pid, const std::wstring& cls, const std::wstring& title = L"",
                DWORD ms = kWaitMs);
// SendMessage bounded to 5 s; -1 when the window does not answer.
LRESULT SendTo(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// True once the window is destroyed or hidden.
bool WaitGone(HWND hwnd, DWORD ms = kWaitMs);
// True when the window's thread has handled everything sent to it so far (bounded).
bool Responds(HWND hwnd, DWORD ms = kWaitMs);

// Clicks a button by posting BM_CLICK, so that a modal dialog it opens does not block us.
bool PostClick(HWND dlg, int id);
// What the close box does.
bool PostClose(HWND hwnd);

struct MessageBoxSeen {
  HWND hwnd = nullptr;
  std::wstring caption;
  std::wstring text;  // the static with id 0xFFFF
  bool icon = false;  // it shows an icon
};
// A message box (dialog class "#32770" with the static 0xFFFF) of `pid`.
bool WaitMessageBox(DWORD pid, MessageBoxSeen* box, DWORD ms = kWaitMs);
// True if `pid` shows a message box now.
bool MessageBoxShown(DWORD pid);
// Presses its OK (or only) button and waits until it is gone.
bool CloseMessageBox(const MessageBoxSeen& box, DWORD ms = kWaitMs);

// The common file dialog of `pid`: its name field is the ComboBoxEx 1148.
HWND WaitFileDialog(DWORD pid, DWORD ms = kWaitMs);
// Types a path into the name field and presses Open/Save; waits until the dialog is gone.
bool FileDialogChoose(HWND dialog, const std::wstring& path, DWORD ms = kWaitMs);
bool FileDialogCancel(HWND dialog, DWORD ms = kWaitMs);
// The text of its name field (what the program put there), and its first file type.
std::wstring FileDialogName(HWND dialog);
std::wstring FileDialogFirstType(HWND dialog);

// Saves the window as it is on the screen (PrintWindow of another process gives black) to
// a 24-bit .bmp file.
bool SaveScreenshot(HWND hwnd, const std::wstring& bmp_path);

// What the screen shows of a window's client area (of any process): w x h pixels 0xRRGGBB,
// top row first; empty when it cannot be had. Nothing is redrawn first.
struct Pixels {
  int w = 0, h = 0;
  std::vector<uint32_t> rgb;
  uint32_t At(int x, int y) const { return rgb[static_cast<size_t>(y) * w + x]; }
};
Pixels ClientPixels(HWND hwnd);

// A control's rectangle in its parent's client coordinates.
RECT ChildRect(HWND parent, HWND child);

// --- Windows whose controls have no ids, and controls without marshalled messages.

// The first direct child of `parent` with this class and text (empty text: any).
HWND FindChild(HWND parent, const std::wstring& cls, const std::wstring& text = L"");
// Clicks a control found by its handle (BM_CLICK, posted).
bool PostClickWindow(HWND control);
// A command as a menu item or an accelerator sends it (posted).
bool PostMenuCommand(HWND wnd, int id);

// Items of a "ListBox" or "ComboBox" (their text messages are marshalled between processes).
std::vector<std::wstring> ListItems(HWND list);
// The selected item of a combo box or single-selection list box (-1: none), and its text.
int ListSelection(HWND list);
std::wstring SelectedText(HWND list);  // "": none
// Selects the item with this text in a combo box and, given `notify`, tells that window as a
// user's choice does (CBN_SELCHANGE); false when no item has this text.
bool SelectComboText(HWND combo, const std::wstring& text, HWND notify = nullptr);
// Makes item i a list box's current (and only selected) item and tells `notify` as a click
// does (`notification`: LBN_SELCHANGE, LBN_DBLCLK).
bool SelectListBoxItem(HWND list, int i, HWND notify, WORD notification);
// BM_GETCHECK of a dialog's button; and clicking it, if need be, until it is (un)checked.
LRESULT CheckState(HWND dlg, int id);
bool SetChecked(HWND dlg, int id, bool on);

// Memory in the process that owns `wnd`, for messages whose pointer Windows does not carry
// across processes (status bar texts, picker times).
class RemoteMemory {
 public:
  RemoteMemory(HWND wnd, size_t bytes);
  ~RemoteMemory();
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  bool ok() const { return address_ != nullptr; }
  LPARAM lparam() const { return reinterpret_cast<LPARAM>(address_); }
  bool Write(const void* data, size_t n);
  bool Read(void* data, size_t n);

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
};

// Text of part `part` of a status bar of another process.
std::wstring StatusBarText(HWND bar, int part);
// A date-time picker's time (DTM_GETSYSTEMTIME); false when it holds none.
bool PickerTime(HWND picker, SYSTEMTIME* t);
bool SetPickerTime(HWND picker, const SYSTEMTIME& t);
// Seconds since 1970 of a dialog's date picker's date at its time picker's time of day
// (-1: none).
int64_t PickerSeconds(HWND dlg, int date_id, int time_id);

// Brings `wnd` to the foreground and types `ch` with Alt held (SendInput: posted keys
// carry no Alt to accelerators or menus). Shift is added when the layout needs it for `ch`.
bool SendAltKey(HWND wnd, wchar_t ch);
// Types plain keys (no modifiers) into the foreground window.
bool SendKeys(const std::wstring& keys);
// The window with the keyboard focus in the thread of `wnd` (another process's too).
HWND FocusOf(HWND wnd);
// Presses and lets go one key (with Shift when `shift`), as the keyboard gives it to the
// window that has the focus.
bool SendKey(WORD vk, bool shift = false);
// The real pointer: moved to screen point (x, y), the left button pressed or let go there.
bool SendMouse(int x, int y, DWORD button_flags = 0);

std::string Narrow(const std::wstring& w);

// --- Files and errors, as the programs under test see them.

bool Exists(const std::wstring& path);
int64_t FileSize(const std::wstring& path);     // -1: no such file
std::string ReadAll(const std::wstring& path);  // "": none or unreadable
// "" when two files (of any size) hold the same bytes, else where they first differ.
std::string Difference(const std::wstring& a, const std::wstring& b);
// The system's text for an error code without its line end, as a "GetLastError" box shows it.
std::string SystemText(DWORD code);

}  // namespace zt::gui
#endif
