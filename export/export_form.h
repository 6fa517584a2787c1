// What the "Export file" dialog shows and how its controls become an EXPORTJOB, without the
// dialog: list items, the items selected for a file's header, and the job with or without
// "Override parameters".
#pragma once

#include <cstdint>
#include <string>

#include "export/export_engine.h"
#include "timers/timer_settings.h"
#include "timers/timer_values.h"

namespace zt {

inline constexpr const char* kExportFormatItems[] = {"Echosounder mode + NMEA", "NMEA",
                                                     "KM250 Full"};
// The threshold and deadzone lists are the timer record's own (ValueList(TimerList::
// kThreshold) and kDeadzone); the amplitude gate has a list of its own.
inline constexpr const char* kExportAmplitudeItems[] = {"5",  "10", "15", "20", "30",
                                                        "40", "50", "60", "70", "80"};
inline constexpr int kExportAmplitudeDefaultItem = 9;  // "80"
inline constexpr int kExportSoundSpeedEditLimit = 10;

// The item whose value equals the header's field (deadzone compared as a float, exactly);
// 0 when none does.
int ExportThresholdItemFor(int32_t threshold_pct);
int ExportDeadzoneItemFor(float deadzone_m);

// The extension a save chooser adds to an output named without one: "CSV" for the
// comma-separated format, "LOG" for the others.
inline const char* ExportExtension(int32_t data_format) {
  return data_format == kFormatCsv ? "CSV" : "LOG";
}

// The sound speed edit's initial text: "%.2f" of the header's sound speed.
std::string ExportSoundSpeedText(float sound_speed);

struct ExportForm {
  int data_format = 0;  // item of the format list
  bool override_parameters = false;
  int threshold_item = 0;
  int deadzone_item = 0;
  int amplitude_item = kExportAmplitudeDefaultItem;
  std::string sound_speed_text;
};

// Fills *job from the form and the open file's header: the file's threshold, deadzone and
// sound speed with an amplitude gate of 80 unless the override is ticked, the selected
// items and the typed sound speed if it is. Returns "" or, leaving *job untouched, the
// message the dialog shows: a list item out of range, or a sound speed that is not a
// positive number.
std::string FillExportJob(const ExportForm& form, const TIMERSETTINGS& header,
                          const std::string& input_path, const std::string& output_path,
                          EXPORTJOB* job);

inline constexpr char kMsgBadSoundSpeed[] =
    "Sound speed must be a positive number of metres per second.";

}  // namespace zt
