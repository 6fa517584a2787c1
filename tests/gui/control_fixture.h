// What the GUI tests of zt615_control share: the runner's variables, the program started
// for each test with its main window, its dialogs and status bar, and runs of zt615.exe.
// tests/gui/control_gui_runner.py names the ports, logs and files in ZT_CONTROL_* variables.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>

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

// zt615_control started for each test (with the arguments Args() gives), and its main window.
class ControlProgram : public ::testing::Test {
 protected:
  virtual std::wstring Args() { return L""; }

  void SetUp() override {
    ASSERT_FALSE(Need("ZT_CONTROL_DATA").empty());
    Start(Args());
  }
  void Start(const std::wstring& args) {
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
  HWND Dialog(const std::wstring& title) {
    HWND d = WaitWindow(app_.pid(), kDialog, title);
    if (!d) ADD_FAILURE() << "expected the dialog '" << Narrow(title) << "'; found " << Windows();
    return d;
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

  Program app_;
  HWND wnd_ = nullptr;
};

}  // namespace zt::gui
