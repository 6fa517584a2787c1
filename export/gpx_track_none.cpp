// Built where no XML library is at hand (the Windows build): GPX tracks are refused, NMEA
// logs still work.
#include "export/gps_track.h"

namespace zt {

const bool kGpxSupported = false;

bool ParseGpxTrack(std::string& /*text*/, GpsTrack* /*track*/, std::string* why) {
  *why = "GPX tracks need the XML library this program was built without (the Windows "
         "zt615.exe); convert on Linux, or give the track as an NMEA 0183 log";
  return false;
}

}  // namespace zt
