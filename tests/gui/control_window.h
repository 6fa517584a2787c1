// The main window of zt615_control as the GUI tests drive it: its buttons by their texts,
// the dialogs they open, message boxes, timers, Show Data and the export dialog, and what
// `zt615` writes for the same work. Shared by the control program's GUI test files.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "tests/gui/control_fixture.h"
#include "tests/gui/gui_driver.h"

namespace zt::gui {

inline const std::wstring kExport = L"Export file";

// The port of logger `name` (GOOD, NOCARD, NOREPLY, HANGUP, DEAD): ZT_CONTROL_<name>_PORT.
inline std::string Port(const std::string& name) { return Need(("ZT_CONTROL_" + name + "_PORT").c_str()); }
// Runs `zt615 args`, which writes `cli_out`, and compares that with `gui`, byte for byte.
inline void ExpectSameAsCli(const std::wstring& gui, const std::wstring& cli_out,
                     const std::wstring& args) {
  ASSERT_TRUE(Zt615(args));
  EXPECT_EQ(Difference(gui, cli_out), "") << Narrow(gui) << " against " << Narrow(cli_out);
}

inline bool SelectListItem(HWND combo, const std::wstring& text, HWND notify = nullptr) {
  if (SelectComboText(combo, text, notify)) return true;
  ADD_FAILURE() << "cannot select '" << Narrow(text) << "' in "
                << ::testing::PrintToString(ListItems(combo));
  return false;
}

class ControlWindow : public ControlProgram {
 protected:
  HWND Button(const std::wstring& text) { return FindChild(wnd_, L"Button", text); }
  bool Enabled(const std::wstring& text) { return IsWindowEnabled(Button(text)); }
  HWND Ports() { return FindChild(wnd_, L"ComboBox"); }
  HWND TimerList() { return FindChild(wnd_, L"ListBox"); }
  std::vector<std::wstring> Timers() { return ListItems(TimerList()); }

  // Clicks an enabled main-window button.
  bool Click(const std::wstring& text) {
    HWND b = Button(text);
    if (b && IsWindowEnabled(b)) return PostClickWindow(b);
    ADD_FAILURE() << "expected an enabled button '" << Narrow(text) << "'; "
                  << (b ? "it is disabled" : "there is none");
    return false;
  }
  HWND Open(const std::wstring& button, const std::wstring& title) {
    return Click(button) ? Dialog(title) : nullptr;
  }

  // Takes exactly one message box, which has this caption, and gives its text; `while_shown`
  // runs before the box is closed. The program's "Error" boxes have no icon, the system's
  // "GetLastError" boxes the error icon.
  std::string Box(const std::string& caption, const std::function<void()>& while_shown = {}) {
    MessageBoxSeen box;
    if (!WaitMessageBox(app_.pid(), &box)) {
      ADD_FAILURE() << "expected a message box '" << caption << "'; found " << Windows();
      return "<no message box>";
    }
    if (while_shown) while_shown();
    EXPECT_TRUE(CloseMessageBox(box)) << "the message box did not close";
    EXPECT_EQ(Narrow(box.caption), caption) << "caption of the box '" << Narrow(box.text) << "'";
    if (caption == "Error" || caption == "GetLastError") {
      EXPECT_EQ(box.icon, caption == "GetLastError") << "icon of '" << Narrow(box.text) << "'";
    }
    ExpectNoBox();
    return Narrow(box.text);
  }

  bool SelectPort(const std::string& port) { return SelectListItem(Ports(), Wide(port), wnd_); }
  // Selects logger `name`'s port and presses a device button; the dialog it opens.
  HWND Connect(const std::string& name, const std::wstring& button, const std::wstring& title) {
    return SelectPort(Port(name)) ? Open(button, title) : nullptr;
  }
  std::string Link() { return Status(0) + "|" + Status(1); }  // the status bar's first parts

  // Add Timer, the name and (if given) start and stop, then "Add".
  bool AddTimer(const std::wstring& name, const SYSTEMTIME* start = nullptr,
                const SYSTEMTIME* stop = nullptr) {
    HWND dlg = Open(L"Add Timer", L"Add Timer");
    if (!dlg || !SetItemText(dlg, 1054, name)) return false;
    for (auto [t, date, time] : {std::tuple{start, 1010, 1012}, std::tuple{stop, 1009, 1013}})
      if (t && !(SetPickerTime(GetDlgItem(dlg, date), *t) &&
                 SetPickerTime(GetDlgItem(dlg, time), *t)))
        return false;
    return Press(dlg, 1014) && Responds(wnd_);
  }
  bool SelectTimer(int i, WORD notification = LBN_SELCHANGE) {
    return SelectListBoxItem(TimerList(), i, wnd_, notification);
  }

  // The file chooser the last action opened, whose first file type starts with `type`.
  HWND Chooser(const std::string& type) {
    HWND fd = WaitFileDialog(app_.pid());
    const std::string first = fd ? Narrow(FileDialogFirstType(fd)) : "";
    EXPECT_EQ(first.rfind(type, 0), 0u) << "expected a chooser of " << type << "; found "
                                        << (fd ? "first type '" + first + "'" : Windows());
    return fd;
  }
  // "Show Data" with `path` chosen.
  bool ShowData(const std::wstring& path) {
    HWND fd = Click(L"Show Data") ? Chooser("BIN Files") : nullptr;
    return fd && FileDialogChoose(fd, path) && Responds(wnd_);
  }
  // OK in the Export file dialog, and `out` in its save chooser. With `may_refuse_at_ok` a
  // message box instead of the chooser ends it (true): the caller checks the box.
  bool StartExport(HWND dlg, const std::wstring& out, bool may_refuse_at_ok = false) {
    if (!PostClick(dlg, IDOK)) return false;
    if (may_refuse_at_ok &&
        WaitUntil([&] { return MessageBoxShown(app_.pid()) || WaitFileDialog(app_.pid(), 0); }) &&
        MessageBoxShown(app_.pid()))
      return true;
    // The comma-separated format is saved as CSV, the others as LOG.
    const bool csv = SelectedText(GetDlgItem(dlg, 1002)) == L"KM250 Full";
    HWND fd = Chooser(csv ? "CSV Files" : "LOG Files");
    return fd && FileDialogChoose(fd, out);
  }
  static bool SelectItem(HWND dlg, int id, const std::wstring& text) {
    return SelectListItem(GetDlgItem(dlg, id), text);
  }
};

class ControlWithData : public ControlWindow {
  std::wstring Args() override { return Quoted(DataFile("REC10.BIN")); }
};

// Opens a recording big enough that its export runs for a while.
class ControlWithBigData : public ControlWindow {
  std::wstring Args() override { return Quoted(DataFile("BIG.BIN")); }
};

}  // namespace zt::gui
