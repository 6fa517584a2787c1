// What the GUI tests of zt615_control share: the runner's variables, the program started
// for each test with its main window, its dialogs and status bar, and runs of zt615.exe.
// tests/gui/control_gui_runner.py names the ports, logs and files in ZT_CONTROL_* variables.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/gui/gui_driver.h"

namespace zt::gui {

inline const std::wstring kClass = L"ZT615_CONTROL", kTitle = L"DEPTHORN ZT615 Control Program";
inline const std::wstring kDialog = L"#32770";

inline std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// A variable the runner sets; its absence fails the test that needs it.
inline std::string Need(const char* name) {
  const std::string v = Env(name);
  if (v.empty())
    ADD_FAILURE() << name << " is not set: run these tests through "
                  << "tests/gui/control_gui_runner.py, which starts the simulated loggers";
  return v;
}

inline std::wstring DataFile(std::string f) {
  return WindowsPath(Need("ZT_CONTROL_DATA") + "/" + f);
}
inline std::wstring OutFile(std::string f) { return WindowsPath(Need("ZT_CONTROL_OUT") + "/" + f); }
inline std::wstring Quoted(const std::wstring& s) { return L"\"" + s + L"\""; }
inline std::wstring ShotPath(const char* name) {
  return WindowsPath(Env("ZT_SCREENSHOT_DIR")) + L"\\" + Wide(name);
}

// Runs `zt615 args` to its end; false (and a failure) unless it ended with 0.
inline bool Zt615(const std::wstring& args) {
  Program cli;
  DWORD code = 1;
  if (!cli.Start(WindowsPath(ZT615_EXE), args) || !cli.WaitExit(300000, &code)) {
    ADD_FAILURE() << "zt615 " << Narrow(args) << " did not run to its end";
    return false;
  }
  EXPECT_EQ(code, 0u) << "zt615 " << Narrow(args);
  return code == 0;
}

// --- What a simulated logger received: its JSON lines, from a mark on.

// The number after "key": in a line (the first such key; of a list, its first), or -1.
inline double Number(const std::string& line, const std::string& key) {
  const size_t at = line.find("\"" + key + "\": ");
  if (at == std::string::npos) return -1;
  const size_t from = at + key.size() + 4;
  return std::strtod(&line[from + (line[from] == '[')], nullptr);
}
inline std::string Field(const std::string& key, const std::string& text) {
  return "\"" + key + "\": \"" + text + "\"";
}

class SimLog {
 public:
  // The log of logger `name` (GOOD, NOCARD, ...: ZT_CONTROL_<name>_LOG).
  explicit SimLog(const std::string& name)
      : path_(WindowsPath(Need(("ZT_CONTROL_" + name + "_LOG").c_str()))),
        mark_(ReadAll(path_).size()) {}
  // Every complete line since the mark that holds `part`.
  std::vector<std::string> Lines(const std::string& part) const {
    const std::string all = ReadAll(path_);
    std::vector<std::string> lines;
    for (size_t at = mark_, end; (end = all.find('\n', at)) != std::string::npos; at = end + 1)
      if (all.substr(at, end - at).find(part) != std::string::npos)
        lines.push_back(all.substr(at, end - at));
    return lines;
  }
  // Waits (bounded) for as many frames (lines with a code) as `codes` names; true when the
  // frames since the mark have exactly these codes.
  bool Received(const std::vector<int>& codes, std::vector<std::string>* frames = nullptr) const {
    std::vector<std::string> f;
    WaitUntil([&] { return (f = Lines("\"code\": ")).size() >= codes.size(); }, 10000);
    std::vector<int> got;
    for (const std::string& line : f) got.push_back(static_cast<int>(Number(line, "code")));
    EXPECT_EQ(got, codes) << "codes of the frames the logger received";
    if (frames) *frames = f;
    return got == codes;
  }

 private:
  std::wstring path_;
  size_t mark_;
};

// zt615_control started for each test (with the arguments Args() gives), and its main window.
class ControlProgram : public ::testing::Test {
 protected:
  virtual std::wstring Args() { return L""; }

  void SetUp() override {
    ASSERT_FALSE(Need("ZT_CONTROL_DATA").empty());
    Start(Args());
  }
  // Each start has a settings folder (APPDATA) of the test's own, so that what one test
  // leaves behind never changes how another starts; appdata_ set first chooses another.
  void Start(const std::wstring& args) {
    if (appdata_.empty()) {
      const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
      appdata_ = OutFile(std::string("appdata-") + test->test_suite_name() + "-" + test->name());
    }
    CreateDirectoryW(appdata_.c_str(), nullptr);
    SetEnvironmentVariableW(L"APPDATA", appdata_.c_str());
    ASSERT_TRUE(app_.Start(WindowsPath(ZT_CONTROL_EXE), args))
        << "could not start " << ZT_CONTROL_EXE << ": error " << GetLastError();
    wnd_ = WaitWindow(app_.pid(), kClass, kTitle);
    ASSERT_NE(wnd_, nullptr) << "expected a window of class '" << Narrow(kClass) << "' titled '"
                             << Narrow(kTitle) << "'; found " << Windows();
  }
  void TearDown() override { app_.Kill(); }

  std::string Windows() { return Describe(TopWindows(app_.pid())); }
  std::string Status(int part) {
    return Narrow(StatusBarText(FindChild(wnd_, L"msctls_statusbar32"), part));
  }
  // The dialog with this title; a device dialog once the exchange it opens with has ended
  // (it runs on a worker: the dialog shows before the logger has answered).
  HWND Dialog(const std::wstring& title) {
    HWND d = WaitWindow(app_.pid(), kDialog, title);
    if (!d) ADD_FAILURE() << "expected the dialog '" << Narrow(title) << "'; found " << Windows();
    if (d && !WaitUntil([&] { return ExchangeEnded(d); }))
      ADD_FAILURE() << "the exchange of '" << Narrow(title) << "' did not end";
    return d;
  }
  // True when a device dialog is filled (Device info), can act (Sync, OK), has gone, or
  // shows a message box; always for other dialogs.
  bool ExchangeEnded(HWND d) {
    if (!IsWindowVisible(d) || MessageBoxShown(app_.pid())) return true;
    const std::wstring title = TextOf(d);
    if (title == L"Device info") return !ItemText(d, 1059).empty();
    if (title == L"Time synchronize") return IsWindowEnabled(GetDlgItem(d, 1000));
    if (title == L"Upload settings") return IsWindowEnabled(GetDlgItem(d, IDOK));
    return true;
  }
  // Clicks a dialog button and waits until the dialog has closed.
  static bool Press(HWND dlg, int id) { return PostClick(dlg, id) && WaitGone(dlg); }
  // Sends command `id` to a dialog (as Escape or a menu does) and waits until it has closed.
  static bool Command(HWND dlg, int id) {
    return PostMessageW(dlg, WM_COMMAND, id, 0) && WaitGone(dlg);
  }
  void ExpectNoBox() {
    ASSERT_TRUE(Responds(wnd_));
    MessageBoxSeen box;
    if (WaitMessageBox(app_.pid(), &box, 0)) {
      ADD_FAILURE() << "expected no message box; found '" << Narrow(box.caption) << "': '"
                    << Narrow(box.text) << "'";
      CloseMessageBox(box);
    }
  }

  // The program's settings file in the test's settings folder.
  std::wstring SettingsFile() const { return appdata_ + L"\\ZT615\\zt615_control.ini"; }

  Program app_;
  HWND wnd_ = nullptr;
  std::wstring appdata_;
};

}  // namespace zt::gui
