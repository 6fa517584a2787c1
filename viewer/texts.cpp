// The texts the echogram window draws and writes to the status bar. Numbers go through our
// own digit conversion so that the native and the Windows build show the same characters.
#include <string>

#include "export/text_builder.h"
#include "platform/le_bytes.h"
#include "platform/time.h"
#include "viewer/echogram.h"

namespace zt::viewer {

namespace {

// Room for the longest status line: five floats near the single-precision limit.
constexpr size_t kTextRoom = 512;

std::string TextOf(const TextBuilder& t) { return std::string(t.data(), t.size()); }

// "hh:mm:ss dd.mm.yyyy" of a ping time (an unsigned 32-bit count) in the PC's local time.
void AppendLocalStamp(TextBuilder& t, int32_t seconds) {
  t.Str(platform::CivilText(platform::LocalCivil(static_cast<uint32_t>(seconds)),
                            "hh:mm:ss DD.MM.Y"));
}

// A field of the record, or 0 where the record does not reach.
int32_t I32At(const uint8_t* record, uint32_t record_size, uint64_t at) {
  return record != nullptr && at + 4 <= record_size ? LoadI32(record + at) : 0;
}
float F32At(const uint8_t* record, uint32_t record_size, uint64_t at) {
  return record != nullptr && at + 4 <= record_size ? LoadF32(record + at) : 0.0f;
}

}  // namespace

std::string DepthLabel(int i, float max_altitude_m) {
  char buf[kTextRoom];
  TextBuilder t(buf, sizeof buf);
  const float metres = static_cast<float>(i) * max_altitude_m / 10.0f;
  t.Fixed(metres, 1, 5);
  return TextOf(t);
}

std::string StartTimeLabel(int32_t t) {
  char buf[kTextRoom];
  TextBuilder b(buf, sizeof buf);
  AppendLocalStamp(b, t);
  b.Str(" (Local)");
  return TextOf(b);
}

std::string EndTimeLabel(int32_t t) {
  char buf[kTextRoom];
  TextBuilder b(buf, sizeof buf);
  AppendLocalStamp(b, t);
  return TextOf(b);
}

std::string ScaleLabel(int i) {
  char buf[kTextRoom];
  TextBuilder t(buf, sizeof buf);
  t.Int(int64_t{10} * i).Char('%');
  return TextOf(t);
}

std::string HoverText(const uint8_t* record, uint32_t record_size) {
  const int32_t ping_number = I32At(record, record_size, kRecPingNumber);
  const int32_t sample_count = I32At(record, record_size, kRecSampleCount);
  const int32_t time_utc = I32At(record, record_size, kRecTimeUtc);
  // The footer follows the ping's own samples; a count that does not fit the record puts
  // it outside, where every field reads as 0.
  const uint64_t footer = sample_count >= 0
                              ? kEchoHeaderSize + 2 * static_cast<uint64_t>(sample_count)
                              : UINT64_MAX / 2;
  const platform::CivilTime c = platform::LocalCivil(static_cast<uint32_t>(time_utc));
  char buf[kTextRoom];
  TextBuilder t(buf, sizeof buf);
  t.Str("ping: ").Int(ping_number);
  t.Str(", date: ").Str(platform::CivilText(c, "DD.MM"));
  t.Str(" time: ").Str(platform::CivilText(c, "hh:mm:ss"));
  t.Str(", altitude: ").Fixed(F32At(record, record_size, footer + 20), 1);
  t.Str(", tiltX: ").Fixed(F32At(record, record_size, footer + 24), 1);
  t.Str(", tiltY: ").Fixed(F32At(record, record_size, footer + 28), 1);
  t.Str(", battery: ").Fixed(F32At(record, record_size, footer + 16), 2);
  t.Str(" temperature: ").Fixed(F32At(record, record_size, footer + 12), 1);
  return TextOf(t);
}

std::string DeviceIdText(int32_t device_id) {
  char buf[kTextRoom];
  TextBuilder t(buf, sizeof buf);
  t.Str("DEVICEID: ").Int(device_id, 6, true);
  return TextOf(t);
}

}  // namespace zt::viewer
