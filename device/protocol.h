// The "CMND" frame protocol spoken with the ZT615 on the serial line: a frame is a small
// little-endian record, sent as one Base64 text line ended by a carriage return.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/serial_port.h"
#include "platform/time.h"
#include "timers/timer_settings.h"

namespace zt {

// Command codes (no reply is read) and query codes (one reply line).
enum : int32_t {
  SET_CLOCK = 0,
  ADD_TIMER = 1,
  SET_DEFAULT_TIMER = 2,
  UPLOAD_PREAMBLE_1 = 4,
  UPLOAD_PREAMBLE_2 = 5,
  GET_CLOCK = 100,
  GET_TILT = 101,
  GET_TEMPERATURE = 102,
  GET_BATTERY = 103,
  GET_SD_CARD = 104,
  GET_DEVICE_ID = 109,
};

struct COMMANDFRAME {
  char magic[4];  // "CMND"
  int32_t command;
  uint8_t payload[128];
};
static_assert(sizeof(COMMANDFRAME) == 136, "COMMANDFRAME is 136 bytes");
static_assert(offsetof(COMMANDFRAME, command) == 4);
static_assert(offsetof(COMMANDFRAME, payload) == 8);

struct QUERYFRAME {
  char magic[4];  // "CMND"
  int32_t command;
  int32_t reserved;  // zero
};
static_assert(sizeof(QUERYFRAME) == 12, "QUERYFRAME is 12 bytes");
static_assert(offsetof(QUERYFRAME, reserved) == 8);

struct REPLYFRAME {
  char magic[4];  // must be "CMND"
  int32_t command;  // must echo the query code
  uint32_t word[3];
};
static_assert(sizeof(REPLYFRAME) == 20, "REPLYFRAME is 20 bytes");
static_assert(offsetof(REPLYFRAME, word) == 8);

constexpr size_t kQueryLineLength = 17;     // 16 Base64 characters and CR
constexpr size_t kCommandLineLength = 185;  // 184 Base64 characters and CR
constexpr size_t kReplyBufferSize = 256;    // 255 characters and a NUL
constexpr size_t kReadChunk = 200;
constexpr uint64_t kReplyDeadlineSeconds = 2;

// ZR615_SendCommand's result when the port did not take the whole line (a failed or short
// write: the line is down or the port was pulled). Beside -1 and -2 of ZR615_GetData.
constexpr int kSendFailed = -3;
// The result of an exchange called off through its clock (Clock::Stopped): nothing more was
// sent.
constexpr int kExchangeStopped = -4;

// Result words a query code returns: 1 for 100, 102, 103 and 109, 2 for 101, 3 for 104,
// 0 for any other code.
int ResultWordCount(int32_t code);
// The name of a code ("GET_CLOCK" ...), or null.
const char* CodeName(int32_t code);

// The line for a query (17 bytes) and for a command frame (185 bytes), CR included, with a
// NUL after it; `out` needs room for the length + 1. Return the line length.
size_t BuildQueryLine(int32_t code, char* out);
size_t BuildCommandLine(int32_t code, const uint8_t* payload128, char* out);

// Sends one command frame and reads nothing back. `payload` is the timer record for
// ADD_TIMER and SET_DEFAULT_TIMER and is ignored otherwise; SET_CLOCK carries the host's
// time read at this moment. Returns 0 when the port took the whole line, kSendFailed when
// the write failed or fell short (the port's LastError() tells why).
int ZR615_SendCommand(platform::SerialPort* hComPort, int32_t command,
                      const TIMERSETTINGS* payload);

// Sends a query and waits for its reply line. Returns 0 and stores the code's result words
// (host order; floats as floats) in `result`, which has room for ResultWordCount(command)
// words; -1 for a complete line with another magic or echoed code, or too short for the
// code's words; -2 when no complete line came within the deadline, or more than 255 bytes
// came without one, or as soon as `clock` says the exchange was called off. `result` is
// written only on 0. The pause and the deadline run on
// `clock`, the system's when null.
int ZR615_GetData(platform::SerialPort* hComPort, int32_t command, void* result,
                  platform::Clock* clock = nullptr);

// Results of the queries with more than one word.
struct TiltResult {
  float x;
  float y;
};
struct SdCardResult {
  int32_t present;  // 0 = no card
  uint32_t free_high;
  uint32_t free_low;
  uint64_t free_bytes() const { return (uint64_t{free_high} << 32) | free_low; }
};
static_assert(sizeof(TiltResult) == 8 && sizeof(SdCardResult) == 12);

}  // namespace zt
