// zt615_control driven as a user would: the main window, the device dialogs against
// simulated loggers (with what the logger received, from its log), the timer list and its
// file, Show Data, and the export dialog against `zt615 export`.
// tests/gui/control_gui_runner.py starts the simulators and runs this program under Wine; it
// names the ports, the simulators' logs and the test files in ZT_CONTROL_* variables.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/gui/gui_driver.h"
#include "timers/timer_values.h"

namespace zt::gui {
namespace {

const std::wstring kClass = L"ZT615_CONTROL";
const std::wstring kTitle = L"DEPTHORN ZT615 Control Program";
const std::wstring kDialog = L"#32770";

std::wstring W(const std::string& s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// A variable the runner sets; its absence fails the test that needs it.
std::string Need(const char* name) {
  std::string v = Env(name);
  if (v.empty())
    ADD_FAILURE() << name << " is not set: run these tests through "
                  << "tests/gui/control_gui_runner.py, which starts the simulated loggers";
  return v;
}

std::wstring DataFile(const char* name) {
  return WindowsPath(Need("ZT_CONTROL_DATA") + "/" + name);
}
std::wstring OutFile(const std::string& name) {
  return WindowsPath(Need("ZT_CONTROL_OUT") + "/" + name);
}

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
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
  }
  return s;
}

// Compares two files of any size block by block; "" when equal, else where they differ.
std::string Difference(const std::wstring& a, const std::wstring& b) {
  FILE* fa = _wfopen(a.c_str(), L"rb");
  FILE* fb = _wfopen(b.c_str(), L"rb");
  std::string why;
  if (!fa || !fb) why = "cannot open " + Narrow(fa ? b : a);
  std::vector<char> x(1 << 20), y(1 << 20);
  for (int64_t at = 0; why.empty();) {
    size_t n = std::fread(x.data(), 1, x.size(), fa), m = std::fread(y.data(), 1, y.size(), fb);
    size_t k = 0;
    while (k < n && k < m && x[k] == y[k]) ++k;
    if (k < n || k < m)
      why = "first difference at byte " + std::to_string(at + static_cast<int64_t>(k)) +
            " (sizes " + std::to_string(FileSize(a)) + " and " + std::to_string(FileSize(b)) +
            ")";
    if (n == 0) break;
    at += static_cast<int64_t>(n);
  }
  if (fa) std::fclose(fa);
  if (fb) std::fclose(fb);
  return why;
}

// Runs zt615.exe with `args` and waits for it; its exit code, or -1.
int RunCli(const std::wstring& args) {
  Program cli;
  if (!cli.Start(WindowsPath(ZT615_EXE), args)) return -1;
  DWORD code = 0;
  return cli.WaitExit(300000, &code) ? static_cast<int>(code) : -1;
}

std::wstring Quoted(const std::wstring& s) { return L"\"" + s + L"\""; }

std::string TrimEnd(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

// The system's text for an error code, as a "GetLastError" box shows it.
std::string SystemText(DWORD code) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                 reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string s = text ? Narrow(text) : "error " + std::to_string(code);
  LocalFree(text);
  return TrimEnd(s);
}

// --- Time: seconds since 1970 and SYSTEMTIME (the tests run with TZ=UTC, so local is UTC).

int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

int64_t Seconds(const SYSTEMTIME& t) {
  FILETIME ft;
  if (!SystemTimeToFileTime(&t, &ft)) return -1;
  const int64_t ticks = static_cast<int64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
  return ticks / 10000000 - 11644473600LL;
}

SYSTEMTIME Calendar(int64_t seconds) {
  const int64_t ticks = (seconds + 11644473600LL) * 10000000;
  FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME t{};
  FileTimeToSystemTime(&ft, &t);
  return t;
}

// The date of a date picker with the time of day of its time picker.
int64_t PickerPair(HWND dlg, int date_id, int time_id) {
  SYSTEMTIME d{}, t{};
  if (!PickerTime(GetDlgItem(dlg, date_id), &d) || !PickerTime(GetDlgItem(dlg, time_id), &t))
    return -1;
  d.wHour = t.wHour, d.wMinute = t.wMinute, d.wSecond = t.wSecond, d.wMilliseconds = 0;
  return Seconds(d);
}

// "Tue Dec  8 21:32:22 2026": the device clock line's form of a time.
std::string ClockText(int64_t seconds) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const SYSTEMTIME t = Calendar(seconds);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s %s %2d %02d:%02d:%02d %d", kDays[t.wDayOfWeek],
                kMonths[t.wMonth - 1], t.wDay, t.wHour, t.wMinute, t.wSecond, t.wYear);
  return buf;
}

// --- What a simulated logger received: its JSON lines, from a mark on.

struct Frame {
  std::string line;
  // The number after "key": in the line (the first such key), or `none`.
  double Number(const std::string& key, double none = -1) const {
    const size_t at = line.find("\"" + key + "\": ");
    if (at == std::string::npos) return none;
    return std::strtod(line.c_str() + at + key.size() + 4, nullptr);
  }
  int Code() const { return static_cast<int>(Number("code")); }
  std::string Text(const std::string& key) const {
    const size_t at = line.find("\"" + key + "\": \"");
    if (at == std::string::npos) return "<no " + key + ">";
    const size_t from = at + key.size() + 5;
    return line.substr(from, line.find('"', from) - from);
  }
  // The first result word of a query's reply.
  int64_t Word() const {
    const size_t at = line.find("\"words\": [");
    return at == std::string::npos ? -1 : std::strtoll(line.c_str() + at + 10, nullptr, 10);
  }
};

class SimLog {
 public:
  explicit SimLog(const char* env) : path_(WindowsPath(Need(env))) { Mark(); }
  void Mark() { mark_ = ReadAll(path_).size(); }
  // Every complete line since the mark; frames are the lines with a code.
  std::vector<Frame> Lines() const {
    const std::string all = ReadAll(path_);
    std::vector<Frame> lines;
    for (size_t at = mark_; at < all.size();) {
      const size_t end = all.find('\n', at);
      if (end == std::string::npos) break;  // a line still being written
      if (end > at) lines.push_back({all.substr(at, end - at)});
      at = end + 1;
    }
    return lines;
  }
  std::vector<Frame> Frames() const {
    std::vector<Frame> frames;
    for (Frame& f : Lines())
      if (f.line.find("\"code\": ") != std::string::npos) frames.push_back(std::move(f));
    return frames;
  }
  // The frames since the mark once there are at least n of them (bounded).
  std::vector<Frame> Wait(size_t n, DWORD ms = 10000) const {
    std::vector<Frame> f;
    WaitUntil([&] { return (f = Frames()).size() >= n; }, ms);
    return f;
  }

 private:
  std::wstring path_;
  size_t mark_ = 0;
};

std::vector<int> Codes(const std::vector<Frame>& frames) {
  std::vector<int> c;
  for (const Frame& f : frames) c.push_back(f.Code());
  return c;
}

std::string Join(const std::vector<std::wstring>& items) {
  std::string s;
  for (const auto& i : items) s += (s.empty() ? "'" : ", '") + Narrow(i) + "'";
  return "[" + s + "]";
}

// --- The program

class ControlWindow : public ::testing::Test {
 protected:
  // Command-line arguments of the program.
  virtual std::wstring Args() { return L""; }

  void SetUp() override {
    ASSERT_FALSE(Need("ZT_CONTROL_DATA").empty());
    ASSERT_TRUE(app_.Start(WindowsPath(ZT_CONTROL_EXE), Args()))
        << "could not start " << ZT_CONTROL_EXE << ": error " << GetLastError();
    wnd_ = WaitWindow(app_.pid(), kClass, kTitle);
    ASSERT_NE(wnd_, nullptr) << "expected a window of class '" << Narrow(kClass) << "' titled '"
                             << Narrow(kTitle) << "'; found " << Describe(TopWindows(app_.pid()));
  }
  void TearDown() override { app_.Kill(); }

  HWND Button(const std::wstring& text) { return FindChild(wnd_, L"Button", text); }
  bool Enabled(const std::wstring& text) {
    HWND b = Button(text);
    return b && IsWindowEnabled(b);
  }
  HWND Ports() { return FindChild(wnd_, L"ComboBox"); }
  HWND TimerList() { return FindChild(wnd_, L"ListBox"); }
  std::string Status(int part) {
    return Narrow(StatusBarText(FindChild(wnd_, L"msctls_statusbar32"), part));
  }

  // Clicks an enabled main-window button.
  bool Click(const std::wstring& text) {
    HWND b = Button(text);
    if (!b) {
      ADD_FAILURE() << "no button '" << Narrow(text) << "'";
      return false;
    }
    if (!IsWindowEnabled(b)) {
      ADD_FAILURE() << "button '" << Narrow(text) << "' is disabled";
      return false;
    }
    return PostClickWindow(b);
  }

  HWND Dialog(const std::wstring& title, DWORD ms = kWaitMs) {
    HWND d = WaitWindow(app_.pid(), kDialog, title, ms);
    if (!d)
      ADD_FAILURE() << "expected the dialog '" << Narrow(title) << "'; found "
                    << Describe(TopWindows(app_.pid()));
    return d;
  }
  HWND Open(const std::wstring& button, const std::wstring& title) {
    return Click(button) ? Dialog(title) : nullptr;
  }
  static bool Gone(HWND w, DWORD ms = kWaitMs) {
    return WaitUntil([&] { return !IsWindow(w) || !IsWindowVisible(w); }, ms);
  }
  // Presses a dialog button and waits until the dialog has closed.
  static bool Press(HWND dlg, int id) { return PostClick(dlg, id) && Gone(dlg); }

  // The next message box, closed after reading it; an empty caption when none came.
  MessageBoxSeen TakeBox(const std::string& expected, DWORD ms = kWaitMs) {
    MessageBoxSeen box;
    if (!WaitMessageBox(app_.pid(), &box, ms)) {
      ADD_FAILURE() << "expected a message box " << expected << "; found "
                    << Describe(TopWindows(app_.pid()));
      return {};
    }
    EXPECT_TRUE(CloseMessageBox(box)) << "the message box did not close";
    return box;
  }
  // Exactly one message box with this caption and text.
  void ExpectBox(const std::wstring& caption, const std::wstring& text) {
    MessageBoxSeen box = TakeBox("'" + Narrow(caption) + "': '" + Narrow(text) + "'");
    EXPECT_EQ(Narrow(box.caption), Narrow(caption));
    EXPECT_EQ(Narrow(box.text), Narrow(text));
    ExpectNoBox();
  }
  void ExpectNoBox() {
    ASSERT_TRUE(Responds(wnd_));
    MessageBoxSeen box;
    if (MessageBoxShown(app_.pid()) && WaitMessageBox(app_.pid(), &box, 1000)) {
      ADD_FAILURE() << "expected no message box; found '" << Narrow(box.caption) << "': '"
                    << Narrow(box.text) << "'";
      CloseMessageBox(box);
    }
  }

  // Selects a port of the list as a user would (the program reads the selection).
  bool SelectPort(const std::string& port) {
    HWND combo = Ports();
    const std::vector<std::wstring> items = ListItems(combo);
    for (size_t i = 0; i < items.size(); ++i)
      if (items[i] == W(port)) {
        DWORD_PTR r;
        SendMessageTimeoutW(combo, CB_SETCURSEL, i, 0, SMTO_ABORTIFHUNG, 5000, &r);
        PostMessageW(wnd_, WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
        return Responds(wnd_) && ListSelection(combo) == static_cast<int>(i);
      }
    ADD_FAILURE() << "port " << port << " is not listed: " << Join(items);
    return false;
  }
  // Selects the port and presses a connection button; the dialog it opens.
  HWND Connect(const char* port_env, const std::wstring& button, const std::wstring& title) {
    return SelectPort(Need(port_env)) ? Open(button, title) : nullptr;
  }

  // --- Timers

  std::vector<std::wstring> Timers() { return ListItems(TimerList()); }

  // Add Timer, the name and (if given) start and stop, then "Add".
  bool AddTimer(const std::wstring& name, const SYSTEMTIME* start = nullptr,
                const SYSTEMTIME* stop = nullptr) {
    HWND dlg = Open(L"Add Timer", L"Add Timer");
    if (!dlg || !SetItemText(dlg, 1054, name)) return false;
    if (start && !(SetPickerTime(GetDlgItem(dlg, 1010), *start) &&
                   SetPickerTime(GetDlgItem(dlg, 1012), *start)))
      return false;
    if (stop && !(SetPickerTime(GetDlgItem(dlg, 1009), *stop) &&
                  SetPickerTime(GetDlgItem(dlg, 1013), *stop)))
      return false;
    return Press(dlg, 1014) && Responds(wnd_);
  }

  // Makes item i the list's current item and tells the window, as a click does.
  bool SelectTimer(int i, WORD notification = LBN_SELCHANGE) {
    HWND list = TimerList();
    DWORD_PTR r;
    if (GetWindowLongW(list, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) {
      SendMessageTimeoutW(list, LB_SETSEL, FALSE, -1, SMTO_ABORTIFHUNG, 5000, &r);
      SendMessageTimeoutW(list, LB_SETSEL, TRUE, i, SMTO_ABORTIFHUNG, 5000, &r);
      SendMessageTimeoutW(list, LB_SETCARETINDEX, i, FALSE, SMTO_ABORTIFHUNG, 5000, &r);
    } else {
      SendMessageTimeoutW(list, LB_SETCURSEL, i, 0, SMTO_ABORTIFHUNG, 5000, &r);
    }
    return PostMessageW(wnd_, WM_COMMAND, MAKEWPARAM(0, notification),
                        reinterpret_cast<LPARAM>(list)) &&
           Responds(wnd_) && ListSelection(list) == i;
  }

  // --- Logged data and exports

  // "Show Data" with `path` chosen.
  bool ShowData(const std::wstring& path) {
    if (!Click(L"Show Data")) return false;
    HWND fd = WaitFileDialog(app_.pid());
    if (!fd) {
      ADD_FAILURE() << "expected an open chooser; found " << Describe(TopWindows(app_.pid()));
      return false;
    }
    EXPECT_EQ(Narrow(FileDialogFirstType(fd)).rfind("BIN Files", 0), 0u)
        << Narrow(FileDialogFirstType(fd));
    return FileDialogChoose(fd, path) && Responds(wnd_);
  }

  // Selects the item with this text in drop-down list `id` of `dlg`.
  static bool SelectItem(HWND dlg, int id, const std::wstring& text) {
    HWND list = GetDlgItem(dlg, id);
    const std::vector<std::wstring> items = ListItems(list);
    for (size_t i = 0; i < items.size(); ++i)
      if (items[i] == text) {
        DWORD_PTR r;
        SendMessageTimeoutW(list, CB_SETCURSEL, i, 0, SMTO_ABORTIFHUNG, 5000, &r);
        return ListSelection(list) == static_cast<int>(i);
      }
    ADD_FAILURE() << "list " << id << " has no item '" << Narrow(text) << "': " << Join(items);
    return false;
  }
  static std::wstring SelectedItem(HWND dlg, int id) {
    HWND list = GetDlgItem(dlg, id);
    const std::vector<std::wstring> items = ListItems(list);
    const int i = ListSelection(list);
    return i >= 0 && i < static_cast<int>(items.size()) ? items[i] : L"<none>";
  }
  static bool SetCheck(HWND dlg, int id, bool on) {
    HWND box = GetDlgItem(dlg, id);
    auto checked = [&] { return (SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED) == on; };
    if (checked()) return true;
    return PostClick(dlg, id) && WaitUntil(checked, 5000);
  }

  // OK in the Export file dialog, and `out` in its save chooser.
  bool StartExport(HWND dlg, const std::wstring& out) {
    if (!PostClick(dlg, IDOK)) return false;
    HWND fd = WaitFileDialog(app_.pid());
    if (!fd) {
      ADD_FAILURE() << "expected a save chooser; found " << Describe(TopWindows(app_.pid()));
      return false;
    }
    EXPECT_EQ(Narrow(FileDialogFirstType(fd)).rfind("LOG Files", 0), 0u)
        << Narrow(FileDialogFirstType(fd));
    return FileDialogChoose(fd, out);
  }

  Program app_;
  HWND wnd_ = nullptr;
};

class ControlWithData : public ControlWindow {
 protected:
  std::wstring Args() override { return Quoted(DataFile("REC10.BIN")); }
};

// Opens a recording big enough that its export runs for a while.
class ControlWithBigData : public ControlWindow {
 protected:
  std::wstring Args() override { return Quoted(DataFile("BIG.BIN")); }
};

// --- Start-up

struct ButtonAtStart {
  const wchar_t* text;
  bool enabled;
  bool group;
};
const ButtonAtStart kButtonsAtStart[] = {
    {L"Device", true, true},          {L"Connect", true, false},
    {L"Sync Time", true, false},      {L"Upload Settings", true, false},
    {L"Settings", true, true},        {L"Default Timer", true, false},
    {L"Add Timer", true, false},      {L"Delete Timer", false, false},
    {L"Save Timers", false, false},   {L"Logged Data", true, true},
    {L"Show Data", true, false},      {L"Export Data", false, false},
};

TEST_F(ControlWindow, StartsDisconnectedWithOnlyDeleteSaveAndExportDisabled) {
  for (const ButtonAtStart& b : kButtonsAtStart) {
    SCOPED_TRACE(Narrow(b.text));
    HWND h = Button(b.text);
    ASSERT_NE(h, nullptr) << "no button '" << Narrow(b.text) << "'";
    EXPECT_EQ(IsWindowEnabled(h) != 0, b.enabled);
    EXPECT_EQ((GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX, b.group);
  }
  HWND bar = FindChild(wnd_, L"msctls_statusbar32");
  ASSERT_NE(bar, nullptr);
  RemoteMemory parts(bar, 16 * sizeof(int));
  DWORD_PTR n = 0;
  SendMessageTimeoutW(bar, SB_GETPARTS, 16, parts.lparam(), SMTO_ABORTIFHUNG, 5000, &n);
  EXPECT_EQ(n, 3u) << "status bar parts";
  EXPECT_EQ(Status(0), "Disconnected");
  EXPECT_EQ(Status(1), "");
  EXPECT_EQ(Status(2), "");
  ASSERT_NE(TimerList(), nullptr);
  EXPECT_TRUE(Timers().empty());
  EXPECT_NE(FindChild(wnd_, L"WEchoClass"), nullptr) << "no echogram window";
}

TEST_F(ControlWindow, ListsThePortsSortedByNumberWithTheFirstSelected) {
  const std::vector<std::wstring> items = ListItems(Ports());
  std::vector<unsigned long> numbers;
  for (const std::wstring& p : items) numbers.push_back(std::wcstoul(p.c_str() + 3, nullptr, 10));
  EXPECT_TRUE(std::adjacent_find(numbers.begin(), numbers.end(),
                                 std::greater_equal<unsigned long>()) == numbers.end())
      << "not in ascending order of port number: " << Join(items);
  const std::string mapped = Need("ZT_CONTROL_PORTS");
  for (size_t at = 0; at < mapped.size();) {
    size_t end = std::min(mapped.find(',', at), mapped.size());
    const std::wstring port = W(mapped.substr(at, end - at));
    EXPECT_NE(std::find(items.begin(), items.end(), port), items.end())
        << Narrow(port) << " is not listed: " << Join(items);
    at = end + 1;
  }
  EXPECT_EQ(ListSelection(Ports()), 0);
}

struct WindowSize {
  int asked_w, asked_h;
  int w, h;  // what the window gets
};
const WindowSize kSmallestSizeAndAnother[] = {{300, 300, 500, 700}, {900, 760, 900, 760}};

TEST_F(ControlWindow, KeepsItsMinimumSizeAndTheEchogramRightOfTheButtons) {
  HWND echo = FindChild(wnd_, L"WEchoClass");
  ASSERT_NE(echo, nullptr);
  for (const WindowSize& s : kSmallestSizeAndAnother) {
    SCOPED_TRACE(std::to_string(s.asked_w) + " x " + std::to_string(s.asked_h));
    ASSERT_TRUE(SetWindowPos(wnd_, nullptr, 10, 10, s.asked_w, s.asked_h,
                             SWP_NOZORDER | SWP_NOACTIVATE));
    ASSERT_TRUE(Responds(wnd_));
    RECT w, c;
    GetWindowRect(wnd_, &w);
    GetClientRect(wnd_, &c);
    EXPECT_EQ(w.right - w.left, s.w);
    EXPECT_EQ(w.bottom - w.top, s.h);
    RECT e = ChildRect(wnd_, echo);
    EXPECT_EQ(e.left, 170);
    EXPECT_EQ(e.top, 0);
    EXPECT_EQ(e.right - e.left, c.right - 171);
    EXPECT_EQ(e.bottom - e.top, c.bottom - 24);
  }
}

// --- Menu and keys

struct MenuWay {
  const char* name;
  std::function<bool(HWND)> press;
};

TEST_F(ControlWindow, AboutOpensFromTheHelpMenuAndFromAltQuestionMarkAndAltSlash) {
  const MenuWay ways[] = {
      {"Help menu: Alt+H, A", [](HWND w) { return SendAltKey(w, L'h') && SendKeys(L"a"); }},
      {"Alt+?", [](HWND w) { return SendAltKey(w, L'?'); }},
      {"Alt+/", [](HWND w) { return SendAltKey(w, L'/'); }},
  };
  for (const MenuWay& way : ways) {
    SCOPED_TRACE(way.name);
    ASSERT_TRUE(way.press(wnd_)) << "the keys were not sent";
    HWND about = Dialog(L"About");
    ASSERT_NE(about, nullptr);
    EXPECT_NE(FindChild(about, L"Static", L"ZT615 Control, Version 1.6"), nullptr)
        << "no text 'ZT615 Control, Version 1.6'";
    HWND icon = GetDlgItem(about, 140);
    ASSERT_NE(icon, nullptr) << "no icon control 140";
    EXPECT_NE(SendMessageW(icon, STM_GETICON, 0, 0), 0) << "the icon control shows no icon";
    EXPECT_TRUE(Press(about, IDOK)) << "OK did not close the About box";
    ExpectNoBox();
  }
}

TEST_F(ControlWindow, ViewerSettingsOpensFromItsMenuCommand) {
  ASSERT_TRUE(PostMenuCommand(wnd_, 32774));
  HWND dlg = Dialog(L"Viewer settings");
  ASSERT_NE(dlg, nullptr);
  EXPECT_TRUE(PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0) && Gone(dlg));
}

TEST_F(ControlWindow, ExitInTheFileMenuEndsTheProgramWithZero) {
  ASSERT_TRUE(SendAltKey(wnd_, L'f') && SendKeys(L"x"));
  DWORD code = 1;
  ASSERT_TRUE(app_.WaitExit(kWaitMs, &code)) << "still running after File, Exit";
  EXPECT_EQ(code, 0u);
}

// --- Device info ("Connect")

// COM3's logger runs with the values of GOOD_ARGS in control_gui_runner.py, COM4's with the
// simulator's defaults and no card. The clock line comes from the logger's own reply.
struct InfoCase {
  const char* name;
  const char* port_env;
  const char* log_env;
  std::vector<std::string> lines;  // without the clock line
};

TEST_F(ControlWindow, ConnectShowsTheDeviceInfoAndTheStatusBarStaysDisconnected) {
  const InfoCase kInfoOfEachLogger[] = {
      {"logger with a card", "ZT_CONTROL_GOOD_PORT", "ZT_CONTROL_GOOD_LOG",
       {"ZT615 Echosounder", "Device ID: 004242", "Temperature: 7.5\u00b0C",
        "Tilt X: 1.5\u00b0 Tilt Y: -2.3\u00b0", "Battery: 12.6 Volts",
        "SD card free space: 4294967296 Bytes"}},
      {"logger without a card", "ZT_CONTROL_NOCARD_PORT", "ZT_CONTROL_NOCARD_LOG",
       {"ZT615 Echosounder", "Device ID: 123456", "Temperature: 12.3\u00b0C",
        "Tilt X: 1.5\u00b0 Tilt Y: -0.8\u00b0", "Battery: 11.9 Volts", "SD card: Not present"}},
  };
  for (const InfoCase& c : kInfoOfEachLogger) {
    SCOPED_TRACE(c.name);
    SimLog log(c.log_env);
    HWND dlg = Connect(c.port_env, L"Connect", L"Device info");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(Status(0), "Disconnected") << "while the dialog is open";
    const std::vector<Frame> frames = log.Wait(6);
    EXPECT_EQ(Codes(frames), (std::vector<int>{100, 101, 102, 103, 104, 109}));
    std::vector<std::string> shown;
    for (int id = 1059; id <= 1065; ++id) shown.push_back(Narrow(ItemText(dlg, id)));
    std::vector<std::string> expected = c.lines;
    if (!frames.empty())
      expected.insert(expected.begin() + 2, "Time (Local): " + ClockText(frames[0].Word()) + "\n");
    EXPECT_EQ(shown, expected);
    EXPECT_TRUE(Press(dlg, IDOK));
    EXPECT_EQ(Status(0), "Disconnected");
    EXPECT_EQ(Status(1), "");
  }
}

TEST_F(ControlWindow, DeviceInfoClosesWithOkOnlyNotWithEscape) {
  HWND dlg = Connect("ZT_CONTROL_GOOD_PORT", L"Connect", L"Device info");
  ASSERT_NE(dlg, nullptr);
  PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);  // what Escape becomes
  ASSERT_TRUE(Responds(dlg));
  EXPECT_TRUE(IsWindowVisible(dlg)) << "Escape closed Device info";
  EXPECT_TRUE(Press(dlg, IDOK));
}

TEST_F(ControlWindow, ConnectStopsAtTheFirstFailingQueryWithOneMessage) {
  SimLog log("ZT_CONTROL_NOREPLY_LOG");
  ASSERT_TRUE(SelectPort(Need("ZT_CONTROL_NOREPLY_PORT")));
  ASSERT_TRUE(Click(L"Connect"));
  ExpectBox(L"Error", L"Unable to get data from the device");
  EXPECT_TRUE(WaitWindow(app_.pid(), kDialog, L"Device info", 500) == nullptr)
      << "Device info stayed open";
  EXPECT_EQ(Codes(log.Wait(4)), (std::vector<int>{100, 101, 102, 103}))
      << "GET_SD_CARD (104) and GET_DEVICE_ID (109) must not be sent after GET_BATTERY failed";
  EXPECT_EQ(Status(0), "Disconnected");
}

TEST_F(ControlWindow, PortThatCannotBeOpenedShowsTheSystemTextForEachDeviceButton) {
  const std::string port = Need("ZT_CONTROL_DEAD_PORT");
  // The same open in this process tells which error the system gives.
  HANDLE h = CreateFileW((L"\\\\.\\" + W(port)).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  const DWORD error = GetLastError();
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  ASSERT_EQ(h, INVALID_HANDLE_VALUE) << port << " opened: its line should be a folder";
  const std::string system_text = SystemText(error);
  ASSERT_TRUE(SelectPort(port));
  for (const wchar_t* button : {L"Connect", L"Sync Time", L"Upload Settings"}) {
    SCOPED_TRACE(Narrow(button));
    ASSERT_TRUE(Click(button));
    MessageBoxSeen box = TakeBox("'GetLastError' with the system's text");
    EXPECT_EQ(Narrow(box.caption), "GetLastError");
    EXPECT_EQ(TrimEnd(Narrow(box.text)), system_text);
    ExpectNoBox();
    EXPECT_EQ(Describe(TopWindows(app_.pid())).find("#32770"), std::string::npos)
        << "a dialog opened: " << Describe(TopWindows(app_.pid()));
    EXPECT_EQ(Status(0), "Disconnected");
  }
}

// --- Time synchronize ("Sync Time")

TEST_F(ControlWindow, SyncTimeShowsBothClocksConnectedAndSendsTheHostTimeOfThePress) {
  SimLog log("ZT_CONTROL_GOOD_LOG");
  const int64_t opened = Now();
  HWND dlg = Connect("ZT_CONTROL_GOOD_PORT", L"Sync Time", L"Time synchronize");
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(Status(0), "Connected");
  EXPECT_EQ(Status(1), Need("ZT_CONTROL_GOOD_PORT") + ":115200baud");
  const std::vector<Frame> asked = log.Wait(1);
  ASSERT_EQ(Codes(asked), std::vector<int>{100});
  EXPECT_EQ(PickerPair(dlg, 1055, 1012), asked[0].Word()) << "device UTC time";
  const int64_t host = PickerPair(dlg, 1009, 1010);
  EXPECT_TRUE(host >= opened - 2 && host <= Now() + 2) << "host UTC time " << host << ", opened "
                                                       << opened;
  for (int id : {1009, 1010, 1055, 1012}) EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, id))) << id;

  Sleep(3000);  // so that the time of the press differs from the time shown
  const int64_t pressed = Now();
  ASSERT_TRUE(PostClick(dlg, 1000));
  ExpectBox(L"Sync", L"Time synchronized");
  const int64_t after = Now();
  const std::vector<Frame> frames = log.Wait(2);
  ASSERT_EQ(Codes(frames), (std::vector<int>{100, 0}));
  const int64_t sent = static_cast<int64_t>(frames[1].Number("clock"));
  EXPECT_TRUE(sent >= pressed - 2 && sent <= after + 2)
      << "SET_CLOCK carried " << sent << "; Sync was pressed at " << pressed;
  EXPECT_TRUE(Gone(dlg));
  EXPECT_EQ(Status(0), "Disconnected");
  EXPECT_EQ(Status(1), "");
}

TEST_F(ControlWindow, SyncTimeCancelSendsNothing) {
  SimLog log("ZT_CONTROL_GOOD_LOG");
  HWND dlg = Connect("ZT_CONTROL_GOOD_PORT", L"Sync Time", L"Time synchronize");
  ASSERT_NE(dlg, nullptr);
  ASSERT_EQ(Codes(log.Wait(1)), std::vector<int>{100});
  EXPECT_TRUE(Press(dlg, 1014));
  ExpectNoBox();
  Sleep(500);  // a frame sent by Cancel would have arrived
  EXPECT_EQ(Codes(log.Frames()), std::vector<int>{100});
  EXPECT_EQ(Status(0), "Disconnected");
  EXPECT_EQ(Status(1), "");
}

// --- Upload settings

TEST_F(ControlWindow, UploadToALoggerWithoutSdCardAsksForOne) {
  SimLog log("ZT_CONTROL_NOCARD_LOG");
  ASSERT_TRUE(SelectPort(Need("ZT_CONTROL_NOCARD_PORT")));
  ASSERT_TRUE(Click(L"Upload Settings"));
  ExpectBox(L"Error", L"Insert SD card into device!");
  EXPECT_TRUE(WaitWindow(app_.pid(), kDialog, L"Upload settings", 500) == nullptr);
  EXPECT_EQ(Codes(log.Wait(1)), std::vector<int>{104});
  EXPECT_EQ(Status(0), "Disconnected");
}

TEST_F(ControlWindow, UploadOfTheDefaultTimerSendsOneFrameWithTheSetValues) {
  // The Default Timer dialog's values are what the upload sends.
  HWND def = Open(L"Default Timer", L"Default Timer");
  ASSERT_NE(def, nullptr);
  ASSERT_TRUE(SetItemText(def, 1053, L"1480.5"));
  ASSERT_TRUE(SetItemText(def, 1052, L"2"));
  ASSERT_TRUE(SelectItem(def, 1037, L"hours"));
  ASSERT_TRUE(Press(def, 1014));
  ExpectNoBox();

  SimLog log("ZT_CONTROL_GOOD_LOG");
  HWND dlg = Connect("ZT_CONTROL_GOOD_PORT", L"Upload Settings", L"Upload settings");
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(Status(0), "Connected");
  EXPECT_EQ(SendMessageW(GetDlgItem(dlg, 1057), BM_GETCHECK, 0, 0), BST_CHECKED)
      << "Added timers is selected at start";
  ASSERT_TRUE(SetCheck(dlg, 1056, true));
  EXPECT_EQ(SendMessageW(GetDlgItem(dlg, 1057), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  ASSERT_TRUE(PostClick(dlg, IDOK));
  ExpectBox(L"Upload", L"Settings uploaded");
  const std::vector<Frame> frames = log.Wait(2);
  ASSERT_EQ(Codes(frames), (std::vector<int>{104, 2}));
  EXPECT_EQ(frames[1].Text("timer_name"), "Default timer");
  EXPECT_EQ(static_cast<int64_t>(frames[1].Number("output_flags")) & 128, 128);
  EXPECT_EQ(frames[1].Number("sound_speed"), 1480.5);
  EXPECT_EQ(frames[1].Number("interval_s"), 7200);
  EXPECT_TRUE(Gone(dlg));
  EXPECT_EQ(Status(0), "Disconnected");
}

TEST_F(ControlWindow, UploadOfAddedTimersSendsBothPreamblesThenEachTimerInListOrder) {
  for (const wchar_t* name : {L"Dawn", L"Noon", L"Dusk"}) ASSERT_TRUE(AddTimer(name));
  SimLog log("ZT_CONTROL_GOOD_LOG");
  HWND dlg = Connect("ZT_CONTROL_GOOD_PORT", L"Upload Settings", L"Upload settings");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(PostClick(dlg, IDOK));
  MessageBoxSeen box;
  ASSERT_TRUE(WaitMessageBox(app_.pid(), &box)) << Describe(TopWindows(app_.pid()));
  HWND bar = GetDlgItem(dlg, 1058);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 5) << "range 0..n+2";
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 5) << "one step a frame";
  EXPECT_EQ(Narrow(box.caption), "Upload");
  EXPECT_EQ(Narrow(box.text), "Settings uploaded");
  CloseMessageBox(box);
  const std::vector<Frame> frames = log.Wait(6);
  ASSERT_EQ(Codes(frames), (std::vector<int>{104, 4, 5, 1, 1, 1}));
  const char* const names[] = {"Dawn", "Noon", "Dusk"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(frames[3 + i].Number("timer_index"), i);
    EXPECT_EQ(frames[3 + i].Text("timer_name"), names[i]);
  }
  // The logger takes one frame at a time: they come 200 ms apart (arrival times, seconds).
  for (size_t i = 2; i < frames.size(); ++i)
    EXPECT_GE(frames[i].Number("time") - frames[i - 1].Number("time"), 0.15) << "frame " << i;
}

TEST_F(ControlWindow, UploadOverALineThatHangsUpShowsTheSystemErrorNotSuccess) {
  SimLog log("ZT_CONTROL_HANGUP_LOG");
  HWND dlg = Connect("ZT_CONTROL_HANGUP_PORT", L"Upload Settings", L"Upload settings");
  ASSERT_NE(dlg, nullptr);
  ASSERT_EQ(Codes(log.Wait(1)), std::vector<int>{104}) << "the logger answered the card query";
  ASSERT_TRUE(WaitUntil([&] {
    for (const Frame& f : log.Lines())
      if (f.Text("event") == "hangup") return true;
    return false;
  })) << "the logger did not hang up";
  ASSERT_TRUE(PostClick(dlg, IDOK));
  MessageBoxSeen box = TakeBox("'GetLastError' for the failed write");
  EXPECT_EQ(Narrow(box.caption), "GetLastError");
  EXPECT_FALSE(box.text.empty()) << "no system text";
  // Whatever the dialog does next, it does not report success.
  WaitUntil([&] { return !IsWindowVisible(dlg) || MessageBoxShown(app_.pid()); }, 5000);
  ExpectNoBox();
}

// --- Timer list

TEST_F(ControlWindow, AddTimerStartsFromNowAndAppendsTheName) {
  HWND dlg = Open(L"Add Timer", L"Add Timer");
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(Narrow(ItemText(dlg, 1054)), "Timer");
  for (auto pair : {std::make_pair(1010, 1012), std::make_pair(1009, 1013)}) {
    const int64_t shown = PickerPair(dlg, pair.first, pair.second);
    EXPECT_LE(std::llabs(shown - Now()), 5) << "pickers " << pair.first << "/" << pair.second;
  }
  ASSERT_TRUE(SetItemText(dlg, 1054, L"Dawn"));
  ASSERT_TRUE(Press(dlg, 1014));
  ExpectNoBox();
  EXPECT_EQ(Timers(), std::vector<std::wstring>{L"Dawn"});
  EXPECT_TRUE(Enabled(L"Save Timers"));
  EXPECT_TRUE(Enabled(L"Add Timer"));
  EXPECT_FALSE(Enabled(L"Delete Timer")) << "no timer is selected yet";
}

TEST_F(ControlWindow, DoubleClickEditsTheTimerInItsPlace) {
  for (const wchar_t* name : {L"A", L"B", L"C"}) ASSERT_TRUE(AddTimer(name));
  ASSERT_TRUE(SelectTimer(1, LBN_DBLCLK));
  HWND dlg = Dialog(L"Add Timer");
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(Narrow(ItemText(dlg, 1054)), "B");
  ASSERT_TRUE(SetItemText(dlg, 1054, L"Bee"));
  ASSERT_TRUE(Press(dlg, 1014));
  EXPECT_EQ(Timers(), (std::vector<std::wstring>{L"A", L"Bee", L"C"}));
}

TEST_F(ControlWindow, DeleteTimerRemovesTheCurrentItemAndTheLastDisablesDeleteAndSave) {
  for (const wchar_t* name : {L"A", L"B", L"C"}) ASSERT_TRUE(AddTimer(name));
  EXPECT_FALSE(Enabled(L"Delete Timer"));
  ASSERT_TRUE(SelectTimer(1));
  EXPECT_TRUE(Enabled(L"Delete Timer"));
  ASSERT_TRUE(Click(L"Delete Timer") && Responds(wnd_));
  EXPECT_EQ(Timers(), (std::vector<std::wstring>{L"A", L"C"}));
  for (int left = 1; left >= 0; --left) {
    ASSERT_TRUE(SelectTimer(0));
    ASSERT_TRUE(Click(L"Delete Timer") && Responds(wnd_));
    EXPECT_EQ(Timers().size(), static_cast<size_t>(left));
  }
  EXPECT_FALSE(Enabled(L"Delete Timer"));
  EXPECT_FALSE(Enabled(L"Save Timers"));
  ExpectNoBox();
}

TEST_F(ControlWindow, ThirtySecondTimerIsRefusedAndTheListStaysAtThirtyOne) {
  for (int i = 1; i <= 31; ++i) ASSERT_TRUE(AddTimer(L"T" + std::to_wstring(i))) << i;
  ASSERT_EQ(Timers().size(), 31u);
  ASSERT_TRUE(Click(L"Add Timer"));
  // Refused when the dialog's Add is pressed, or before the dialog opens.
  HWND dlg = nullptr;
  WaitUntil([&] {
    return (dlg = WaitWindow(app_.pid(), kDialog, L"Add Timer", 0)) != nullptr ||
           MessageBoxShown(app_.pid());
  });
  if (dlg) {
    ASSERT_TRUE(PostClick(dlg, 1014));
  }
  ExpectBox(L"Error", L"A schedule holds at most 31 timers.");
  EXPECT_EQ(Timers().size(), 31u);
  EXPECT_TRUE(Enabled(L"Save Timers"));
}

struct TimerToSave {
  const wchar_t* name;
  SYSTEMTIME start, stop;  // local time
};

std::wstring CliTime(const SYSTEMTIME& t) {
  wchar_t buf[32];
  swprintf(buf, 32, L"%04d-%02d-%02dT%02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour,
           t.wMinute, t.wSecond);
  return buf;
}

TEST_F(ControlWindow, SaveTimersWritesTheFileThatZt615TimersNewWrites) {
  const TimerToSave kThreeTimers[] = {
      {L"Dawn", {2026, 6, 0, 1, 5, 0, 0, 0}, {2026, 6, 0, 1, 7, 30, 0, 0}},
      {L"Winter noon", {2026, 12, 0, 21, 11, 59, 30, 0}, {2026, 12, 0, 21, 12, 0, 1, 0}},
      {L"A name of thirty characters!!!", {2030, 1, 0, 2, 3, 4, 5, 0}, {2030, 1, 0, 2, 3, 4, 6, 0}},
  };
  std::wstring cli = L"timers new " + Quoted(OutFile("CLI.DAT"));
  for (const TimerToSave& t : kThreeTimers) {
    ASSERT_TRUE(AddTimer(t.name, &t.start, &t.stop)) << Narrow(t.name);
    cli += L" --timer " +
           Quoted(std::wstring(t.name) + L"," + CliTime(t.start) + L"," + CliTime(t.stop));
  }
  ASSERT_TRUE(Click(L"Save Timers"));
  HWND fd = WaitFileDialog(app_.pid());
  ASSERT_NE(fd, nullptr) << "expected a save chooser; found " << Describe(TopWindows(app_.pid()));
  EXPECT_EQ(Narrow(FileDialogName(fd)), "TIMERS.DAT");
  EXPECT_EQ(Narrow(FileDialogFirstType(fd)).rfind("DAT Files", 0), 0u);
  const std::wstring gui = OutFile("TIMERS.DAT");
  ASSERT_TRUE(FileDialogChoose(fd, gui));
  ExpectNoBox();
  ASSERT_TRUE(WaitUntil([&] { return FileSize(gui) == 4096; }, 5000))
      << "TIMERS.DAT has " << FileSize(gui) << " bytes, not 4096";
  ASSERT_EQ(RunCli(cli), 0) << Narrow(cli);
  EXPECT_EQ(Difference(gui, OutFile("CLI.DAT")), "");
}

struct UnreadableNumber {
  const char* name;
  const wchar_t* dialog;  // its button and title
  int edit;
  const wchar_t* text;
  TimerFormError error;
};
const UnreadableNumber kUnreadableNumbers[] = {
    {"Default Timer, empty interval", L"Default Timer", 1052, L"", TimerFormError::kInterval},
    {"Default Timer, TVG slope 'steep'", L"Default Timer", 1019, L"steep",
     TimerFormError::kTvgSlope},
    {"Default Timer, sound speed '15OO'", L"Default Timer", 1053, L"15OO",
     TimerFormError::kSoundSpeed},
    {"Add Timer, interval beyond 32 bits", L"Add Timer", 1052, L"9999999999",
     TimerFormError::kInterval},
    {"Add Timer, TVG slope empty", L"Add Timer", 1019, L"", TimerFormError::kTvgSlope},
    {"Add Timer, sound speed 'fast'", L"Add Timer", 1053, L"fast", TimerFormError::kSoundSpeed},
};

TEST_F(ControlWindow, TimerDialogsRefuseNumbersTheyCannotReadAndStayOpen) {
  for (const UnreadableNumber& c : kUnreadableNumbers) {
    SCOPED_TRACE(c.name);
    HWND dlg = Open(c.dialog, c.dialog);
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(SetItemText(dlg, c.edit, c.text));
    ASSERT_TRUE(PostClick(dlg, 1014));
    ExpectBox(L"Error", W(TimerFormErrorText(c.error)));
    EXPECT_TRUE(IsWindowVisible(dlg)) << "the refused dialog closed";
    EXPECT_TRUE(Press(dlg, 1015));
  }
  EXPECT_TRUE(Timers().empty()) << "a refused Add listed a timer";
}

// --- Logged data ("Show Data")

TEST_F(ControlWindow, ShowDataOpensALoggedFileAndEnablesExport) {
  ASSERT_TRUE(ShowData(DataFile("REC10.BIN")));
  ExpectNoBox();
  EXPECT_TRUE(Enabled(L"Export Data"));
}

TEST_F(ControlWithData, FileNamedOnTheCommandLineIsShownAtStart) {
  ExpectNoBox();
  EXPECT_TRUE(Enabled(L"Export Data"));
}

struct RefusedFile {
  const char* file;
  const char* caption;
  std::string reason;  // a part of the message
};

TEST_F(ControlWindow, ShowDataRefusesWhatIsNotALoggedFileAndKeepsTheFileShownBefore) {
  const RefusedFile kRefusedFiles[] = {
      {"EMPTY.BIN", "Error", "128"},
      {"SHORT.BIN", "Error", "128"},
      {"BADRANGE.BIN", "Error", "range"},
      {"MISSING.BIN", "GetLastError", SystemText(ERROR_FILE_NOT_FOUND)},
  };
  for (bool loaded : {false, true}) {
    if (loaded) {
      ASSERT_TRUE(ShowData(DataFile("REC10.BIN")));
    }
    for (const RefusedFile& c : kRefusedFiles) {
      SCOPED_TRACE(std::string(c.file) + (loaded ? " after a good file" : " at start"));
      ASSERT_TRUE(ShowData(DataFile(c.file)));
      MessageBoxSeen box = TakeBox(std::string("'") + c.caption + "' naming the reason");
      EXPECT_EQ(Narrow(box.caption), c.caption);
      EXPECT_NE(Narrow(box.text).find(c.reason), std::string::npos)
          << "'" << Narrow(box.text) << "' does not name the reason '" << c.reason << "'";
      ExpectNoBox();
      EXPECT_EQ(Enabled(L"Export Data"), loaded);
    }
  }
  // The file shown before the refusals is still the one the export reads.
  HWND dlg = Open(L"Export Data", L"Export file");
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(Narrow(ItemText(dlg, 1053)), "1487.50") << "REC10.BIN's sound speed";
  EXPECT_TRUE(PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0) && Gone(dlg));
}

// --- Export file

TEST_F(ControlWithData, ExportDialogStartsWithTheFormatsAndTheFileHeadersValues) {
  HWND dlg = Open(L"Export Data", L"Export file");
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(ListItems(GetDlgItem(dlg, 1002)),
            (std::vector<std::wstring>{L"Echosounder mode + NMEA", L"NMEA", L"KM250 Full"}));
  EXPECT_EQ(ListSelection(GetDlgItem(dlg, 1002)), 0);
  // REC10.BIN: threshold 20 %, deadzone 0.5 m, sound speed 1487.5 m/s (the runner's recording).
  EXPECT_EQ(Narrow(SelectedItem(dlg, 1005)), "20");
  EXPECT_EQ(Narrow(SelectedItem(dlg, 1030)), "0.5");
  EXPECT_EQ(Narrow(SelectedItem(dlg, 1006)), "80");
  EXPECT_EQ(Narrow(ItemText(dlg, 1053)), "1487.50");
  EXPECT_EQ(SendMessageW(GetDlgItem(dlg, 1064), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_TRUE(PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0) && Gone(dlg));
}

struct ExportCase {
  const char* name;
  const wchar_t* format;
  bool override_parameters;
  const wchar_t *threshold, *deadzone, *amplitude, *sound_speed;  // null: as the dialog opens
  const wchar_t* cli;  // zt615 export options for the same output
};
const ExportCase kExportsLikeTheCommandLine[] = {
    {"text", L"Echosounder mode + NMEA", false, nullptr, nullptr, nullptr, nullptr,
     L"--format text"},
    {"nmea", L"NMEA", false, nullptr, nullptr, nullptr, nullptr, L"--format nmea"},
    {"csv", L"KM250 Full", false, nullptr, nullptr, nullptr, nullptr, L"--format csv"},
    {"text with overrides", L"Echosounder mode + NMEA", true, L"40", L"1", L"60", L"1450.25",
     L"--format text --threshold 40 --deadzone 1 --amplitude-over 60 --sound-speed 1450.25"},
    {"nmea with overrides", L"NMEA", true, L"5", L"0.15", L"20", L"1520",
     L"--format nmea --threshold 5 --deadzone 0.15 --amplitude-over 20 --sound-speed 1520"},
    {"csv with overrides", L"KM250 Full", true, L"70", L"10", L"5", L"1600.5",
     L"--format csv --threshold 70 --deadzone 10 --amplitude-over 5 --sound-speed 1600.5"},
    {"csv, parameters changed but not ticked", L"KM250 Full", false, L"70", L"10", L"5", L"900",
     L"--format csv"},
};

TEST_F(ControlWithData, ExportWritesWhatZt615ExportWritesInEveryFormat) {
  int n = 0;
  for (const ExportCase& c : kExportsLikeTheCommandLine) {
    SCOPED_TRACE(c.name);
    const std::wstring gui = OutFile("GUI" + std::to_string(++n) + ".LOG");
    const std::wstring cli = OutFile("CLI" + std::to_string(n) + ".LOG");
    HWND dlg = Open(L"Export Data", L"Export file");
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(SelectItem(dlg, 1002, c.format));
    if (c.threshold) {
      ASSERT_TRUE(SelectItem(dlg, 1005, c.threshold));
    }
    if (c.deadzone) {
      ASSERT_TRUE(SelectItem(dlg, 1030, c.deadzone));
    }
    if (c.amplitude) {
      ASSERT_TRUE(SelectItem(dlg, 1006, c.amplitude));
    }
    if (c.sound_speed) {
      ASSERT_TRUE(SetItemText(dlg, 1053, c.sound_speed));
    }
    ASSERT_TRUE(SetCheck(dlg, 1064, c.override_parameters));
    ASSERT_TRUE(StartExport(dlg, gui));
    EXPECT_TRUE(Gone(dlg, 120000)) << "the dialog did not close after its export";
    ExpectNoBox();
    ASSERT_TRUE(WaitUntil([&] { return Exists(gui); }, 120000)) << "no " << Narrow(gui);
    ASSERT_EQ(RunCli(L"export --quiet " + Quoted(DataFile("REC10.BIN")) + L" " + Quoted(cli) +
                     L" " + c.cli),
              0);
    EXPECT_EQ(Difference(gui, cli), "");
  }
}

TEST_F(ControlWithBigData, CancelClosesTheDialogAtOnceAndTheExportStillCompletesTheFile) {
  const std::wstring gui = OutFile("CANCELLED.LOG"), cli = OutFile("CANCELLED_CLI.LOG");
  HWND dlg = Open(L"Export Data", L"Export file");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(SelectItem(dlg, 1002, L"KM250 Full"));
  ASSERT_TRUE(StartExport(dlg, gui));
  ASSERT_TRUE(PostClick(dlg, IDCANCEL));
  EXPECT_TRUE(Gone(dlg, 5000)) << "Cancel did not close the dialog";
  ASSERT_FALSE(Exists(gui)) << "the export had ended before Cancel: BIG.BIN is too small to "
                               "cancel an export mid-way on this machine";
  EXPECT_TRUE(WaitUntil([&] { return Exists(gui); }, 300000)) << "the export never completed";
  ASSERT_EQ(RunCli(L"export --quiet --format csv " + Quoted(DataFile("BIG.BIN")) + L" " +
                   Quoted(cli)),
            0);
  EXPECT_EQ(Difference(gui, cli), "");
  ExpectNoBox();
}

TEST_F(ControlWithBigData, SecondExportWhileOneIsStillWritingIsRefused) {
  const std::wstring first = OutFile("FIRST.LOG"), second = OutFile("SECOND.LOG");
  HWND dlg = Open(L"Export Data", L"Export file");
  ASSERT_NE(dlg, nullptr);
  // The slowest format: it is still writing when the second export is asked for.
  ASSERT_TRUE(SelectItem(dlg, 1002, L"Echosounder mode + NMEA"));
  ASSERT_TRUE(StartExport(dlg, first));
  ASSERT_TRUE(PostClick(dlg, IDCANCEL) && Gone(dlg, 5000));

  HWND again = Open(L"Export Data", L"Export file");
  ASSERT_NE(again, nullptr);
  ASSERT_TRUE(PostClick(again, IDOK));
  // Refused at OK, or once the output is chosen.
  HWND fd = nullptr;
  WaitUntil([&] {
    return MessageBoxShown(app_.pid()) || (fd = WaitFileDialog(app_.pid(), 0)) != nullptr;
  });
  if (fd) {
    ASSERT_TRUE(FileDialogChoose(fd, second));
  }
  const bool first_done = Exists(first);
  MessageBoxSeen box = TakeBox("'Error': 'An export is still being written...'");
  EXPECT_EQ(Narrow(box.caption), "Error");
  EXPECT_EQ(Narrow(box.text).rfind("An export is still being written", 0), 0u)
      << Narrow(box.text) << (first_done ? " (the first export had already ended)" : "");
  ExpectNoBox();
  EXPECT_FALSE(Exists(second)) << "the second export ran";
  if (IsWindowVisible(again)) PostMessageW(again, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(ControlWindow, ExportOntoItsOwnInputIsRefusedAndTheInputStaysAsItWas) {
  const std::wstring input = OutFile("INPUT.BIN");
  ASSERT_TRUE(CopyFileW(DataFile("REC10.BIN").c_str(), input.c_str(), FALSE));
  const std::string before = ReadAll(input);
  ASSERT_TRUE(ShowData(input));
  HWND dlg = Open(L"Export Data", L"Export file");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(StartExport(dlg, input));
  MessageBoxSeen box = TakeBox("'Error' saying the output is the input file");
  EXPECT_EQ(Narrow(box.caption), "Error");
  const std::string tail = ": is the input file; choose another output";
  const std::string text = Narrow(box.text);
  EXPECT_TRUE(text.size() >= tail.size() &&
              text.compare(text.size() - tail.size(), tail.size(), tail) == 0)
      << text;
  ExpectNoBox();
  if (IsWindowVisible(dlg)) PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(Responds(wnd_));
  EXPECT_TRUE(ReadAll(input) == before) << "the input file changed";
}

TEST_F(ControlWithData, ExportWithASoundSpeedThatIsNotPositiveIsRefused) {
  int n = 0;
  for (const wchar_t* speed : {L"0", L"-1500", L"fast", L""}) {
    SCOPED_TRACE("sound speed '" + Narrow(speed) + "'");
    const std::wstring out = OutFile("BADSPEED" + std::to_string(++n) + ".LOG");
    HWND dlg = Open(L"Export Data", L"Export file");
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(SetCheck(dlg, 1064, true));
    ASSERT_TRUE(SetItemText(dlg, 1053, speed));
    ASSERT_TRUE(PostClick(dlg, IDOK));
    // Refused at OK, or once the output is chosen.
    HWND fd = nullptr;
    WaitUntil([&] {
      return MessageBoxShown(app_.pid()) || (fd = WaitFileDialog(app_.pid(), 0)) != nullptr;
    });
    if (fd) {
      ASSERT_TRUE(FileDialogChoose(fd, out));
    }
    ExpectBox(L"Error", L"Sound speed must be a positive number of metres per second.");
    if (IsWindowVisible(dlg)) {
      ASSERT_TRUE(PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0) && Gone(dlg));
    }
    Sleep(300);  // an export that had started would have created its file
    EXPECT_FALSE(Exists(out)) << "an export started";
  }
}

// --- Pictures for review: scripts/screenshots.sh runs these with the simulator on COM3.

std::wstring ShotPath(const char* name) {
  return WindowsPath(Env("ZT_SCREENSHOT_DIR")) + L"\\" + W(name);
}

struct Screen {
  const char* bmp;
  const wchar_t* button;  // null: the menu command
  int menu_command;
  const wchar_t* title;
  int close_id;
};
const Screen kControlScreens[] = {
    {"control_device_info.bmp", L"Connect", 0, L"Device info", IDOK},
    {"control_time_sync.bmp", L"Sync Time", 0, L"Time synchronize", 1014},
    {"control_upload_settings.bmp", L"Upload Settings", 0, L"Upload settings", IDCANCEL},
    {"control_default_timer.bmp", L"Default Timer", 0, L"Default Timer", 1015},
    {"control_add_timer.bmp", L"Add Timer", 0, L"Add Timer", 1015},
    {"control_export_file.bmp", L"Export Data", 0, L"Export file", IDCANCEL},
    {"control_about.bmp", nullptr, 104, L"About", IDOK},
    {"control_viewer_settings.bmp", nullptr, 32774, L"Viewer settings", IDCANCEL},
};

using ControlScreens = ControlWithData;

TEST_F(ControlScreens, DISABLED_MainWindowAndEveryDialog) {
  ASSERT_FALSE(Env("ZT_SCREENSHOT_DIR").empty()) << "ZT_SCREENSHOT_DIR is not set";
  ASSERT_TRUE(SetWindowPos(wnd_, nullptr, 0, 0, 1100, 760, SWP_NOZORDER));
  for (const wchar_t* name : {L"Dawn", L"Dusk"}) ASSERT_TRUE(AddTimer(name));
  ASSERT_TRUE(SelectPort(Need("ZT_CONTROL_GOOD_PORT")));
  ASSERT_TRUE(Responds(wnd_));
  ASSERT_TRUE(SaveScreenshot(wnd_, ShotPath("control_main.bmp")));
  for (const Screen& s : kControlScreens) {
    SCOPED_TRACE(s.bmp);
    ASSERT_TRUE(s.button ? Click(s.button) : PostMenuCommand(wnd_, s.menu_command));
    HWND dlg = Dialog(s.title);
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(SaveScreenshot(dlg, ShotPath(s.bmp)));
    EXPECT_TRUE(PostMessageW(dlg, WM_COMMAND, s.close_id, 0) && Gone(dlg));
  }
}

// For the README's demo: main_window.bmp and device_info.bmp of a running program (the one
// the demo started, else one started here on ZT_DEMO_FILE), with the logger on COM3
// (ZT_CONTROL_GOOD_PORT); then the program is closed with File, Exit.
TEST(ControlDemo, DISABLED_Screens) {
  ASSERT_FALSE(Env("ZT_SCREENSHOT_DIR").empty()) << "ZT_SCREENSHOT_DIR is not set";
  HWND wnd = nullptr;
  for (HWND h : TopWindows(0))
    if (ClassOf(h) == kClass) wnd = h;
  Program started;
  if (!wnd) {
    ASSERT_FALSE(Env("ZT_DEMO_FILE").empty()) << "no program runs and ZT_DEMO_FILE is not set";
    ASSERT_TRUE(started.Start(WindowsPath(ZT_CONTROL_EXE),
                              Quoted(WindowsPath(Env("ZT_DEMO_FILE")))));
    wnd = WaitWindow(started.pid(), kClass, kTitle);
    ASSERT_NE(wnd, nullptr) << Describe(TopWindows(started.pid()));
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  SetWindowPos(wnd, nullptr, 0, 0, 1100, 760, SWP_NOZORDER);
  ASSERT_TRUE(Responds(wnd));

  const std::string good = Env("ZT_CONTROL_GOOD_PORT");
  const std::wstring port = W(good.empty() ? "COM3" : good);
  HWND combo = FindChild(wnd, L"ComboBox");
  const std::vector<std::wstring> ports = ListItems(combo);
  const auto at = std::find(ports.begin(), ports.end(), port);
  ASSERT_NE(at, ports.end()) << Narrow(port) << " is not listed: " << Join(ports);
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(at - ports.begin()), 0);
  PostMessageW(wnd, WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  ASSERT_TRUE(Responds(wnd));
  EXPECT_TRUE(SaveScreenshot(wnd, ShotPath("main_window.bmp")));

  ASSERT_TRUE(PostClickWindow(FindChild(wnd, L"Button", L"Connect")));
  HWND info = WaitWindow(pid, kDialog, L"Device info");
  ASSERT_NE(info, nullptr) << Describe(TopWindows(pid));
  EXPECT_TRUE(SaveScreenshot(info, ShotPath("device_info.bmp")));
  PostClick(info, IDOK);
  WaitUntil([&] { return !IsWindow(info); });

  ASSERT_TRUE(PostMenuCommand(wnd, 105));
  EXPECT_TRUE(process && WaitForSingleObject(process, kWaitMs) == WAIT_OBJECT_0)
      << "the program did not end after File, Exit";
  if (process) CloseHandle(process);
}

}  // namespace
}  // namespace zt::gui
