// The "Export file" dialog without the dialog: the items selected for a file's header, the
// sound speed text, and the job the form makes with and without "Override parameters".
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "export/export_form.h"
#include "timers/timer_values.h"

namespace zt {
namespace {

int ItemOf(TimerList list, const char* text) {
  const TimerValueList& l = ValueList(list);
  for (int i = 0; i < l.count; ++i)
    if (std::strcmp(l.texts[i], text) == 0) return i;
  ADD_FAILURE() << text << " is not listed";
  return -1;
}

TEST(ExportForm, HeaderValuesSelectTheirItemOrTheFirst) {
  EXPECT_EQ(ExportThresholdItemFor(30), ItemOf(TimerList::kThreshold, "30"));
  EXPECT_EQ(ExportThresholdItemFor(25), 0) << "not listed";
  EXPECT_EQ(ExportDeadzoneItemFor(0.3f), ItemOf(TimerList::kDeadzone, "0.30"));
  EXPECT_EQ(ExportDeadzoneItemFor(0.25f), 0) << "not listed";
  EXPECT_EQ(ExportDeadzoneItemFor(0.3000001f), 0) << "compared exactly";
  EXPECT_EQ(ExportSoundSpeedText(1500.0f), "1500.00");
  EXPECT_EQ(ExportSoundSpeedText(1482.5f), "1482.50");
}

TEST(ExportForm, JobFromTheHeaderOrFromTheOverride) {
  TIMERSETTINGS header = DefaultTimerSettings();
  header.threshold_pct = 25;  // no item of the list
  header.deadzone_m = 0.25f;  // no item of the list
  header.sound_speed = 1480.0f;
  const int t70 = ItemOf(TimerList::kThreshold, "70");
  const int d030 = ItemOf(TimerList::kDeadzone, "0.30");
  const struct {
    const char* behaviour;
    bool override_parameters;
    int threshold_item, deadzone_item, amplitude_item;
    const char* speed_text;
    const char* message;  // "" when the job is filled
    int32_t threshold;
    float deadzone;
    int32_t gate;
    float speed;
  } cases[] = {
      {"without override the header's values and a gate of 80", false, t70, d030, 0, "9", "",
       25, 0.25f, 80, 1480.0f},
      {"without override list items out of range do not matter", false, -1, 99, 99, "", "", 25,
       0.25f, 80, 1480.0f},
      {"with override the selected items and the typed speed", true, t70, d030, 0, "1500", "",
       70, 0.3f, 5, 1500.0f},
      {"blanks around the typed speed", true, 0, 0, 9, " 1500.5 ", "", 5, 0.1f, 80, 1500.5f},
      {"no speed typed", true, 0, 0, 9, "", kMsgBadSoundSpeed, 0, 0, 0, 0},
      {"letters", true, 0, 0, 9, "abc", kMsgBadSoundSpeed, 0, 0, 0, 0},
      {"a speed of zero", true, 0, 0, 9, "0", kMsgBadSoundSpeed, 0, 0, 0, 0},
      {"a negative speed", true, 0, 0, 9, "-5", kMsgBadSoundSpeed, 0, 0, 0, 0},
      {"letters after the number", true, 0, 0, 9, "1500x", kMsgBadSoundSpeed, 0, 0, 0, 0},
      {"infinity", true, 0, 0, 9, "inf", kMsgBadSoundSpeed, 0, 0, 0, 0},
      {"not a number", true, 0, 0, 9, "nan", kMsgBadSoundSpeed, 0, 0, 0, 0},
      {"a hexadecimal number", true, 0, 0, 9, "0x5DC", kMsgBadSoundSpeed, 0, 0, 0, 0},
      {"a decimal comma", true, 0, 0, 9, "1500,5", kMsgBadSoundSpeed, 0, 0, 0, 0},
      {"threshold item out of range", true, 9, 0, 9, "1500",
       "Choose a threshold, a deadzone and an amplitude gate.", 0, 0, 0, 0},
      {"deadzone item out of range", true, 0, -1, 9, "1500",
       "Choose a threshold, a deadzone and an amplitude gate.", 0, 0, 0, 0},
      {"amplitude item out of range", true, 0, 0, 10, "1500",
       "Choose a threshold, a deadzone and an amplitude gate.", 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.behaviour);
    ExportForm form;
    form.data_format = kFormatCsv;
    form.override_parameters = c.override_parameters;
    form.threshold_item = c.threshold_item;
    form.deadzone_item = c.deadzone_item;
    form.amplitude_item = c.amplitude_item;
    form.sound_speed_text = c.speed_text;
    EXPORTJOB job;
    job.output_path = "untouched";
    EXPECT_EQ(FillExportJob(form, header, "IN.BIN", "OUT.LOG", &job), c.message);
    if (*c.message) {
      EXPECT_EQ(job.output_path, "untouched");
      continue;
    }
    EXPECT_EQ(job.input_path, "IN.BIN");
    EXPECT_EQ(job.output_path, "OUT.LOG");
    EXPECT_EQ(job.data_format, kFormatCsv);
    EXPECT_EQ(job.threshold_pct, c.threshold);
    EXPECT_EQ(job.deadzone_m, c.deadzone);
    EXPECT_EQ(job.amplitude_over_pct, c.gate);
    EXPECT_EQ(job.sound_speed, c.speed);
  }
}

TEST(ExportForm, FormatOutOfRangeOrNoJobIsRefused) {
  const TIMERSETTINGS header = DefaultTimerSettings();
  EXPORTJOB job;
  for (int format : {-1, 3}) {
    ExportForm form;
    form.data_format = format;
    EXPECT_EQ(FillExportJob(form, header, "IN.BIN", "OUT.LOG", &job), "Choose a data format.");
    EXPECT_TRUE(job.input_path.empty());
  }
  EXPECT_FALSE(FillExportJob(ExportForm{}, header, "IN.BIN", "OUT.LOG", nullptr).empty());
}

}  // namespace
}  // namespace zt
