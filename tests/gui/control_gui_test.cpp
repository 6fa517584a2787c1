// zt615_control driven as a user would: the main window, the device dialogs against
// simulated loggers (with what the logger received, from its log), the timer list and its
// file, Show Data, and the export dialog against `zt615 export`.
// tests/gui/control_gui_runner.py starts the simulators and runs this program under Wine; it
// names the ports, the simulators' logs and the test files in ZT_CONTROL_* variables.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "tests/gui/control_fixture.h"
#include "tests/gui/control_window.h"
#include "tests/gui/gui_driver.h"
#include "timers/timer_values.h"

namespace zt::gui {
namespace {

using ::testing::PrintToString;
using Strings = std::vector<std::wstring>;
int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

// "Tue Dec  8 21:32:22 2026": the device clock line's form of a time (TZ=UTC: local is UTC).
std::string ClockText(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  char buf[64] = {};
  std::strftime(buf, sizeof buf, "%a %b %d %H:%M:%S %Y", std::gmtime(&t));
  if (buf[8] == '0') buf[8] = ' ';
  return buf;
}

TEST_F(ControlWindow, StartsDisconnectedWithOnlyDeleteSaveAndExportDisabled) {
  for (auto [text, enabled, group_box] :
       {std::tuple{L"Device", true, true}, {L"Connect", true, false}, {L"Sync Time", true, false},
        {L"Upload Settings", true, false}, {L"Settings", true, true},
        {L"Default Timer", true, false}, {L"Add Timer", true, false},
        {L"Delete Timer", false, false}, {L"Save Timers", false, false},
        {L"Logged Data", true, true}, {L"Show Data", true, false},
        {L"Export Data", false, false}}) {
    SCOPED_TRACE(Narrow(text));
    HWND h = Button(text);
    ASSERT_NE(h, nullptr) << "no button '" << Narrow(text) << "'";
    EXPECT_EQ(IsWindowEnabled(h) != 0, enabled);
    EXPECT_EQ((GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX, group_box);
  }
  HWND bar = FindChild(wnd_, L"msctls_statusbar32");
  ASSERT_NE(bar, nullptr);
  RemoteMemory parts(bar, 16 * sizeof(int));
  EXPECT_EQ(SendTo(bar, SB_GETPARTS, 16, parts.lparam()), 3) << "status bar parts";
  EXPECT_EQ(Status(0) + "|" + Status(1) + "|" + Status(2), "Disconnected||");
  ASSERT_NE(TimerList(), nullptr);
  EXPECT_TRUE(Timers().empty());
  EXPECT_NE(FindChild(wnd_, L"WEchoClass"), nullptr) << "no echogram window";
}

TEST_F(ControlWindow, ListsThePortsSortedByNumberWithTheFirstSelected) {
  const Strings items = ListItems(Ports());
  std::vector<unsigned long> numbers;
  for (const std::wstring& p : items) numbers.push_back(std::wcstoul(&p[3], nullptr, 10));
  EXPECT_TRUE(std::adjacent_find(numbers.begin(), numbers.end(),
                                 std::greater_equal<unsigned long>()) == numbers.end())
      << "not in ascending order of port number: " << PrintToString(items);
  const std::string mapped = Need("ZT_CONTROL_PORTS") + ",";
  for (size_t at = 0, end; (end = mapped.find(',', at)) != std::string::npos; at = end + 1) {
    const std::wstring port = Wide(mapped.substr(at, end - at));
    EXPECT_NE(std::find(items.begin(), items.end(), port), items.end())
        << Narrow(port) << " is not listed: " << PrintToString(items);
  }
  EXPECT_EQ(ListSelection(Ports()), 0);
}

TEST_F(ControlWindow, KeepsItsMinimumSizeAndTheEchogramRightOfTheButtons) {
  HWND echo = FindChild(wnd_, L"WEchoClass");
  ASSERT_NE(echo, nullptr);
  for (auto [asked_w, asked_h, w, h] : {std::tuple{300, 300, 500, 700}, {900, 760, 900, 760}}) {
    SCOPED_TRACE("asked for " + std::to_string(asked_w) + " x " + std::to_string(asked_h));
    ASSERT_TRUE(SetWindowPos(wnd_, nullptr, 10, 10, asked_w, asked_h,
                             SWP_NOZORDER | SWP_NOACTIVATE));
    ASSERT_TRUE(Responds(wnd_));
    RECT r, c;
    GetWindowRect(wnd_, &r);
    GetClientRect(wnd_, &c);
    const RECT e = ChildRect(wnd_, echo);
    // The window's width and height; the echogram's left, top, width and height.
    EXPECT_EQ((std::vector<long>{r.right - r.left, r.bottom - r.top, e.left, e.top,
                                 e.right - e.left, e.bottom - e.top}),
              (std::vector<long>{w, h, 170, 0, c.right - 171, c.bottom - 24}));
  }
}

TEST_F(ControlWindow, AboutOpensFromTheHelpMenuAndFromAltQuestionMarkAndAltSlash) {
  const std::pair<const char*, std::function<bool(HWND)>> kWays[] = {
      {"Help menu: Alt+H, A", [](HWND w) { return SendAltKey(w, L'h') && SendKeys(L"a"); }},
      {"Alt+?", [](HWND w) { return SendAltKey(w, L'?'); }},
      {"Alt+/", [](HWND w) { return SendAltKey(w, L'/'); }},
  };
  for (const auto& [way, press] : kWays) {
    SCOPED_TRACE(way);
    ASSERT_TRUE(press(wnd_)) << "the keys were not sent";
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
  EXPECT_TRUE(Command(dlg, IDCANCEL));
}

TEST_F(ControlWindow, ExitInTheFileMenuEndsTheProgramWithZero) {
  ASSERT_TRUE(SendAltKey(wnd_, L'f') && SendKeys(L"x"));
  DWORD code = 1;
  ASSERT_TRUE(app_.WaitExit(kWaitMs, &code)) << "still running after File, Exit";
  EXPECT_EQ(code, 0u);
}

// COM3's logger runs with the values of GOOD_ARGS in control_gui_runner.py, COM4's with the
// simulator's defaults and no card. The clock line comes from the logger's own reply.
TEST_F(ControlWindow, ConnectShowsTheDeviceInfoUntilOkNotEscapeAndStaysDisconnected) {
  using Lines = std::vector<std::string>;  // without the clock line
  for (auto [logger, lines] :
       {std::pair{"GOOD", Lines{"ZT615 Echosounder", "Device ID: 004242", "Temperature: 7.5\u00b0C",
                                "Tilt X: 1.5\u00b0 Tilt Y: -2.3\u00b0", "Battery: 12.6 Volts",
                                "SD card free space: 4294967296 Bytes"}},
        {"NOCARD", {"ZT615 Echosounder", "Device ID: 123456", "Temperature: 12.3\u00b0C",
                    "Tilt X: 1.5\u00b0 Tilt Y: -0.8\u00b0", "Battery: 11.9 Volts",
                    "SD card: Not present"}}}) {
    SCOPED_TRACE(logger);
    SimLog log(logger);
    HWND dlg = Connect(logger, L"Connect", L"Device info");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(Status(0), "Disconnected") << "while the dialog is open";
    Lines frames, shown;
    log.Received({100, 101, 102, 103, 104, 109}, &frames);
    if (!frames.empty())
      lines.insert(lines.begin() + 2,
                   "Time (Local): " + ClockText(Number(frames[0], "words")) + "\n");
    for (int id = 1059; id <= 1065; ++id) shown.push_back(Narrow(ItemText(dlg, id)));
    EXPECT_EQ(shown, lines);
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);  // what Escape becomes
    ASSERT_TRUE(Responds(dlg));
    EXPECT_TRUE(IsWindowVisible(dlg)) << "Escape closed Device info";
    EXPECT_TRUE(Press(dlg, IDOK));
    EXPECT_EQ(Link(), "Disconnected|");
  }
}

TEST_F(ControlWindow, DeviceButtonRefusedBeforeItsDialogShowsOneMessageAndSendsNoMore) {
  const std::string dead = Port("DEAD");
  // The same open in this process tells which error the system gives.
  HANDLE h = CreateFileW((L"\\\\.\\" + Wide(dead)).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  const std::string system_text = SystemText(GetLastError());
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  ASSERT_EQ(h, INVALID_HANDLE_VALUE) << dead << " opened: its line should be a folder";
  // The logger (NOREPLY does not answer GET_BATTERY), the button, the box's caption and text
  // (null: the system's text for the failed open), the frames the logger gets (DEAD: none).
  for (auto [logger, button, caption, text, codes] :
       {std::tuple{"NOREPLY", L"Connect", "Error", "Unable to get data from the device",
                   std::vector<int>{100, 101, 102, 103}},
        {"NOCARD", L"Upload Settings", "Error", "Insert SD card into device!", {104}},
        {"DEAD", L"Connect", "GetLastError", nullptr, {}},
        {"DEAD", L"Sync Time", "GetLastError", nullptr, {}},
        {"DEAD", L"Upload Settings", "GetLastError", nullptr, {}}}) {
    SCOPED_TRACE(std::string(logger) + ", " + Narrow(button));
    std::optional<SimLog> log;
    if (logger != std::string("DEAD")) log.emplace(logger);
    ASSERT_TRUE(SelectPort(Port(logger)) && Click(button));
    const std::string seen = Box(caption);
    const std::string trimmed = seen.substr(0, seen.find_last_not_of("\r\n ") + 1);
    EXPECT_EQ(text ? seen : trimmed, text ? text : system_text);
    EXPECT_EQ(WaitWindow(app_.pid(), kDialog, L"", 500), nullptr) << "a dialog: " << Windows();
    if (log) log->Received(codes);
    EXPECT_EQ(Status(0), "Disconnected");
  }
}

TEST_F(ControlWindow, SyncTimeShowsBothClocksConnectedThenSyncSendsThePressTimeCancelNothing) {
  for (const bool sync : {false, true}) {
    SCOPED_TRACE(sync ? "Sync" : "Cancel");
    SimLog log("GOOD");
    const int64_t opened = Now();
    HWND dlg = Connect("GOOD", L"Sync Time", L"Time synchronize");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(Link(), "Connected|" + Port("GOOD") + ":115200baud");
    std::vector<std::string> frames;
    ASSERT_TRUE(log.Received({100}, &frames));
    EXPECT_EQ(PickerSeconds(dlg, 1055, 1012), Number(frames[0], "words")) << "device UTC time";
    const int64_t host = PickerSeconds(dlg, 1009, 1010);
    EXPECT_TRUE(host >= opened - 2 && host <= Now() + 2)
        << "host UTC time " << host << ", opened " << opened;
    for (int id : {1009, 1010, 1055, 1012})
      EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, id))) << "picker " << id << " is enabled";
    if (sync) {
      Sleep(3000);  // so that the time of the press differs from the time shown
      const int64_t pressed = Now();
      ASSERT_TRUE(PostClick(dlg, 1000));
      EXPECT_EQ(Box("Sync"), "Time synchronized");
      const int64_t after = Now();
      ASSERT_TRUE(log.Received({100, 0}, &frames));
      const double sent = Number(frames[1], "clock");
      EXPECT_TRUE(sent >= pressed - 2 && sent <= after + 2)
          << "SET_CLOCK carried " << sent << "; Sync was pressed at " << pressed;
      EXPECT_TRUE(WaitGone(dlg));
    } else {
      EXPECT_TRUE(Press(dlg, 1014));
      ExpectNoBox();
      Sleep(500);  // a frame sent by Cancel would have arrived
      EXPECT_TRUE(log.Received({100}));
    }
    EXPECT_EQ(Link(), "Disconnected|");
  }
}

TEST_F(ControlWindow, UploadOfTheDefaultTimerSendsOneFrameWithTheSetValues) {
  HWND def = Open(L"Default Timer", L"Default Timer");
  ASSERT_NE(def, nullptr);
  ASSERT_TRUE(SetItemText(def, 1053, L"1480.5") && SetItemText(def, 1052, L"2"));
  ASSERT_TRUE(SelectItem(def, 1037, L"hours") && Press(def, 1014));
  ExpectNoBox();
  SimLog log("GOOD");
  HWND dlg = Connect("GOOD", L"Upload Settings", L"Upload settings");
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(Status(0), "Connected");
  EXPECT_EQ(CheckState(dlg, 1057), BST_CHECKED) << "Added timers is selected at start";
  ASSERT_TRUE(SetChecked(dlg, 1056, true));
  EXPECT_EQ(CheckState(dlg, 1057), BST_UNCHECKED) << "Added timers stayed selected";
  ASSERT_TRUE(PostClick(dlg, IDOK));
  EXPECT_EQ(Box("Upload"), "Settings uploaded");
  std::vector<std::string> frames;
  ASSERT_TRUE(log.Received({104, 2}, &frames));
  EXPECT_NE(frames[1].find(Field("timer_name", "Default timer")), std::string::npos) << frames[1];
  EXPECT_EQ(static_cast<int64_t>(Number(frames[1], "output_flags")) & 128, 128);
  EXPECT_EQ(Number(frames[1], "sound_speed"), 1480.5);
  EXPECT_EQ(Number(frames[1], "interval_s"), 7200);
  EXPECT_TRUE(WaitGone(dlg));
  EXPECT_EQ(Status(0), "Disconnected");
}

TEST_F(ControlWindow, UploadOfAddedTimersSendsBothPreamblesThenEachTimerInListOrder) {
  for (const wchar_t* name : {L"Dawn", L"Noon", L"Dusk"}) ASSERT_TRUE(AddTimer(name));
  SimLog log("GOOD");
  HWND dlg = Connect("GOOD", L"Upload Settings", L"Upload settings");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(PostClick(dlg, IDOK));
  HWND bar = GetDlgItem(dlg, 1058);
  EXPECT_EQ(Box("Upload",
                [&] {
                  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 5) << "range 0..n+2";
                  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 5) << "one step a frame";
                }),
            "Settings uploaded");
  std::vector<std::string> frames;
  ASSERT_TRUE(log.Received({104, 4, 5, 1, 1, 1}, &frames));
  for (int i = 0; i < 3; ++i) {
    const std::string& f = frames[3 + i];
    EXPECT_EQ(Number(f, "timer_index"), i);
    EXPECT_NE(f.find(Field("timer_name", std::vector{"Dawn", "Noon", "Dusk"}[i])), f.npos) << f;
  }
  // The logger takes one frame at a time: they come 200 ms apart (arrival times, seconds).
  for (size_t i = 2; i < frames.size(); ++i)
    EXPECT_GE(Number(frames[i], "time") - Number(frames[i - 1], "time"), 0.15) << "frame " << i;
}

TEST_F(ControlWindow, UploadOverALineThatHangsUpShowsTheSystemErrorNotSuccess) {
  SimLog log("HANGUP");
  HWND dlg = Connect("HANGUP", L"Upload Settings", L"Upload settings");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(log.Received({104})) << "the logger did not answer the card query";
  ASSERT_TRUE(WaitUntil([&] { return !log.Lines(Field("event", "hangup")).empty(); }))
      << "the logger did not hang up";
  ASSERT_TRUE(PostClick(dlg, IDOK));
  // The list is empty: the question comes first, and Yes sends it.
  MessageBoxSeen question;
  ASSERT_TRUE(WaitMessageBox(app_.pid(), &question));
  ASSERT_TRUE(PostMessageW(question.hwnd, WM_COMMAND, IDYES, 0) && WaitGone(question.hwnd));
  EXPECT_NE(Box("GetLastError"), "") << "no system text";
  // Whatever the dialog does next, it does not report success.
  WaitUntil([&] { return !IsWindowVisible(dlg) || MessageBoxShown(app_.pid()); }, 5000);
  ExpectNoBox();
}

TEST_F(ControlWindow, AddTimerStartsFromNowAndAppendsTheName) {
  HWND dlg = Open(L"Add Timer", L"Add Timer");
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(Narrow(ItemText(dlg, 1054)), "Timer");
  for (auto [date, time] : {std::pair{1010, 1012}, {1009, 1013}})
    EXPECT_LE(std::llabs(PickerSeconds(dlg, date, time) - Now()), 5) << "pickers " << date;
  ASSERT_TRUE(SetItemText(dlg, 1054, L"Dawn") && Press(dlg, 1014));
  ExpectNoBox();
  EXPECT_EQ(Timers(), Strings{L"Dawn"});
  EXPECT_TRUE(Enabled(L"Save Timers") && Enabled(L"Add Timer")) << "Save or Add disabled";
  EXPECT_FALSE(Enabled(L"Delete Timer")) << "no timer is selected yet";
}

TEST_F(ControlWindow, DoubleClickEditsTheTimerInItsPlace) {
  for (const wchar_t* name : {L"A", L"B", L"C"}) ASSERT_TRUE(AddTimer(name));
  ASSERT_TRUE(SelectTimer(1, LBN_DBLCLK));
  HWND dlg = Dialog(L"Add Timer");
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(Narrow(ItemText(dlg, 1054)), "B");
  ASSERT_TRUE(SetItemText(dlg, 1054, L"Bee") && Press(dlg, 1014));
  EXPECT_EQ(Timers(), (Strings{L"A", L"Bee", L"C"}));
}

TEST_F(ControlWindow, DeleteTimerRemovesTheCurrentItemAndTheLastDisablesDeleteAndSave) {
  for (const wchar_t* name : {L"A", L"B", L"C"}) ASSERT_TRUE(AddTimer(name));
  EXPECT_FALSE(Enabled(L"Delete Timer")) << "enabled with no timer selected";
  for (auto [select, left] : {std::pair{1, Strings{L"A", L"C"}}, {0, Strings{L"C"}}, {0, {}}}) {
    ASSERT_TRUE(SelectTimer(select));
    EXPECT_TRUE(Enabled(L"Delete Timer"));
    ASSERT_TRUE(Click(L"Delete Timer") && Responds(wnd_));
    EXPECT_EQ(Timers(), left);
  }
  EXPECT_FALSE(Enabled(L"Delete Timer") || Enabled(L"Save Timers")) << "Delete or Save enabled";
  ExpectNoBox();
}

TEST_F(ControlWindow, ThirtySecondTimerIsRefusedAndTheListStaysAtThirtyOne) {
  for (int i = 1; i <= 31; ++i) ASSERT_TRUE(AddTimer(L"T" + std::to_wstring(i))) << i;
  ASSERT_EQ(Timers().size(), 31u);
  ASSERT_TRUE(Click(L"Add Timer"));
  // Refused when the dialog's Add is pressed, or before the dialog opens.
  HWND dlg = nullptr;
  WaitUntil([&] {
    return (dlg = WaitWindow(app_.pid(), kDialog, L"Add Timer", 0)) || MessageBoxShown(app_.pid());
  });
  ASSERT_TRUE(!dlg || PostClick(dlg, 1014));
  EXPECT_EQ(Box("Error"), "A schedule holds at most 31 timers.");
  EXPECT_EQ(Timers().size(), 31u);
  EXPECT_TRUE(Enabled(L"Save Timers"));
}

TEST_F(ControlWindow, SaveTimersWritesTheFileThatZt615TimersNewWrites) {
  const std::wstring gui = OutFile("TIMERS.DAT"), cli_out = OutFile("CLI.DAT");
  std::wstring cli = L"timers new " + Quoted(cli_out);
  // Name, start, stop (local time).
  for (auto [name, start, stop] :
       {std::tuple{L"Dawn", L"2026-06-01T05:00:00", L"2026-06-01T07:30:00"},
        {L"Winter noon", L"2026-12-21T11:59:30", L"2026-12-21T12:00:01"},
        {L"A name of thirty characters!!!", L"2030-01-02T03:04:05", L"2030-01-02T03:04:06"}}) {
    SYSTEMTIME t[2] = {};
    for (int i : {0, 1})
      swscanf(i ? stop : start, L"%hu-%hu-%huT%hu:%hu:%hu", &t[i].wYear, &t[i].wMonth,
              &t[i].wDay, &t[i].wHour, &t[i].wMinute, &t[i].wSecond);
    ASSERT_TRUE(AddTimer(name, &t[0], &t[1])) << Narrow(name);
    cli += L" --timer " + Quoted(name + (L"," + std::wstring(start)) + L"," + stop);
  }
  ASSERT_TRUE(Click(L"Save Timers"));
  HWND fd = Chooser("DAT Files");
  ASSERT_NE(fd, nullptr);
  EXPECT_EQ(Narrow(FileDialogName(fd)), "TIMERS.DAT");
  ASSERT_TRUE(FileDialogChoose(fd, gui));
  ExpectNoBox();
  ASSERT_TRUE(WaitUntil([&] { return FileSize(gui) == 4096; }, 5000))
      << "TIMERS.DAT has " << FileSize(gui) << " bytes, not 4096";
  ExpectSameAsCli(gui, cli_out, cli);
}

TEST_F(ControlWindow, TimerDialogsRefuseNumbersTheyCannotReadAndStayOpen) {
  // The dialog (its button and title), the edit, the text typed, the error.
  for (auto [dialog, edit, text, error] :
       {std::tuple{L"Default Timer", 1052, L"", TimerFormError::kInterval},
        {L"Default Timer", 1019, L"steep", TimerFormError::kTvgSlope},
        {L"Default Timer", 1053, L"15OO", TimerFormError::kSoundSpeed},
        {L"Add Timer", 1052, L"9999999999", TimerFormError::kInterval},
        {L"Add Timer", 1019, L"", TimerFormError::kTvgSlope},
        {L"Add Timer", 1053, L"fast", TimerFormError::kSoundSpeed}}) {
    SCOPED_TRACE(Narrow(dialog) + ", edit " + std::to_string(edit) + ": '" + Narrow(text) + "'");
    HWND dlg = Open(dialog, dialog);
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(SetItemText(dlg, edit, text) && PostClick(dlg, 1014));
    EXPECT_EQ(Box("Error"), TimerFormErrorText(error));
    EXPECT_TRUE(IsWindowVisible(dlg)) << "the refused dialog closed";
    EXPECT_TRUE(Press(dlg, 1015));
  }
  EXPECT_TRUE(Timers().empty()) << "a refused Add listed a timer";
}

TEST_F(ControlWindow, ShowDataOpensALoggedFileAndRefusesWhatIsNotOneKeepingTheFileShown) {
  for (bool loaded : {false, true}) {
    if (loaded) {
      ASSERT_TRUE(ShowData(DataFile("REC10.BIN")));
      ExpectNoBox();
      EXPECT_TRUE(Enabled(L"Export Data"));
    }
    // The file, the box's caption, a part of its text that names the reason.
    for (auto [file, caption, reason] :
         {std::tuple<const char*, const char*, std::string>{"EMPTY.BIN", "Error", "128"},
          {"SHORT.BIN", "Error", "128"},
          {"BADRANGE.BIN", "Error", "range"},
          {"MISSING.BIN", "GetLastError", SystemText(ERROR_FILE_NOT_FOUND)}}) {
      SCOPED_TRACE(std::string(file) + (loaded ? " after a good file" : " at start"));
      ASSERT_TRUE(ShowData(DataFile(file)));
      const std::string text = Box(caption);
      EXPECT_NE(text.find(reason), std::string::npos)
          << "'" << text << "' does not name the reason '" << reason << "'";
      EXPECT_EQ(Enabled(L"Export Data"), loaded);
    }
  }
  // The file shown before the refusals is still the one the export reads.
  HWND dlg = Open(L"Export Data", kExport);
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(Narrow(ItemText(dlg, 1053)), "1487.50") << "REC10.BIN's sound speed";
  EXPECT_TRUE(Command(dlg, IDCANCEL));
}

TEST_F(ControlWithData, FileOnTheCommandLineIsShownAndExportStartsWithItsHeadersValues) {
  ExpectNoBox();
  HWND dlg = Open(L"Export Data", kExport);
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(ListItems(GetDlgItem(dlg, 1002)),
            (Strings{L"Echosounder mode + NMEA", L"NMEA", L"KM250 Full"}));
  EXPECT_EQ(ListSelection(GetDlgItem(dlg, 1002)), 0);
  // REC10.BIN: threshold 20 %, deadzone 0.5 m, sound speed 1487.5 m/s (the runner's recording).
  EXPECT_EQ((Strings{SelectedText(GetDlgItem(dlg, 1005)), SelectedText(GetDlgItem(dlg, 1030)),
                     SelectedText(GetDlgItem(dlg, 1006)), ItemText(dlg, 1053)}),
            (Strings{L"20", L"0.5", L"80", L"1487.50"}))
      << "threshold, deadzone, amplitude and sound speed";
  EXPECT_EQ(CheckState(dlg, 1064), BST_UNCHECKED) << "the parameters are ticked at start";
  EXPECT_TRUE(Command(dlg, IDCANCEL));
}

TEST_F(ControlWithData, ExportWritesWhatZt615ExportWritesInEveryFormat) {
  const std::wstring kText = L"Echosounder mode + NMEA", kCsv = L"KM250 Full";
  // The format, its name for zt615, whether the parameters are ticked, and the threshold,
  // deadzone, amplitude and sound speed set (none: as the dialog opens).
  const int kLists[] = {1005, 1030, 1006};
  int n = 0;
  for (auto [format, cli_format, ticked, values] :
       {std::tuple{kText, L"text", false, Strings{}},
        {L"NMEA", L"nmea", false, {}},
        {kCsv, L"csv", false, {}},
        {kText, L"text", true, {L"40", L"1", L"60", L"1450.25"}},
        {L"NMEA", L"nmea", true, {L"5", L"0.15", L"20", L"1520"}},
        {kCsv, L"csv", true, {L"70", L"10", L"5", L"1600.5"}},
        {kCsv, L"csv", false, {L"70", L"10", L"5", L"900"}}}) {
    SCOPED_TRACE(Narrow(cli_format) + (ticked ? " ticked " : " not ticked ") +
                 PrintToString(values));
    const std::wstring gui = OutFile("GUI" + std::to_string(++n) + ".LOG");
    const std::wstring cli = OutFile("CLI" + std::to_string(n) + ".LOG");
    HWND dlg = Open(L"Export Data", kExport);
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(SelectItem(dlg, 1002, format));
    for (size_t k = 0; k < values.size(); ++k)
      ASSERT_TRUE(k < 3 ? SelectItem(dlg, kLists[k], values[k])
                        : SetItemText(dlg, 1053, values[k]));
    ASSERT_TRUE(SetChecked(dlg, 1064, ticked));
    ASSERT_TRUE(StartExport(dlg, gui));
    EXPECT_TRUE(WaitGone(dlg, 120000)) << "the dialog did not close after its export";
    ExpectNoBox();
    ASSERT_TRUE(WaitUntil([&] { return Exists(gui); }, 120000)) << "no " << Narrow(gui);
    std::wstring args = L"export --quiet " + Quoted(DataFile("REC10.BIN")) + L" " + Quoted(cli) +
                        L" --format " + cli_format;
    if (ticked)
      args += L" --threshold " + values[0] + L" --deadzone " + values[1] + L" --amplitude-over " +
              values[2] + L" --sound-speed " + values[3];
    ExpectSameAsCli(gui, cli, args);
  }
}

TEST_F(ControlWithBigData, CancelClosesTheDialogAtOnceAndTheExportStillCompletesTheFile) {
  const std::wstring gui = OutFile("CANCELLED.LOG"), cli = OutFile("CANCELLED_CLI.LOG");
  HWND dlg = Open(L"Export Data", kExport);
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(SelectItem(dlg, 1002, L"KM250 Full") && StartExport(dlg, gui));
  ASSERT_TRUE(PostClick(dlg, IDCANCEL));
  EXPECT_TRUE(WaitGone(dlg, 5000)) << "Cancel did not close the dialog";
  ASSERT_FALSE(Exists(gui)) << "the export had ended before Cancel: BIG.BIN is too small to "
                               "cancel an export mid-way on this machine";
  EXPECT_TRUE(WaitUntil([&] { return Exists(gui); }, 300000)) << "the export never completed";
  ExpectSameAsCli(gui, cli, L"export --quiet --format csv " + Quoted(DataFile("BIG.BIN")) + L" " +
                                Quoted(cli));
  ExpectNoBox();
}

TEST_F(ControlWithBigData, SecondExportWhileOneIsStillWritingIsRefused) {
  const std::wstring first = OutFile("FIRST.LOG"), second = OutFile("SECOND.LOG");
  HWND dlg = Open(L"Export Data", kExport);
  ASSERT_NE(dlg, nullptr);
  // The slowest format: it is still writing when the second export is asked for.
  ASSERT_TRUE(SelectItem(dlg, 1002, L"Echosounder mode + NMEA") && StartExport(dlg, first));
  ASSERT_TRUE(PostClick(dlg, IDCANCEL) && WaitGone(dlg, 5000));
  HWND again = Open(L"Export Data", kExport);
  ASSERT_NE(again, nullptr);
  ASSERT_TRUE(StartExport(again, second, /*may_refuse_at_ok=*/true));
  const bool first_done = Exists(first);
  const std::string text = Box("Error");
  EXPECT_EQ(text.rfind("An export is still being written", 0), 0u)
      << text << (first_done ? " (the first export had already ended)" : "");
  EXPECT_FALSE(Exists(second)) << "the second export ran";
  if (IsWindowVisible(again)) PostMessageW(again, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(ControlWithData, ExportIsRefusedOntoItsInputAndWithASoundSpeedThatIsNotPositive) {
  const std::string kBadSpeed = "Sound speed must be a positive number of metres per second.";
  // The sound speed typed with the parameters ticked (null: the output is the input file),
  // and what the message says (onto the input: how it ends).
  int n = 0;
  for (auto [speed, message] :
       {std::pair<const wchar_t*, std::string>{L"0", kBadSpeed}, {L"-1500", kBadSpeed},
        {L"fast", kBadSpeed}, {L"", kBadSpeed},
        {nullptr, ": is the input file; choose another output"}}) {
    SCOPED_TRACE(speed ? "sound speed '" + Narrow(speed) + "'" : "onto the input");
    std::wstring out = OutFile("REFUSED" + std::to_string(++n) + ".LOG");
    if (!speed) {
      out = OutFile("INPUT.BIN");
      ASSERT_TRUE(CopyFileW(DataFile("REC10.BIN").c_str(), out.c_str(), FALSE));
      ASSERT_TRUE(ShowData(out));
    }
    const bool existed = Exists(out);
    const std::string before = ReadAll(out);
    HWND dlg = Open(L"Export Data", kExport);
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(!speed || (SetChecked(dlg, 1064, true) && SetItemText(dlg, 1053, speed)));
    if (speed) {
      ASSERT_TRUE(StartExport(dlg, out, /*may_refuse_at_ok=*/true));
    } else {
      // The input exists: the chooser asks before naming it, and Yes lets the refusal come.
      ASSERT_TRUE(PostClick(dlg, IDOK));
      HWND fd = Chooser("LOG Files");
      ASSERT_NE(fd, nullptr);
      FileDialogChoose(fd, out, 0);
      MessageBoxSeen replace;
      ASSERT_TRUE(WaitMessageBox(app_.pid(), &replace));
      ASSERT_TRUE(PostMessageW(replace.hwnd, WM_COMMAND, IDYES, 0) && WaitGone(fd));
    }
    const std::string text = Box("Error");
    const bool tail = !speed && text.size() > message.size();
    EXPECT_EQ(tail ? text.substr(text.size() - message.size()) : text, message) << text;
    ASSERT_TRUE(!IsWindowVisible(dlg) || Command(dlg, IDCANCEL));
    Sleep(300);  // an export that had started would have created its file
    EXPECT_EQ(Exists(out), existed) << "an export started";
    EXPECT_TRUE(ReadAll(out) == before) << "the output file changed";
  }
}

// --- Pictures for review: scripts/screenshots.sh runs these with the simulator on COM3, and
// scripts/demo.sh ControlDemo.

class ControlScreens : public ControlWithData {
 protected:
  // The main window with `port` selected, then the dialog that each button (or, without one,
  // menu command) opens, as .bmp files in ZT_SCREENSHOT_DIR.
  void Shoot(const char* main_bmp,
             std::vector<std::tuple<const char*, const wchar_t*, int, std::wstring, int>> dialogs,
             const std::string& port) {
    ASSERT_FALSE(Env("ZT_SCREENSHOT_DIR").empty()) << "ZT_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(SetWindowPos(wnd_, nullptr, 0, 0, 1100, 760, SWP_NOZORDER));
    ASSERT_TRUE(SelectPort(port));
    ASSERT_TRUE(SaveScreenshot(wnd_, ShotPath(main_bmp)));
    for (auto [bmp, button, menu_command, title, close_id] : dialogs) {
      SCOPED_TRACE(bmp);
      ASSERT_TRUE(button ? Click(button) : PostMenuCommand(wnd_, menu_command));
      HWND dlg = Dialog(title);
      ASSERT_NE(dlg, nullptr);
      EXPECT_TRUE(SaveScreenshot(dlg, ShotPath(bmp)));
      EXPECT_TRUE(Command(dlg, close_id));
    }
  }
};

TEST_F(ControlScreens, DISABLED_MainWindowAndEveryDialog) {
  for (const wchar_t* name : {L"Dawn", L"Dusk"}) ASSERT_TRUE(AddTimer(name));
  Shoot("control_main.bmp",
        {{"control_device_info.bmp", L"Connect", 0, L"Device info", IDOK},
         {"control_time_sync.bmp", L"Sync Time", 0, L"Time synchronize", 1014},
         {"control_upload_settings.bmp", L"Upload Settings", 0, L"Upload settings", IDCANCEL},
         {"control_default_timer.bmp", L"Default Timer", 0, L"Default Timer", 1015},
         {"control_add_timer.bmp", L"Add Timer", 0, L"Add Timer", 1015},
         {"control_export_file.bmp", L"Export Data", 0, kExport, IDCANCEL},
         {"control_about.bmp", nullptr, 104, L"About", IDOK},
         {"control_viewer_settings.bmp", nullptr, 32774, L"Viewer settings", IDCANCEL}},
        Port("GOOD"));
}

// For the README's demo: the program on ZT_DEMO_FILE with the logger on COM3 (or
// ZT_CONTROL_GOOD_PORT); closed with File, Exit after the pictures.
class ControlDemo : public ControlScreens {
  void SetUp() override {
    ASSERT_FALSE(Env("ZT_DEMO_FILE").empty()) << "ZT_DEMO_FILE is not set";
    Start(Quoted(WindowsPath(Env("ZT_DEMO_FILE"))));
  }
};

TEST_F(ControlDemo, DISABLED_Screens) {
  const std::string good = Env("ZT_CONTROL_GOOD_PORT");
  Shoot("main_window.bmp", {{"device_info.bmp", L"Connect", 0, L"Device info", IDOK}},
        good.empty() ? "COM3" : good);
  ASSERT_TRUE(PostMenuCommand(wnd_, 105));
  EXPECT_TRUE(app_.WaitExit(kWaitMs)) << "the program did not end after File, Exit";
}

}  // namespace
}  // namespace zt::gui
