// zt615_control used as a user would for a day: choosers that ask before replacing a file,
// leaving while an export is being written, the empty upload, the keyboard, the settings
// kept between runs, Open Timers, Close Data, a silent logger, and 144 dpi.
// Run by tests/gui/control_gui_runner.py like the other tests of the control program.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "tests/gui/control_fixture.h"
#include "tests/gui/control_window.h"
#include "tests/gui/gui_driver.h"

namespace zt::gui {
namespace {

constexpr int kExit = 105, kViewerSettings = 32774, kOpenTimers = 32775, kCloseData = 32776;
const std::wstring kQuestion = L"Export";

// Answers a Yes/No box (the overwrite question, Open Timers, the empty upload).
bool Answer(const MessageBoxSeen& box, int id) {
  return PostMessageW(box.hwnd, WM_COMMAND, id, 0) && WaitGone(box.hwnd);
}


// What a window shows once it has stopped changing (two looks 200 ms apart agree; bounded).
Pixels Settled(HWND wnd) {
  Pixels last = ClientPixels(wnd), now;
  for (int i = 0; i < 25; ++i, last = now) {
    Sleep(200);
    now = ClientPixels(wnd);
    if (now.rgb == last.rgb) break;
  }
  return last;
}

class Everyday : public ControlWindow {
 protected:
  // The real pointer in the desktop's corner, where it cannot hover over the echogram.
  static void AwayFromTheEchogram() {
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
  }
  // Takes a message box and gives its text, answering it with `id`.
  std::string AnswerBox(int id) {
    MessageBoxSeen box;
    if (!WaitMessageBox(app_.pid(), &box)) {
      ADD_FAILURE() << "expected a message box; found " << Windows();
      return "<no message box>";
    }
    EXPECT_TRUE(Answer(box, id));
    return Narrow(box.text);
  }
  // Leaves by Exit, the close box or Alt+F4's command.
  bool Leave(const std::string& how) {
    return how == "Exit" ? PostMenuCommand(wnd_, kExit) : PostClose(wnd_);
  }
  bool Restart(const std::wstring& args = L"") {
    app_.Kill();
    Start(args);
    return wnd_ != nullptr;
  }
};

class EverydayWithData : public Everyday {
 protected:
  std::wstring Args() override { return Quoted(DataFile("REC10.BIN")); }
};
class EverydayWithBigData : public Everyday {
 protected:
  std::wstring Args() override { return Quoted(DataFile("BIG.BIN")); }
};

// ---- never loses work --------------------------------------------------------------------

TEST_F(EverydayWithData, SaveChoosersAddTheExtensionAndAskBeforeReplacing) {
  ASSERT_TRUE(AddTimer(L"Dawn"));
  // What opens the chooser, its first file type, the extension it adds.
  const std::vector<std::tuple<std::wstring, std::string, std::wstring>> cases = {
      {L"timers", "DAT Files", L".DAT"},
      {L"Echosounder mode + NMEA", "LOG Files", L".LOG"},
      {L"KM250 Full", "CSV Files", L".CSV"}};
  int n = 0;
  for (const auto& [what, type, ext] : cases) {
    SCOPED_TRACE(Narrow(what));
    const std::wstring name = OutFile("NAMED" + std::to_string(++n));
    for (int round : {0, 1}) {  // a new file, then the same name again
      HWND dlg = nullptr;
      if (what == L"timers") {
        ASSERT_TRUE(Click(L"Save Timers"));
      } else {
        dlg = Open(L"Export Data", kExport);
        ASSERT_TRUE(dlg && SelectItem(dlg, 1002, what) && PostClick(dlg, IDOK));
      }
      HWND fd = Chooser(type);
      ASSERT_NE(fd, nullptr);
      FileDialogChoose(fd, name, 0);
      if (round == 1) {
        EXPECT_NE(AnswerBox(IDNO).find("exists"), std::string::npos) << "the overwrite question";
        EXPECT_TRUE(IsWindowVisible(fd)) << "No closed the chooser";
        EXPECT_TRUE(FileDialogCancel(fd));
      } else {
        EXPECT_TRUE(WaitGone(fd));
        EXPECT_TRUE(WaitUntil([&] { return Exists(name + ext); }, 120000))
            << Narrow(name + ext) << " was not written";
      }
      if (dlg) {
        if (round == 0) WaitGone(dlg, 120000);
        else EXPECT_TRUE(Command(dlg, IDCANCEL));
      }
      ExpectNoBox();
    }
  }
}

// Exit, the close box and the end of the logon while an export of BIG.BIN is being written.
TEST_F(EverydayWithBigData, LeavingDuringAnExportAsksWaitOrQuitAndLeavesNoTemporaryFile) {
  // How the user leaves; the answer (Wait, Quit and discard).
  int round = 0;
  for (auto [how, discard] : {std::pair{"Exit", true}, {"close box", false},
                              {"logoff", false}, {"logoff", true}}) {
    SCOPED_TRACE(std::string(how) + (discard ? ", Quit and discard" : ", Wait"));
    if (!app_.Running()) {
      ASSERT_TRUE(Restart(Args()));
    }
    const std::string folder = Need("ZT_CONTROL_OUT") + "/leave" + std::to_string(++round);
    CreateDirectoryW(WindowsPath(folder).c_str(), nullptr);
    const std::wstring out = WindowsPath(folder + "/BIG.LOG");
    HWND dlg = Open(L"Export Data", kExport);
    ASSERT_TRUE(dlg && SelectItem(dlg, 1002, L"Echosounder mode + NMEA") && StartExport(dlg, out));
    ASSERT_TRUE(PostClick(dlg, IDCANCEL) && WaitGone(dlg, 5000));
    std::atomic<LRESULT> agreed{-1};
    std::thread logoff;
    if (std::string(how) == "logoff")
      logoff = std::thread([&] { agreed = SendTo(wnd_, WM_QUERYENDSESSION, 0, 0); });
    else
      ASSERT_TRUE(Leave(how));
    HWND q = Dialog(kQuestion);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(Narrow(ItemText(q, 1100)),
              "An export to BIG.LOG is still being written. Wait for it to finish?");
    ASSERT_TRUE(Press(q, discard ? 1102 : 1101));
    if (logoff.joinable()) {
      logoff.join();
      EXPECT_EQ(agreed.load(), discard ? TRUE : FALSE) << "WM_QUERYENDSESSION's answer";
      if (discard) SendTo(wnd_, WM_ENDSESSION, TRUE, 0);
    }
    const bool ends = discard || std::string(how) != "logoff";
    EXPECT_EQ(app_.WaitExit(ends ? 300000 : 2000), ends) << "the program ended or stayed";
    if (!ends) {
      // A cancelled logoff does not end the program; the export then completes.
      SendTo(wnd_, WM_ENDSESSION, FALSE, 0);
      EXPECT_TRUE(Responds(wnd_) && app_.Running()) << "a cancelled logoff ended the program";
      EXPECT_TRUE(WaitUntil([&] { return Exists(out); }, 300000)) << "the export never ended";
    }
    std::vector<std::string> left;
    WIN32_FIND_DATAW f;
    HANDLE h = FindFirstFileW(WindowsPath(folder + "/*").c_str(), &f);
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &f))
      if (f.cFileName[0] != L'.') left.push_back(Narrow(f.cFileName));
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    EXPECT_EQ(left, discard ? std::vector<std::string>{} : std::vector<std::string>{"BIG.LOG"})
        << "files left in the output folder";
  }
}

// ---- keyboard, dialogs ------------------------------------------------------------------

TEST_F(Everyday, TabMovesDownTheColumnShiftTabBackAndEnterOrSpacePress) {
  ASSERT_TRUE(AddTimer(L"Dawn"));
  SetForegroundWindow(wnd_);
  const std::vector<std::wstring> order = {L"Connect", L"Sync Time", L"Upload Settings",
                                           L"Default Timer", L"", L"Add Timer", L"Save Timers",
                                           L"Show Data"};  // L"": the timer list
  std::vector<HWND> expected = {Ports()};
  for (const std::wstring& b : order) expected.push_back(b.empty() ? TimerList() : Button(b));
  expected.push_back(Ports());  // and round again
  // Keys are queued, not delivered: each Tab waits for the focus to move before the next,
  // or a Tab still in flight would carry the focus past its target.
  auto tab_to = [&](HWND target) {
    for (int tabs = 0; FocusOf(wnd_) != target && tabs < 20; ++tabs) {
      const HWND from = FocusOf(wnd_);
      if (!SendKey(VK_TAB)) return false;
      WaitUntil([&] { return FocusOf(wnd_) != from; }, 3000);
    }
    return FocusOf(wnd_) == target;
  };
  ASSERT_TRUE(tab_to(Ports())) << "Tab never reached the port list";
  for (size_t i = 1; i < expected.size(); ++i) {
    ASSERT_TRUE(SendKey(VK_TAB));
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(wnd_) == expected[i]; }, 3000))
        << "Tab " << i << " gave the focus to '" << Narrow(TextOf(FocusOf(wnd_))) << "'";
  }
  ASSERT_TRUE(SendKey(VK_TAB, /*shift=*/true));
  EXPECT_TRUE(WaitUntil([&] { return FocusOf(wnd_) == Button(L"Show Data"); }, 3000))
      << "Shift+Tab went to '" << Narrow(TextOf(FocusOf(wnd_))) << "'";
  // Enter on Default Timer, Space on Add Timer: each opens its dialog.
  for (auto [button, key, title] : {std::tuple{L"Default Timer", VK_RETURN, L"Default Timer"},
                                    {L"Add Timer", VK_SPACE, L"Add Timer"}}) {
    ASSERT_TRUE(tab_to(Button(button))) << "Tab never reached " << Narrow(button);
    ASSERT_TRUE(SendKey(static_cast<WORD>(key)));
    HWND dlg = Dialog(title);
    ASSERT_NE(dlg, nullptr) << Narrow(button);
    EXPECT_TRUE(Command(dlg, 1015));
    SetForegroundWindow(wnd_);
    // The focus comes back to the button that opened the dialog; wait for it to land.
    WaitUntil([&] { return FocusOf(wnd_) == Button(button); }, 3000);
  }
}

// Uploading "Added timers" with an empty list would clear the logger's schedule: No sends
// nothing and keeps the dialog, Yes goes on.
TEST_F(Everyday, AnEmptyListIsUploadedOnlyAfterAYes) {
  SimLog log("GOOD");
  HWND dlg = Connect("GOOD", L"Upload Settings", L"Upload settings");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(log.Received({104})) << "the logger did not answer the card query";
  const size_t before = log.Lines("\"code\": ").size();
  for (auto [answer, sent] : {std::pair{IDNO, false}, {IDYES, true}}) {
    SCOPED_TRACE(answer == IDNO ? "No" : "Yes");
    ASSERT_TRUE(PostClick(dlg, IDOK));
    MessageBoxSeen question;
    ASSERT_TRUE(WaitMessageBox(app_.pid(), &question));
    EXPECT_EQ(Narrow(question.text),
              "The list is empty: uploading it clears the logger's schedule. Continue?");
    ASSERT_TRUE(Answer(question, answer));
    if (!sent) {
      Sleep(1000);  // time for a frame that must not come
      EXPECT_EQ(log.Lines("\"code\": ").size(), before) << "frames sent after No";
      EXPECT_TRUE(IsWindowVisible(dlg)) << "No closed the dialog";
    } else {
      EXPECT_TRUE(WaitUntil([&] { return log.Lines("\"code\": ").size() > before; }, 10000))
          << "nothing sent after Yes";
    }
  }
  WaitUntil([&] { return !IsWindow(dlg) || MessageBoxShown(app_.pid()); }, 15000);
}

TEST_F(Everyday, DeviceInfoClosesByItsCloseBoxAndEveryDialogClosedMidExchangeStopsIt) {
  HWND info = Connect("GOOD", L"Connect", L"Device info");
  ASSERT_NE(info, nullptr);
  EXPECT_TRUE(PostClose(info) && WaitGone(info)) << "the close box did not close Device info";
  EXPECT_EQ(Link(), "Disconnected|");
  // Against a silent logger each dialog waits for its first reply: closed then, it goes at
  // once, with no message and no further frame.
  for (auto [button, title, close] : {std::tuple{L"Connect", L"Device info", WM_CLOSE},
                                      {L"Sync Time", L"Time synchronize", WM_CLOSE},
                                      {L"Upload Settings", L"Upload settings", WM_CLOSE}}) {
    SCOPED_TRACE(Narrow(button));
    SimLog log("SILENT");
    ASSERT_TRUE(SelectPort(Port("SILENT")) && Click(button));
    HWND dlg = WaitWindow(app_.pid(), kDialog, title);
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return !log.Lines("\"code\": ").empty(); }, 5000));
    ASSERT_TRUE(PostMessageW(dlg, close, 0, 0));
    EXPECT_TRUE(WaitGone(dlg, 1500)) << "the dialog did not go within the query's deadline";
    ExpectNoBox();
    Sleep(2500);  // past the deadline the query would have had
    EXPECT_EQ(log.Lines("\"code\": ").size(), 1u) << "frames after the close";
    EXPECT_EQ(Link(), "Disconnected|");
  }
}

// The longest time the main window takes to answer while Connect waits for a silent logger:
// a figure for the record, printed, not asserted.
TEST_F(Everyday, MainWindowAnswersWhileConnectWaitsForASilentLogger) {
  ASSERT_TRUE(SelectPort(Port("SILENT")) && Click(L"Connect"));
  ASSERT_NE(WaitWindow(app_.pid(), kDialog, L"Device info"), nullptr);
  double longest_ms = 0;
  int answers = 0;
  while (!MessageBoxShown(app_.pid()) && answers < 2000) {
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_NE(SendTo(wnd_, WM_NULL, 0, 0), -1) << "the main window did not answer within 5 s";
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - t0;
    longest_ms = std::max(longest_ms, took.count());
    ++answers;
    Sleep(5);
  }
  std::printf("[ FIGURE   ] main window during Connect to a silent logger: %d answers, "
              "longest %.1f ms\n", answers, longest_ms);
  EXPECT_EQ(Box("Error"), "Unable to get data from the device");
}

// The big recording opened with Show Data: the main window answers while the echogram's
// index is built on its own thread, and the first picture is there long before.
TEST_F(Everyday, MainWindowAnswersWhileALargeRecordingIsIndexed) {
  HWND echo = FindChild(wnd_, L"WEchoClass");
  ASSERT_NE(echo, nullptr);
  HWND fd = Click(L"Show Data") ? Chooser("BIN Files") : nullptr;
  ASSERT_TRUE(fd && FileDialogChoose(fd, DataFile("BIG.BIN")));
  const auto t0 = std::chrono::steady_clock::now();
  auto ms_since = [&](std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
  };
  double longest_ms = 0, picture_ms = -1;
  int answers = 0;
  bool indexing = true;
  while (indexing && ms_since(t0) < 300000) {
    const auto t = std::chrono::steady_clock::now();
    ASSERT_NE(SendTo(wnd_, WM_NULL, 0, 0), -1) << "the main window did not answer within 5 s";
    longest_ms = std::max(longest_ms, ms_since(t));
    ++answers;
    if (picture_ms < 0) {
      const Pixels p = ClientPixels(echo);
      if (std::count_if(p.rgb.begin(), p.rgb.end(), [](uint32_t c) { return c != 0; }) > 1000)
        picture_ms = ms_since(t0);
    }
    indexing = Status(1).find("Indexing") != std::string::npos;
    Sleep(5);
  }
  std::printf("[ FIGURE   ] opening %s: first picture seen after %.0f ms, index done after %.0f ms;"
              " main window %d answers, longest %.1f ms\n",
              Narrow(DataFile("BIG.BIN")).c_str(), picture_ms, ms_since(t0), answers, longest_ms);
  EXPECT_FALSE(indexing) << "the index was not done in 5 minutes";
  EXPECT_GE(picture_ms, 0) << "no picture";
}

TEST_F(EverydayWithData, ViewerSettingsCancelEscAndCloseBoxLeaveTheViewOkAppliesIt) {
  HWND echo = FindChild(wnd_, L"WEchoClass");
  AwayFromTheEchogram();
  ASSERT_TRUE(SetWindowPos(wnd_, HWND_TOP, 0, 0, 1000, 760, 0) && Responds(wnd_));
  SetForegroundWindow(wnd_);
  const Pixels before = Settled(echo);
  for (auto [how, msg, id] : {std::tuple{"Cancel", WM_COMMAND, IDCANCEL},
                              {"close box", WM_CLOSE, 0}, {"OK", WM_COMMAND, IDOK}}) {
    SCOPED_TRACE(how);
    ASSERT_TRUE(PostMenuCommand(wnd_, kViewerSettings));
    HWND dlg = Dialog(L"Viewer settings");
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(SelectItem(dlg, 1002, L"5 min") && SetChecked(dlg, 1056, false));
    ASSERT_TRUE(PostMessageW(dlg, msg, static_cast<WPARAM>(id), 0) && WaitGone(dlg));
    ASSERT_TRUE(Responds(wnd_) && Responds(echo));
    EXPECT_EQ(Settled(echo).rgb == before.rgb, id != IDOK) << "the echogram changed or not";
  }
}

// ---- remembers, opens and closes ----------------------------------------------------------

TEST_F(Everyday, RemembersPortViewerSettingsAndPlaceAndStartsAsNewWithoutAGoodFile) {
  // A fresh start's selection and size, to compare the others with.
  const int fresh_port = ListSelection(Ports());
  RECT fresh;
  GetWindowRect(wnd_, &fresh);
  ASSERT_TRUE(SelectPort(Port("NOCARD")));
  ASSERT_TRUE(SetWindowPos(wnd_, nullptr, 40, 30, 820, 760, SWP_NOZORDER) && Responds(wnd_));
  ASSERT_TRUE(PostMenuCommand(wnd_, kViewerSettings));
  HWND dlg = Dialog(L"Viewer settings");
  ASSERT_TRUE(dlg && SelectItem(dlg, 1002, L"2 months") && SelectItem(dlg, 1003, L"30") &&
              Press(dlg, IDOK));
  ASSERT_TRUE(Leave("Exit") && app_.WaitExit(kWaitMs));
  ASSERT_TRUE(Exists(SettingsFile()));
  const std::string written = ReadAll(SettingsFile());
  // The file as it was written, missing, damaged and with every value out of range.
  for (auto [name, text, remembered] :
       {std::tuple{"written", written, true},
        {"missing", std::string(), false},
        {"damaged", std::string("\x01\x02garbage\0\xff", 12), false},
        {"out of range", std::string("[Port]\r\nLast=0\r\n[Viewer]\r\nSpan=61\r\nMaxAltitude=30\r\n"
                                     "Gamma=1.0\r\nPalette=Yellow\r\n[Window]\r\nLeft=40000\r\n"
                                     "Top=0\r\nRight=41000\r\nBottom=900\r\n"), false}}) {
    SCOPED_TRACE(name);
    DeleteFileW(SettingsFile().c_str());
    if (!text.empty()) {
      FILE* f = _wfopen(SettingsFile().c_str(), L"wb");
      ASSERT_TRUE(f);
      fwrite(text.data(), 1, text.size(), f);
      fclose(f);
    }
    ASSERT_TRUE(Restart());
    RECT r;
    GetWindowRect(wnd_, &r);
    EXPECT_EQ(SelectedText(Ports()), remembered ? Wide(Port("NOCARD")) : ListItems(Ports())[fresh_port]);
    EXPECT_EQ(std::make_pair(r.right - r.left, r.bottom - r.top),
              remembered ? std::make_pair(820L, 760L)
                         : std::make_pair(fresh.right - fresh.left, fresh.bottom - fresh.top));
    if (remembered) {
      EXPECT_EQ(std::make_pair(r.left, r.top), std::make_pair(40L, 30L));
    }
    ASSERT_TRUE(PostMenuCommand(wnd_, kViewerSettings));
    HWND shown = Dialog(L"Viewer settings");
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(SelectedText(GetDlgItem(shown, 1002)), remembered ? L"2 months" : L"1 min");
    EXPECT_EQ(SelectedText(GetDlgItem(shown, 1003)), remembered ? L"30" : L"100");
    EXPECT_TRUE(Command(shown, IDCANCEL));
  }
}

TEST_F(Everyday, OpenTimersReadsBackWhatSaveTimersAndZt615WroteAndRefusesOtherFiles) {
  const std::wstring saved = OutFile("SAVED.DAT"), cli = OutFile("CLI.DAT");
  for (const wchar_t* name : {L"Dawn", L"Dusk"}) ASSERT_TRUE(AddTimer(name));
  ASSERT_TRUE(Click(L"Save Timers"));
  HWND fd = Chooser("DAT Files");
  ASSERT_TRUE(fd && FileDialogChoose(fd, saved));
  ASSERT_TRUE(Zt615(L"timers new " + Quoted(cli) + L" --timer \"Noon,2026-06-01T12:00:00,"
                    L"2026-06-01T13:00:00\""));
  std::string bad_slot(4096, '\0');
  bad_slot[128 * 2] = 77;  // slot 2: a record size that is neither 0 nor 128
  for (auto [name, bytes] : {std::pair{"SHORT.DAT", std::string(100, '\0')},
                             {"SLOT.DAT", ReadAll(saved).substr(0, 256) + bad_slot.substr(256)}}) {
    FILE* f = _wfopen(OutFile(name).c_str(), L"wb");
    ASSERT_TRUE(f);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  // The file, the answer to the replace question (0: none asked), the list or the refusal.
  for (auto [file, answer, listed, refusal] :
       {std::tuple{cli, IDYES, std::vector<std::wstring>{L"Noon"}, ""},
        {saved, IDNO, std::vector<std::wstring>{L"Noon"}, ""},
        {saved, IDYES, std::vector<std::wstring>{L"Dawn", L"Dusk"}, ""},
        {OutFile("SHORT.DAT"), 0, std::vector<std::wstring>{L"Dawn", L"Dusk"}, "4096"},
        {OutFile("SLOT.DAT"), 0, std::vector<std::wstring>{L"Dawn", L"Dusk"}, "slot 2"}}) {
    SCOPED_TRACE(Narrow(file) + " " + std::to_string(answer));
    ASSERT_TRUE(PostMenuCommand(wnd_, kOpenTimers));
    HWND open = Chooser("DAT Files");
    ASSERT_TRUE(open && FileDialogChoose(open, file));
    const std::string text = AnswerBox(answer ? answer : IDOK);
    EXPECT_NE(text.find(answer ? "Replace" : refusal), std::string::npos) << text;
    ASSERT_TRUE(Responds(wnd_));
    EXPECT_EQ(Timers(), listed);
  }
}

TEST_F(Everyday, CloseDataLetsTheFileGoAndShowsNoDataAgain) {
  HWND echo = FindChild(wnd_, L"WEchoClass");
  AwayFromTheEchogram();
  ASSERT_TRUE(Responds(echo));
  const Pixels no_data = Settled(echo);
  const std::wstring copy = OutFile("OPEN.BIN"), moved = OutFile("MOVED.BIN");
  ASSERT_TRUE(CopyFileW(DataFile("REC10.BIN").c_str(), copy.c_str(), FALSE));
  ASSERT_TRUE(ShowData(copy));
  ASSERT_TRUE(Responds(echo));
  EXPECT_NE(Settled(echo).rgb, no_data.rgb) << "the recording is not shown";
  EXPECT_FALSE(MoveFileW(copy.c_str(), moved.c_str())) << "the open recording could be moved";
  // The posted command is seen to be done (a sent message may overtake it): Export Data goes.
  ASSERT_TRUE(PostMenuCommand(wnd_, kCloseData));
  EXPECT_TRUE(WaitUntil([&] { return !Enabled(L"Export Data"); }, 5000));
  ASSERT_TRUE(Responds(wnd_) && Responds(echo));
  EXPECT_EQ(Settled(echo).rgb, no_data.rgb) << "the echogram does not show No Data";
  EXPECT_TRUE(MoveFileW(copy.c_str(), moved.c_str())) << "the closed recording is still held";
}

// ---- 144 dpi -------------------------------------------------------------------------------

// Wine takes the dpi from its registry when a program starts: HKCU\Control Panel\Desktop,
// LogPixels. The value is put back as it was found (or removed) for the tests after these.
class EverydayAt144Dpi : public Everyday {
  void SetUp() override {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kDesktop, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
      DWORD size = sizeof before_;
      had_ = RegQueryValueExW(key, L"LogPixels", nullptr, nullptr,
                              reinterpret_cast<BYTE*>(&before_), &size) == ERROR_SUCCESS;
      const DWORD dpi = 144;
      RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                     sizeof dpi);
      RegCloseKey(key);
    }
    Everyday::SetUp();
  }
  void TearDown() override {
    Everyday::TearDown();
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kDesktop, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
      return;
    if (had_)
      RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&before_),
                     sizeof before_);
    else
      RegDeleteValueW(key, L"LogPixels");
    RegCloseKey(key);
  }

  static constexpr const wchar_t* kDesktop = L"Control Panel\\Desktop";
  bool had_ = false;
  DWORD before_ = 96;
};

// A length at 96 dpi at 144, rounded as MulDiv rounds.
LONG Up(LONG v) { return (v * 3 + 1) / 2; }

TEST_F(EverydayAt144Dpi, TheColumnKeepsItsOrderAndProportionsAndNothingIsCut) {
  ASSERT_TRUE(SetWindowPos(wnd_, nullptr, 0, 0, 1100, 1100, SWP_NOZORDER) && Responds(wnd_));
  // The column at 96 dpi: x, y, width, height.
  const std::vector<std::tuple<std::wstring, RECT>> column = {
      {L"Connect", {10, 60, 150, 30}},       {L"Sync Time", {10, 95, 150, 30}},
      {L"Upload Settings", {10, 130, 150, 50}}, {L"Default Timer", {10, 220, 150, 30}},
      {L"Add Timer", {10, 310, 150, 30}},    {L"Show Data", {10, 425, 150, 30}},
      {L"Export Data", {10, 460, 150, 30}}};
  for (const auto& [text, at96] : column) {
    const RECT r = ChildRect(wnd_, Button(text));
    EXPECT_EQ(std::make_tuple(r.left, r.top, r.right - r.left, r.bottom - r.top),
              std::make_tuple(Up(at96.left), Up(at96.top), Up(at96.right), Up(at96.bottom)))
        << Narrow(text);
  }
  RECT client, status = ChildRect(wnd_, FindChild(wnd_, L"msctls_statusbar32"));
  GetClientRect(wnd_, &client);
  EXPECT_GE(status.top, ChildRect(wnd_, Button(L"Export Data")).bottom) << "the status bar covers the column";
  EXPECT_EQ(ChildRect(wnd_, FindChild(wnd_, L"WEchoClass")).left, Up(170));
  if (!Env("ZT_SCREENSHOT_DIR").empty()) {
    EXPECT_TRUE(SaveScreenshot(wnd_, ShotPath("control_main_144dpi.bmp")));
  }
}

}  // namespace
}  // namespace zt::gui
