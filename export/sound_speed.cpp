#include "export/sound_speed.h"

#include <cmath>

#include "platform/short_number.h"

namespace zt {

double MackenzieSoundSpeed(double temperature_c, double salinity_psu, double depth_m) {
  const double t = temperature_c;
  const double s = salinity_psu - 35.0;
  const double d = depth_m;
  return 1448.96 + 4.591 * t - 5.304e-2 * t * t + 2.374e-4 * t * t * t + 1.340 * s +
         1.630e-2 * d + 1.675e-7 * d * d - 1.025e-2 * t * s - 7.139e-13 * t * d * d * d;
}

std::string CheckWaterSettings(const WaterSettings& w) {
  if (w.model == kSoundSpeedFixed) return {};
  if (w.model != kSoundSpeedMackenzie)
    return "unknown sound speed model " + std::to_string(w.model);
  if (!(w.salinity_psu >= kMackenzieMinSalinity && w.salinity_psu <= kMackenzieMaxSalinity))
    return "salinity " + ShortNumber(w.salinity_psu) +
           " PSU is outside the 25-40 of Mackenzie's equation";
  if (!(w.depth_m >= 0.0f && w.depth_m <= kMackenzieMaxDepthM))
    return "transducer depth " + ShortNumber(w.depth_m) +
           " m is outside the 0-8000 m of Mackenzie's equation";
  return {};
}

float PingSoundSpeed(const WaterSettings& w, float fixed, float temperature_c, bool* outside) {
  *outside = false;
  if (w.model != kSoundSpeedMackenzie) return fixed;
  if (!(temperature_c >= kMackenzieMinTemperatureC &&
        temperature_c <= kMackenzieMaxTemperatureC)) {
    *outside = true;
    return fixed;
  }
  return static_cast<float>(MackenzieSoundSpeed(temperature_c, w.salinity_psu, w.depth_m));
}

const char* SoundSpeedModelName(int32_t model) {
  return model == kSoundSpeedMackenzie ? "mackenzie" : "fixed";
}

}  // namespace zt
