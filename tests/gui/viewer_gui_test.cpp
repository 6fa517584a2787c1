// zt615_control's echogram window and Viewer settings dialog, driven with mouse messages sent
// to the window as the system would deliver them. What the window shows is taken from the
// screen and compared, pixel for pixel, with `zt615 echogram` of the view it should show.
// Run by tests/gui/control_gui_runner.py, like the other tests of the control program.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb_image.h>

#include "logfile/logfile.h"
#include "platform/file.h"
#include "platform/output_file.h"
#include "tests/gui/control_fixture.h"
#include "tests/gui/gui_driver.h"
#include "viewer/echogram.h"

namespace zt::gui {
namespace {

using Strings = std::vector<std::wstring>;
// The image's top-left corner in the echogram window; the strips right of it.
constexpr int kLeft = 30, kTop = 20;
// The image width the tests give the window: 600 s over 605 pixels is 0.9917 s a pixel and a
// wheel notch with the button held moves trunc(605 / 10) = 60 s. The recording's series are
// a minute apart, so a view one second off shows other pings.
constexpr int kImageWidth = 605;
constexpr int kViewerSettings = 32774, kRainbow = 1056, kYellow = 1057;
const char kRecording[] = "REC10.BIN";

std::string Hex(uint32_t rgb) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%06X", static_cast<unsigned>(rgb));
  return buf;
}

// A view of the recording as `zt615 echogram` takes it.
struct View {
  int32_t begin, end;
  float altitude_m;
  const char* palette;
};

// The program without a file, its echogram image kImageWidth wide; only the messages of the
// tests move over the echogram.
class EchoWindow : public ControlProgram {
 protected:
  void SetUp() override {
    // The real pointer in the desktop's corner before the window shows up, where it could
    // not hover over the echogram.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    ControlProgram::SetUp();
    if (HasFatalFailure()) return;
    echo_ = FindChild(wnd_, L"WEchoClass");
    ASSERT_NE(echo_, nullptr) << "no echogram window";
    for (int width = 1000, i = 0; i < 2; ++i, width += kImageWidth - w_) {
      RECT c;
      ASSERT_TRUE(SetWindowPos(wnd_, HWND_TOP, 0, 0, width, 760, 0) && Responds(wnd_) &&
                  GetClientRect(echo_, &c));
      wc_ = c.right, hc_ = c.bottom, w_ = wc_ - 150, h_ = hc_ - 40;
    }
    ASSERT_EQ(w_, kImageWidth) << "echogram window " << wc_ << " x " << hc_;
    SetForegroundWindow(wnd_);
  }

  // Pixels of the echogram window on the screen in [x0, x1) x [y0, y1) for which `is` holds.
  template <typename Is>
  int Count(int x0, int y0, int x1, int y1, Is is) {
    const Pixels p = ClientPixels(echo_);
    int n = 0;
    for (int y = std::max(y0, 0); y < std::min(y1, p.h); ++y)
      for (int x = std::max(x0, 0); x < std::min(x1, p.w); ++x) n += is(p.At(x, y));
    return n;
  }

  HWND echo_ = nullptr;
  int wc_ = 0, hc_ = 0, w_ = 0, h_ = 0;  // client size, image size
};

// The program with the runner's recording (10 m range, 400 pings in series of 10 a minute
// apart, over 39 minutes) open from its command line, and the recording's ping index.
class Echogram : public EchoWindow {
 protected:
  std::wstring Args() override { return Quoted(DataFile(kRecording)); }
  void SetUp() override {
    EchoWindow::SetUp();
    if (HasFatalFailure()) return;
    std::string why;
    ASSERT_TRUE(file_.OpenRead(Narrow(DataFile(kRecording))) &&
                viewer::LoadPingIndex(file_, &index_, &why))
        << why;
    ASSERT_GT(index_.pings.size(), 1u);
    first_ = static_cast<int32_t>(index_.pings.front().time_utc);
    last_ = static_cast<int32_t>(index_.pings.back().time_utc);
    ASSERT_GT(last_ - first_, 1200) << "the recording is too short to move a 600 s view";
  }

  // The view from `offset` seconds after the first ping, `span` long, ending at the last.
  View At(int32_t offset, int32_t span, float altitude_m, const char* palette = "rainbow") {
    return {first_ + offset, std::min(first_ + offset + span, last_), altitude_m, palette};
  }

  // "" when the image area on the screen shows `zt615 echogram` of the view, else how it
  // differs. The grid rows, the frame and the labels drawn over the image are left out: the
  // rows near y = trunc(2k H / 20), the edges, and the columns of the depth labels.
  std::string ImageDiffers(const View& v, const std::wstring& recording = DataFile(kRecording)) {
    const std::wstring png = OutFile("VIEW" + std::to_string(++images_) + ".png");
    wchar_t args[256];
    std::swprintf(args, 256,
                  L" --width %d --height %d --begin %d --end %d --max-altitude %g --palette %hs "
                  L"--gamma 1",
                  w_, h_, v.begin, v.end, v.altitude_m, v.palette);
    if (!Zt615(L"echogram " + Quoted(recording) + L" " + Quoted(png) + args))
      return "zt615 echogram failed";
    const std::string bytes = ReadAll(png);
    int w = 0, h = 0, n = 0;
    stbi_uc* want = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                                          static_cast<int>(bytes.size()), &w, &h, &n, 3);
    std::string diff = "cannot read " + Narrow(png) + " as a " + std::to_string(w_) + " x " +
                       std::to_string(h_) + " PNG";
    if (want && w == w_ && h == h_)
      WaitUntil([&] { return (diff = Compare(want)).empty(); }, 10000);
    stbi_image_free(want);
    return diff;
  }
  std::string Compare(const stbi_uc* want) {
    const Pixels got = ClientPixels(echo_);
    if (got.w != wc_ || got.h != hc_) return "no picture of the window from the screen";
    auto near_grid = [&](int y) {
      for (int k = 1; k <= 10; ++k)
        if (std::abs(y - 2 * k * h_ / 20) <= 2) return true;
      return false;
    };
    int compared = 0, differ = 0;
    std::string first;
    for (int y = 6; y < h_ - 3; ++y) {
      if (near_grid(y)) continue;
      for (int x = 40; x < w_ - 3; ++x, ++compared) {
        const stbi_uc* p = want + 3 * (static_cast<size_t>(y) * w_ + x);
        const uint32_t expected = p[0] << 16 | p[1] << 8 | p[2], seen = got.At(kLeft + x, kTop + y);
        if (expected != seen && differ++ == 0)
          first = " (first at image x " + std::to_string(x) + ", y " + std::to_string(y) +
                  ": expected " + Hex(expected) + ", seen " + Hex(seen) + ")";
      }
    }
    return differ ? std::to_string(differ) + " of " + std::to_string(compared) +
                        " pixels differ" + first
                  : "";
  }

  // Mouse input as the window gets it, sent so that it has been handled on return.
  bool Mouse(UINT msg, WPARAM keys, int x, int y) {
    return SendTo(echo_, msg, keys, MAKELPARAM(x, y)) != -1;
  }
  bool Drag(int x, int y, int dx) {
    return Mouse(WM_LBUTTONDOWN, MK_LBUTTON, x, y) && Mouse(WM_MOUSEMOVE, MK_LBUTTON, x + dx, y) &&
           Mouse(WM_LBUTTONUP, 0, x + dx, y);
  }
  // `notches` turns away from the user (negative: towards), pointer at client (x, y).
  bool Wheel(int notches, WORD keys, int x, int y) {
    POINT p = {x, y};
    ClientToScreen(echo_, &p);
    const short delta = notches > 0 ? WHEEL_DELTA : -WHEEL_DELTA;
    for (int i = 0; i < std::abs(notches); ++i)
      if (SendTo(echo_, WM_MOUSEWHEEL, MAKEWPARAM(keys, static_cast<WORD>(delta)),
                 MAKELPARAM(p.x, p.y)) == -1)
        return false;
    return true;
  }
  HWND OpenSettings() {
    return PostMenuCommand(wnd_, kViewerSettings) ? Dialog(L"Viewer settings") : nullptr;
  }
  // The selected entries of the time, depth and gamma lists.
  static Strings Selections(HWND dlg) {
    return {SelectedText(GetDlgItem(dlg, 1002)), SelectedText(GetDlgItem(dlg, 1003)),
            SelectedText(GetDlgItem(dlg, 1004))};
  }
  int RedInStrip() {
    return Count(wc_ - 100, kTop, wc_ - 50, hc_ - 20, [](uint32_t c) { return c == 0xFF0000; });
  }

  platform::File file_;
  viewer::PingIndex index_;
  int32_t first_ = 0, last_ = 0;
  int images_ = 0;
};

TEST_F(EchoWindow, WithoutAFileShowsNoDataInWhiteFromTheCentreOnBlack) {
  const int cx = wc_ / 2, cy = hc_ / 2;
  auto white = [](uint32_t c) { return c == 0xFFFFFF; };
  auto lit = [](uint32_t c) { return c != 0; };
  // Painted once the corner is black (a window not painted yet shows its parent's white).
  EXPECT_TRUE(WaitUntil([&] { return Count(0, 0, 20, 20, lit) == 0; }, 5000)) << "not painted";
  EXPECT_TRUE(WaitUntil([&] { return Count(cx, cy, cx + 100, cy + 30, white) > 10; }, 5000))
      << "no white text right of and below the centre (" << cx << ", " << cy << ")";
  // Anything but black outside the text's box, above, left, right and below it.
  for (auto [x0, y0, x1, y1] : {std::tuple{0, 0, wc_, cy - 2}, {0, 0, cx - 2, hc_},
                                {cx + 100, 0, wc_, hc_}, {0, cy + 30, wc_, hc_}})
    EXPECT_EQ(Count(x0, y0, x1, y1, lit), 0)
        << "lit pixels in [" << x0 << ", " << x1 << ") x [" << y0 << ", " << y1 << ")";
}

TEST_F(Echogram, OpensOnTheFirstTenMinutesAsZt615EchogramDrawsThem) {
  ExpectNoBox();
  EXPECT_EQ(ImageDiffers(At(0, 600, 100)), "");
}

// A recording whose clock jumped back: its thirty-first series carries the first one's times.
// The first view is found by searching the times; once the index is complete the window
// must show what the index gives, as `zt615 echogram` (which reads every time) does.
class UnorderedEchogram : public Echogram {
 protected:
  std::wstring Args() override { return Quoted(OutFile("UNORDERED.BIN")); }
  void SetUp() override {
    std::string bytes = ReadAll(DataFile(kRecording));
    const uint32_t rs = RecordSizeForRange(HeaderRangeMm(reinterpret_cast<const uint8_t*>(bytes.data())));
    ASSERT_GT(rs, 0u);
    for (size_t k = 0; k < 10; ++k)
      std::memcpy(&bytes[kFileHeaderSize + (300 + k) * rs + kRecTimeUtc],
                  &bytes[kFileHeaderSize + k * rs + kRecTimeUtc], 4);
    ASSERT_TRUE(platform::WriteOutput(Narrow(OutFile("UNORDERED.BIN")), bytes.data(), bytes.size(),
                                      platform::OutputRule::kReplace, false));
    Echogram::SetUp();
  }
};

TEST_F(UnorderedEchogram, ShowsWhatTheWholeIndexGivesOnceItIsBuilt) {
  ExpectNoBox();
  EXPECT_EQ(ImageDiffers(At(0, 600, 100), OutFile("UNORDERED.BIN")), "");
  EXPECT_TRUE(WaitUntil([&] { return Status(1).find("Indexing") == std::string::npos; }, 10000))
      << Status(1);
}

TEST_F(Echogram, DragAndWheelMoveTheViewAndZoomTheDepthScale) {
  const int x = kLeft + w_ / 2, y = kTop + h_ / 2;
  // What is done (wheel notches, or pixels dragged), and the view's begin (seconds after the
  // first ping) and depth scale then.
  enum Gesture { kWheel, kDrag };
  for (auto [what, gesture, amount, keys, begin, altitude] :
       {std::tuple{"a notch away at 100 m keeps 100 m", kWheel, 1, 0, 0, 100.0f},
        {"a notch back zooms to 90 m", kWheel, -1, 0, 0, 90.0f},
        {"nine more notches back zoom to 10 m", kWheel, -9, 0, 0, 10.0f},
        {"62 px to the left: trunc(62 x 600 / 605) = 61 s later", kDrag, -62, 0, 61, 10.0f},
        {"1 px is less than a second: no move", kDrag, 1, 0, 61, 10.0f},
        {"a notch away with the button held: 60 s later", kWheel, 1, MK_LBUTTON, 121, 10.0f},
        {"a notch back with the button held: 60 s earlier", kWheel, -1, MK_LBUTTON, 61, 10.0f},
        {"400 px to the right stops at the first ping", kDrag, 400, 0, 0, 10.0f}}) {
    SCOPED_TRACE(what);
    ASSERT_TRUE(gesture == kWheel ? Wheel(amount, static_cast<WORD>(keys), x, y)
                                  : Drag(amount > 0 ? kLeft + 50 : x, y, amount));
    EXPECT_EQ(ImageDiffers(At(begin, 600, altitude)), "");
  }
}

TEST_F(Echogram, HoverWritesThePingAndDeviceIdToTheStatusBarAndDrawsTheProfile) {
  EXPECT_EQ(RedInStrip(), 0) << "a profile trace before any hover";
  ASSERT_EQ(ImageDiffers(At(0, 600, 100)), "") << "the first view is not drawn yet";
  const int column = w_ / 3;
  ASSERT_TRUE(Mouse(WM_MOUSEMOVE, 0, kLeft + column, kTop + h_ / 2));
  // The ping of that column in the view [first, first + 600].
  std::vector<viewer::PIXELMAP> row(static_cast<size_t>(w_));
  const LoggedFileInfo& info = index_.info;
  viewer::MapPixels(index_.pings.data(), static_cast<uint32_t>(index_.pings.size()), info.samples,
                    info.header.range_mm, first_, first_ + 600, 100.0f, w_, 1, row.data());
  std::vector<uint8_t> record(info.record_size);
  ASSERT_EQ(ReadPingSized(file_, record.data(), info.record_size,
                          static_cast<uint32_t>(row[static_cast<size_t>(column)].ping)),
            static_cast<int64_t>(info.record_size));
  ECHOHEADER ping;
  std::memcpy(&ping, record.data(), sizeof ping);
  const std::time_t t = ping.time_utc;
  char start[96], device[32];
  std::strftime(start, sizeof start, "date: %d.%m time: %H:%M:%S, altitude: ", std::gmtime(&t));
  std::snprintf(device, sizeof device, "DEVICEID: %06d", static_cast<int>(info.header.device_id));
  const std::string status = Status(2);
  EXPECT_EQ(status.rfind("ping: " + std::to_string(ping.ping_number) + ", " + start, 0), 0u)
      << status;
  EXPECT_EQ(status, viewer::HoverText(record.data(), info.record_size));
  EXPECT_EQ(Status(1), device);
  EXPECT_TRUE(WaitUntil([&] { return RedInStrip() > 0; }, 5000))
      << "no red (0xFF0000) trace in the profile strip";
}

TEST_F(Echogram, SettingsFirstOfferOneMinuteYellowCancelKeepsTheViewOkAppliesIt) {
  // Whether Rainbow is chosen, the button that closes the dialog, and the view then.
  for (auto [rainbow, close, span, palette] :
       {std::tuple{false, IDCANCEL, 600, "rainbow"}, {true, IDOK, 60, "rainbow"}}) {
    SCOPED_TRACE(close == IDOK ? "OK" : "Cancel");
    HWND dlg = OpenSettings();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(Selections(dlg), (Strings{L"1 min", L"100", L"1.0"}));
    EXPECT_EQ(CheckState(dlg, kYellow), BST_CHECKED);
    EXPECT_EQ(CheckState(dlg, kRainbow), BST_UNCHECKED);
    ASSERT_TRUE(SetChecked(dlg, kRainbow, rainbow) && Press(dlg, close));
    EXPECT_EQ(ImageDiffers(At(0, span, 100, palette)), "");
  }
}

// The keyboard, once a click has given the echogram the focus (hovering does not): the
// arrows, Page Up and Down, Home and End move the view, + and - step the depth scale.
TEST_F(Echogram, KeysMoveTheViewAndStepTheDepthScaleOnceAClickGaveItTheFocus) {
  const int x = kLeft + w_ / 2, y = kTop + h_ / 2;
  ASSERT_TRUE(Mouse(WM_MOUSEMOVE, 0, x, y));
  EXPECT_NE(FocusOf(wnd_), echo_) << "hovering took the focus";
  ASSERT_TRUE(Mouse(WM_LBUTTONDOWN, MK_LBUTTON, x, y) && Mouse(WM_LBUTTONUP, 0, x, y));
  EXPECT_EQ(FocusOf(wnd_), echo_) << "a click did not give the echogram the focus";
  const int32_t span = 600, length = last_ - first_;
  for (auto [what, key, begin, altitude] :
       {std::tuple{"+ zooms in to 90 m", VK_ADD, 0, 90.0f},
        {"- zooms out to 100 m", VK_SUBTRACT, 0, 100.0f},
        {"Right: a tenth of the span later", VK_RIGHT, 60, 100.0f},
        {"Page Down: a span later", VK_NEXT, 660, 100.0f},
        {"Left: a tenth earlier", VK_LEFT, 600, 100.0f},
        {"Page Up: a span earlier", VK_PRIOR, 0, 100.0f},
        {"End: to the last ping", VK_END, length - span, 100.0f},
        {"Home: to the first ping", VK_HOME, 0, 100.0f}}) {
    SCOPED_TRACE(what);
    SetForegroundWindow(wnd_);
    ASSERT_TRUE(SendKey(static_cast<WORD>(key)) && Responds(wnd_));
    EXPECT_EQ(ImageDiffers(At(begin, span, altitude)), "");
  }
}

// A drag keeps the mouse: a button let go outside the window ends it, and a later move over
// the echogram without the button moves nothing.
TEST_F(Echogram, ADragLetGoOutsideTheWindowEndsThere) {
  POINT at = {kLeft + w_ / 2, kTop + h_ / 2};
  ClientToScreen(echo_, &at);
  SetForegroundWindow(wnd_);
  RECT main;
  ASSERT_TRUE(GetWindowRect(wnd_, &main));
  // Each step once the program has taken the one before (Wine hands input on by itself).
  auto captured_by = [&](HWND wnd) {
    return WaitUntil(
        [&] {
          GUITHREADINFO info = {};
          info.cbSize = sizeof info;
          return GetGUIThreadInfo(GetWindowThreadProcessId(wnd_, nullptr), &info) &&
                 info.hwndCapture == wnd;
        },
        5000);
  };
  ASSERT_TRUE(SendMouse(at.x, at.y) && SendMouse(at.x, at.y, MOUSEEVENTF_LEFTDOWN));
  ASSERT_TRUE(captured_by(echo_)) << "the drag did not take the mouse";
  ASSERT_TRUE(SendMouse(main.right + 40, main.bottom + 40) &&
              SendMouse(main.right + 40, main.bottom + 40, MOUSEEVENTF_LEFTUP));
  ASSERT_TRUE(captured_by(nullptr)) << "letting go outside did not end the drag";
  ASSERT_TRUE(SendMouse(at.x - 200, at.y) && SendMouse(at.x - 100, at.y) && Responds(wnd_));
  EXPECT_EQ(ImageDiffers(At(0, 600, 100)), "");
}

TEST_F(Echogram, SettingsShowTheWheelZoomOnlyOnceTheyHaveBeenOpened) {
  // Notches turned towards the user before an opening, and the depth that opening shows.
  for (auto [notches, shown] : {std::pair{-1, L"100"}, {-2, L"80"}}) {
    SCOPED_TRACE(notches);
    ASSERT_TRUE(Wheel(notches, 0, kLeft + 100, kTop + 100));
    HWND dlg = OpenSettings();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(Narrow(SelectedText(GetDlgItem(dlg, 1003))), Narrow(shown));
    EXPECT_TRUE(Command(dlg, IDCANCEL));
  }
}

// --- Pictures for review (scripts/screenshots.sh): the main window filling the desktop with
// the echogram zoomed to the recorded range in Rainbow, with a profile, with the settings
// dialog over it (the desktop: a picture of the main window would raise it over its dialog
// under Wine), and in Yellow.
class EchogramScreens : public Echogram {};

TEST_F(EchogramScreens, DISABLED_RainbowProfileSettingsAndYellow) {
  ASSERT_FALSE(Env("ZT_SCREENSHOT_DIR").empty()) << "ZT_SCREENSHOT_DIR is not set";
  ASSERT_TRUE(SetWindowPos(wnd_, HWND_TOP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                           GetSystemMetrics(SM_CYSCREEN), 0) &&
              Responds(wnd_));
  ASSERT_TRUE(Wheel(-10, 0, kLeft + 100, kTop + 100));  // 100 m to 10 m
  EXPECT_TRUE(SaveScreenshot(wnd_, ShotPath("control_echogram_rainbow.bmp")));
  RECT c;
  GetClientRect(echo_, &c);
  ASSERT_TRUE(Mouse(WM_MOUSEMOVE, 0, c.right / 2, c.bottom / 2));
  EXPECT_TRUE(SaveScreenshot(wnd_, ShotPath("control_echogram_profile.bmp")));
  HWND dlg = OpenSettings();
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(SelectComboText(GetDlgItem(dlg, 1002), L"10 min") &&
              SelectComboText(GetDlgItem(dlg, 1003), L"10"));
  EXPECT_TRUE(SaveScreenshot(GetDesktopWindow(), ShotPath("control_echogram_settings.bmp")));
  ASSERT_TRUE(Press(dlg, IDOK));
  EXPECT_TRUE(SaveScreenshot(wnd_, ShotPath("control_echogram_yellow.bmp")));
}

}  // namespace
}  // namespace zt::gui
