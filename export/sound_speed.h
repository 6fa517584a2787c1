// The speed of sound used to turn a ping's travel times into metres: one figure for the whole
// recording (the file header's or the user's), or Mackenzie's nine-term equation (1981) from
// each ping's own water temperature, a salinity and the transducer's depth.
#pragma once

#include <cstdint>
#include <string>

namespace zt {

enum SoundSpeedModel : int32_t {
  kSoundSpeedFixed = 0,       // the job's sound speed for every ping
  kSoundSpeedMackenzie = 1,   // from each ping's temperature
};

// The equation's stated range of validity.
constexpr float kMackenzieMinTemperatureC = 2.0f;
constexpr float kMackenzieMaxTemperatureC = 30.0f;
constexpr float kMackenzieMinSalinity = 25.0f;
constexpr float kMackenzieMaxSalinity = 40.0f;
constexpr float kMackenzieMaxDepthM = 8000.0f;
constexpr float kDefaultSalinityPsu = 35.0f;

struct WaterSettings {
  int32_t model = kSoundSpeedFixed;
  float salinity_psu = kDefaultSalinityPsu;
  float depth_m = 0.0f;  // of the transducer
};

// Mackenzie (1981): sound speed in m/s from temperature (degC), salinity (PSU) and depth (m).
double MackenzieSoundSpeed(double temperature_c, double salinity_psu, double depth_m);

// The checks made before any ping is read (an unknown model, a salinity or depth outside the
// equation's range); empty when the settings are acceptable.
std::string CheckWaterSettings(const WaterSettings& w);

// The sound speed for one ping: `fixed` with the fixed model; with Mackenzie's the equation's
// value, or `fixed` when the ping's temperature is outside 2-30 degC or not a number
// (*outside is then set, else cleared).
float PingSoundSpeed(const WaterSettings& w, float fixed, float temperature_c, bool* outside);

// The model's name on the command line and in files: "fixed", "mackenzie".
const char* SoundSpeedModelName(int32_t model);

}  // namespace zt
