#include "device/protocol.h"

#include <cstring>

#include "device/base64.h"
#include "platform/le_bytes.h"
#include "platform/time.h"
#include "platform/trace.h"

namespace zt {
namespace {

const uint8_t kMagic[4] = {'C', 'M', 'N', 'D'};

}  // namespace

int ResultWordCount(int32_t code) {
  switch (code) {
    case GET_CLOCK:
    case GET_TEMPERATURE:
    case GET_BATTERY:
    case GET_DEVICE_ID: return 1;
    case GET_TILT: return 2;
    case GET_SD_CARD: return 3;
    default: return 0;
  }
}

const char* CodeName(int32_t code) {
  switch (code) {
    case SET_CLOCK: return "SET_CLOCK";
    case ADD_TIMER: return "ADD_TIMER";
    case SET_DEFAULT_TIMER: return "SET_DEFAULT_TIMER";
    case UPLOAD_PREAMBLE_1: return "UPLOAD_PREAMBLE_1";
    case UPLOAD_PREAMBLE_2: return "UPLOAD_PREAMBLE_2";
    case GET_CLOCK: return "GET_CLOCK";
    case GET_TILT: return "GET_TILT";
    case GET_TEMPERATURE: return "GET_TEMPERATURE";
    case GET_BATTERY: return "GET_BATTERY";
    case GET_SD_CARD: return "GET_SD_CARD";
    case GET_DEVICE_ID: return "GET_DEVICE_ID";
    default: return nullptr;
  }
}

size_t BuildQueryLine(int32_t code, char* out) {
  uint8_t frame[sizeof(QUERYFRAME)];
  std::memcpy(frame, kMagic, 4);
  StoreI32(frame + 4, code);
  StoreI32(frame + 8, 0);
  base64_encode(frame, sizeof frame, out);
  out[kQueryLineLength - 1] = '\r';
  out[kQueryLineLength] = '\0';
  return kQueryLineLength;
}

size_t BuildCommandLine(int32_t code, const uint8_t* payload128, char* out) {
  uint8_t frame[sizeof(COMMANDFRAME)];
  std::memcpy(frame, kMagic, 4);
  StoreI32(frame + 4, code);
  std::memcpy(frame + 8, payload128, 128);
  base64_encode(frame, sizeof frame, out);
  out[kCommandLineLength - 1] = '\r';
  out[kCommandLineLength] = '\0';
  return kCommandLineLength;
}

int ZR615_SendCommand(platform::SerialPort* hComPort, int32_t command,
                      const TIMERSETTINGS* payload) {
  platform::DebugTrace("ZR615_SendCommand: command: %d\n", command);
  uint8_t bytes[128];
  std::memset(bytes, 0, sizeof bytes);
  if (command == SET_CLOCK) {
    StoreU64(bytes, static_cast<uint64_t>(platform::NowUtcSeconds()));
  } else if ((command == ADD_TIMER || command == SET_DEFAULT_TIMER) && payload) {
    EncodeTimerSettings(*payload, bytes);
  }
  char line[256];
  const size_t n = BuildCommandLine(command, bytes, line);
  if (!hComPort) return kSendFailed;
  // A frame the line did not take whole is lost to the logger: report it.
  const int written = hComPort->Write(line, n);
  if (written < 0 || static_cast<size_t>(written) < n) {
    platform::DebugTrace("ZR615_SendCommand: wrote %d of %d bytes\n", written,
                         static_cast<int>(n));
    return kSendFailed;
  }
  return 0;
}

int ZR615_GetData(platform::SerialPort* hComPort, int32_t command, void* result,
                  platform::Clock* clock) {
  platform::Clock& ticks = clock ? *clock : platform::SystemClock();
  char line[256];
  const size_t n = BuildQueryLine(command, line);
  hComPort->Write(line, n);
  platform::DebugTrace("b64 length: %d\n", static_cast<int>(n));
  // A short pause lets the reply begin. No comm event is waited for: with no event mask
  // that wait may block for good on some ports, and the deadline must hold.
  ticks.Sleep(10);
  platform::DebugTrace("ZR615_GetData: command: %d\n", command);

  char reply[kReplyBufferSize];
  std::memset(reply, 0, sizeof reply);
  size_t received = 0;
  const uint64_t start = ticks.NowMs();
  for (;;) {
    // Never past the buffer: the last byte stays the NUL.
    const size_t room = sizeof reply - 1 - received;
    const size_t ask = room < kReadChunk ? room : kReadChunk;
    int got = ask > 0 ? hComPort->Read(reply + received, ask) : 0;
    if (got < 0) got = 0;
    if (static_cast<size_t>(got) > ask) got = static_cast<int>(ask);
    received += static_cast<size_t>(got);
    if (got > 0) {
      platform::DebugTrace("%s\n", reply);
      if (reply[received - 1] == '\r') break;
    }
    // A full buffer without a CR at its end can never become a reply.
    if (received == sizeof reply - 1) {
      platform::DebugTrace("result: %d\n", -2);
      return -2;
    }
    const uint64_t elapsed_s = (ticks.NowMs() - start) / 1000;
    if (elapsed_s >= kReplyDeadlineSeconds || ticks.Stopped()) {
      platform::DebugTrace("result: %d\n", -2);
      return -2;
    }
  }

  uint8_t decoded[Base64DecodedLength(kReplyBufferSize - 1) + 1];
  const size_t groups = base64_decode(reply, received, decoded);
  const size_t decoded_len = 3 * groups;
  const int words = ResultWordCount(command);
  int rc = 0;
  if (decoded_len < 8 || std::memcmp(decoded, kMagic, 4) != 0 ||
      LoadI32(decoded + 4) != command) {
    rc = -1;
  } else if (decoded_len < 8 + 4 * static_cast<size_t>(words)) {
    rc = -1;  // never hand out result bytes that did not arrive
  } else {
    for (int i = 0; i < words; ++i) {
      const uint32_t w = LoadU32(decoded + 8 + 4 * i);
      std::memcpy(static_cast<uint8_t*>(result) + 4 * i, &w, 4);
    }
  }
  platform::DebugTrace("result: %d\n", rc);
  return rc;
}

}  // namespace zt
