#include "export/export_form.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>

#include "platform/short_number.h"

namespace zt {
namespace {

template <size_t N>
bool InList(const char* const (&)[N], int i) {
  return i >= 0 && static_cast<size_t>(i) < N;
}
bool InList(TimerList list, int i) { return i >= 0 && i < ValueList(list).count; }
const char* ItemText(TimerList list, int i) { return ValueList(list).texts[i]; }

// The whole text as a decimal float, blanks around it and a leading '+' allowed; false for
// anything else. Read the same way in every locale (a decimal point, never a comma) and
// without the C library's hexadecimal forms.
bool ParseFloat(const std::string& text, float* out) {
  const char* s = text.data();
  const char* e = s + text.size();
  while (s < e && (*s == ' ' || *s == '\t')) ++s;
  while (e > s && (e[-1] == ' ' || e[-1] == '\t')) --e;
  if (s < e && *s == '+' && (e - s == 1 || (s[1] != '-' && s[1] != '+'))) ++s;
  float v = 0;
  const auto r = std::from_chars(s, e, v, std::chars_format::general);
  if (s == e || r.ec != std::errc() || r.ptr != e) return false;
  *out = v;
  return true;
}

// The value of a list item's text ("0.30" is 0.3f).
float ItemValue(const char* item) {
  float v = 0;
  std::from_chars(item, item + std::strlen(item), v);
  return v;
}

}  // namespace

int ExportThresholdItemFor(int32_t threshold_pct) {
  const TimerValueList& l = ValueList(TimerList::kThreshold);
  for (int i = 0; i < l.count; ++i)
    if (static_cast<int32_t>(ItemValue(l.texts[i])) == threshold_pct) return i;
  return 0;
}

int ExportDeadzoneItemFor(float deadzone_m) {
  const TimerValueList& l = ValueList(TimerList::kDeadzone);
  for (int i = 0; i < l.count; ++i)
    if (ItemValue(l.texts[i]) == deadzone_m) return i;
  return 0;
}

std::string ExportSoundSpeedText(float sound_speed) {
  return FixedNumber(sound_speed, 2);
}

std::string FillExportJob(const ExportForm& form, const TIMERSETTINGS& header,
                          const std::string& input_path, const std::string& output_path,
                          EXPORTJOB* job) {
  if (!job) return "No export job to fill.";
  if (!InList(kExportFormatItems, form.data_format)) return "Choose a data format.";
  EXPORTJOB j = JobFromHeader(header, form.data_format);
  if (form.override_parameters) {
    if (!InList(TimerList::kThreshold, form.threshold_item) ||
        !InList(TimerList::kDeadzone, form.deadzone_item) ||
        !InList(kExportAmplitudeItems, form.amplitude_item))
      return "Choose a threshold, a deadzone and an amplitude gate.";
    float speed = 0;
    if (!ParseFloat(form.sound_speed_text, &speed) || !std::isfinite(speed) || !(speed > 0))
      return kMsgBadSoundSpeed;
    j.threshold_pct =
        static_cast<int32_t>(ItemValue(ItemText(TimerList::kThreshold, form.threshold_item)));
    j.deadzone_m = ItemValue(ItemText(TimerList::kDeadzone, form.deadzone_item));
    j.amplitude_over_pct = static_cast<int32_t>(ItemValue(kExportAmplitudeItems[form.amplitude_item]));
    j.sound_speed = speed;
  }
  j.input_path = input_path;
  j.output_path = output_path;
  *job = j;
  return {};
}

}  // namespace zt
