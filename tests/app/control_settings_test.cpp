// The settings kept between runs: what a written file reads back as, and that a damaged file
// or a value out of range is never trusted.
#include <gtest/gtest.h>

#include "app/control_settings.h"
#include "app/everyday_rules.h"

namespace zt {
namespace {

ControlSettings Full() {
  ControlSettings s;
  s.port = 12;
  s.viewer = ViewerChoice{5184000, 1.5f, 0.9f, 0};
  s.folders[static_cast<int>(ChooserFolder::kShowData)] = "C:\\Data\\Fjord ÆØÅ";
  s.folders[static_cast<int>(ChooserFolder::kExport)] = "Z:\\tmp";
  s.window = WindowPlace{-8, 20, 1200, 900, true};
  return s;
}

TEST(ControlSettings, ReadsBackWhatItWrote) {
  const ControlSettings s = ParseControlSettings(FormatControlSettings(Full()));
  ASSERT_TRUE(s.port && s.viewer && s.window);
  EXPECT_EQ(*s.port, 12u);
  EXPECT_EQ(s.viewer->span_s, 5184000);
  EXPECT_EQ(s.viewer->max_altitude_m, 1.5f);
  EXPECT_EQ(s.viewer->gamma, 0.9f);
  EXPECT_EQ(s.viewer->palette, 0);
  EXPECT_EQ(s.folders[0], "C:\\Data\\Fjord ÆØÅ");
  EXPECT_EQ(s.folders[1], "");
  EXPECT_EQ(s.folders[3], "Z:\\tmp");
  EXPECT_EQ(s.window->left, -8);
  EXPECT_EQ(s.window->bottom, 900);
  EXPECT_TRUE(s.window->maximized);
}

// What is left out of a file that is otherwise good.
TEST(ControlSettings, LeavesOutEachValueOutOfRange) {
  const struct {
    const char* behaviour;
    const char* text;
    bool port, viewer, window, folder;
  } cases[] = {
      {"all good", "[Port]\nLast=3\n[Viewer]\nSpan=60\nMaxAltitude=100\nGamma=1.0\nPalette=yellow\n"
                   "[Window]\nLeft=0\nTop=0\nRight=600\nBottom=800\n[Folders]\nExport=C:\\x\n",
       true, true, true, true},
      {"port 0", "[Port]\nLast=0\n", false, false, false, false},
      {"port not a number", "[Port]\nLast=COM3\n", false, false, false, false},
      {"span not offered", "[Viewer]\nSpan=61\nMaxAltitude=100\nGamma=1.0\nPalette=Yellow\n",
       false, false, false, false},
      {"altitude not offered", "[Viewer]\nSpan=60\nMaxAltitude=7\nGamma=1.0\nPalette=Yellow\n",
       false, false, false, false},
      {"gamma not offered", "[Viewer]\nSpan=60\nMaxAltitude=100\nGamma=2\nPalette=Yellow\n",
       false, false, false, false},
      {"unknown palette", "[Viewer]\nSpan=60\nMaxAltitude=100\nGamma=1.0\nPalette=Blue\n",
       false, false, false, false},
      {"viewer incomplete", "[Viewer]\nSpan=60\nMaxAltitude=100\n", false, false, false, false},
      {"window too small", "[Window]\nLeft=0\nTop=0\nRight=499\nBottom=800\n", false, false,
       false, false},
      {"window far away", "[Window]\nLeft=40000\nTop=0\nRight=40600\nBottom=800\n", false,
       false, false, false},
      {"folder too long", nullptr, false, false, false, false},
      {"value in the wrong section", "[Viewer]\nLast=3\n", false, false, false, false},
  };
  for (const auto& c : cases) {
    const std::string text =
        c.text ? c.text : "[Folders]\nExport=C:\\" + std::string(300, 'a') + "\n";
    const ControlSettings s = ParseControlSettings(text);
    EXPECT_EQ(s.port.has_value(), c.port) << c.behaviour;
    EXPECT_EQ(s.viewer.has_value(), c.viewer) << c.behaviour;
    EXPECT_EQ(s.window.has_value(), c.window) << c.behaviour;
    EXPECT_EQ(!s.folders[3].empty(), c.folder) << c.behaviour;
  }
}

TEST(ControlSettings, DamagedTextGivesNothingAtAll) {
  const std::string good = FormatControlSettings(Full());
  const std::string cases[] = {
      good + "garbage line\n",
      good.substr(0, 20) + std::string("\0\x01\x02", 3) + good.substr(20),
      "[Port\nLast=3\n",
      good + std::string(kSettingsMaxBytes, ';'),
  };
  for (const std::string& text : cases) {
    const ControlSettings s = ParseControlSettings(text);
    EXPECT_FALSE(s.port || s.viewer || s.window || !s.folders[0].empty()) << text.substr(0, 60);
  }
}

TEST(PlanQuit, WaitsOrDiscardsOnlyWhileAnExportRuns) {
  const struct {
    bool running, end_session;
    QuitAnswer answer;
    bool now, stop, later, refuse;
  } cases[] = {
      {false, false, QuitAnswer::kWait, true, false, false, false},
      {false, true, QuitAnswer::kWait, true, false, false, false},
      {true, false, QuitAnswer::kWait, false, false, true, false},
      {true, true, QuitAnswer::kWait, false, false, false, true},
      {true, false, QuitAnswer::kQuitAndDiscard, true, true, false, false},
      {true, true, QuitAnswer::kQuitAndDiscard, true, true, false, false},
  };
  for (const auto& c : cases) {
    const QuitPlan p = PlanQuit(c.running, c.end_session, c.answer);
    EXPECT_EQ(std::make_tuple(p.quit_now, p.stop_export, p.quit_when_export_ends,
                              p.refuse_end_session),
              std::make_tuple(c.now, c.stop, c.later, c.refuse))
        << "running " << c.running << " end session " << c.end_session;
  }
}

TEST(EverydayRules, QuestionsNameTheFileAndAreAskedOnlyWhenSomethingWouldBeLost) {
  EXPECT_EQ(ExportStillRunningText("C:\\out\\DAY1.LOG"),
            "An export to DAY1.LOG is still being written. Wait for it to finish?");
  EXPECT_EQ(ExportStillRunningText("Z:/tmp/x.csv"),
            "An export to x.csv is still being written. Wait for it to finish?");
  EXPECT_TRUE(AskBeforeEmptyUpload(true, 0));
  EXPECT_FALSE(AskBeforeEmptyUpload(true, 1));
  EXPECT_FALSE(AskBeforeEmptyUpload(false, 0));
  EXPECT_FALSE(AskBeforeReplacingTimers(0));
  EXPECT_TRUE(AskBeforeReplacingTimers(1));
  EXPECT_EQ(ReplaceTimersText(2, "A.DAT"),
            "The list holds 2 timers. Replace them with the timers of A.DAT?");
}

}  // namespace
}  // namespace zt
