// What the logger sends back, made of the input: the Base64 decoder on the raw bytes (and
// the encoder's round trip), then the reply reading of ZR615_GetData, or of the whole Device
// info exchange, over a scripted port on virtual time (no real waiting).
//
// Input: a selector byte, then chunks of (delay in 10 ms, length, bytes) that the port hands
// out after the query was written.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "device/base64.h"
#include "device/device_ops.h"
#include "device/protocol.h"
#include "tests/device/loopback_port.h"

using namespace zt;

namespace {

const int32_t kCodes[] = {GET_CLOCK, GET_TILT,   GET_TEMPERATURE, GET_BATTERY,
                          GET_SD_CARD, GET_DEVICE_ID, SET_CLOCK};
constexpr uint8_t kWholeExchange = 0xFF;

void Base64(const uint8_t* data, size_t size) {
  std::vector<uint8_t> decoded(Base64DecodedLength(size) + 1);
  base64_decode(reinterpret_cast<const char*>(data), size, decoded.data());
  std::string text(Base64EncodedLength(size) + 1, '\0');
  base64_encode(data, size, text.data());
  std::vector<uint8_t> back(Base64DecodedLength(text.size() - 1) + 1);
  base64_decode(text.data(), text.size() - 1, back.data());
  if (size > 0 && std::memcmp(back.data(), data, size) != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Base64(data, size);
  if (size == 0) return 0;
  test::VirtualClock clock;
  test::LoopbackPort port(&clock);
  unsigned due = 0;
  for (size_t at = 1; at + 2 <= size;) {
    due += 10u * data[at];
    const size_t n = std::min<size_t>(data[at + 1], size - at - 2);
    port.Queue(due, std::string(reinterpret_cast<const char*>(data + at + 2), n));
    at += 2 + n;
  }
  if (data[0] == kWholeExchange) {
    DeviceInfo info;
    int32_t failed = 0;
    if (QueryDeviceInfo(&port, &info, &failed, &clock) == 0) DeviceInfoLines(info);
  } else {
    uint32_t result[3];
    ZR615_GetData(&port, kCodes[data[0] % (sizeof kCodes / sizeof kCodes[0])], result, &clock);
  }
  return 0;
}
