// The export job the dialog fills without "Override parameters", written out field by field
// (independent of JobFromHeader, which the tests check).
#pragma once

#include <string>

#include "export/export_engine.h"

namespace zt::test {

inline EXPORTJOB JobFor(const TIMERSETTINGS& h, int32_t format, const std::string& in,
                        const std::string& out) {
  EXPORTJOB job;
  job.input_path = in;
  job.output_path = out;
  job.data_format = format;
  job.amplitude_over_pct = 80;
  job.threshold_pct = h.threshold_pct;
  job.deadzone_m = h.deadzone_m;
  job.sound_speed = h.sound_speed;
  return job;
}

}  // namespace zt::test
