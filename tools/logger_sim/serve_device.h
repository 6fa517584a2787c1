// The simulated logger's side of the serial conversation: it reads the Base64 lines,
// answers queries, applies commands, logs every frame as one JSON line, and misbehaves on
// purpose where a fault is configured.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "timers/timer_settings.h"

namespace zt::sim {

enum class FaultKind {
  kNoReply,     // the query is not answered
  kWrongMagic,  // the reply starts "CMNX"
  kWrongCode,   // the reply echoes another query code
  kSplit,       // the reply goes out in several writes with pauses (arg: pause ms, 150)
  kDelay,       // the reply goes out after arg ms
  kGarbage,     // bytes before the reply
  kNoCr,        // the reply lacks its CR
  kFlood,       // arg bytes (1000) of Base64 characters without a CR instead of the reply
  kShort,       // one result word less than the code returns (only "CMND" and the code
                // for a one-word code)
  kHangup,      // the reply goes out normally, then the logger drops the line and is gone
};

struct Fault {
  FaultKind kind;
  int32_t code;  // -1: every query
  int arg;
};

// Parses "KIND[:CODE[:ARG]]" items separated by commas, KIND one of no-reply, wrong-magic,
// wrong-code, split, delay, garbage, no-cr, flood, short, hangup; CODE a query code or "any".
bool ParseFaults(const std::string& text, std::vector<Fault>* out, std::string* why);

struct LoggerState {
  int64_t clock_offset_s = 0;  // device clock minus host clock
  float tilt_x = 1.5f;
  float tilt_y = -0.8f;
  float temperature = 12.3f;
  float battery = 11.9f;
  bool sd_present = true;
  uint64_t sd_free = 7516192768ull;  // 7 GiB: needs the high word
  int32_t device_id = 123456;
  bool has_default_timer = false;
  TIMERSETTINGS default_timer{};
  std::vector<TIMERSETTINGS> timers;  // by timer_index
};

// One piece of an answer: bytes to write after a pause from the previous piece.
struct ReplyPiece {
  unsigned after_ms;
  std::string bytes;
};

class SimLogger {
 public:
  SimLogger(LoggerState state, std::vector<Fault> faults)
      : state_(std::move(state)), faults_(std::move(faults)) {}

  // Handles one line (without its CR) that arrived at host time `now_ms` (milliseconds
  // since 1970). Returns the answer's pieces (none for a command) and sets *log to the JSON
  // line (without newline) describing the frame.
  std::vector<ReplyPiece> HandleLine(const std::string& line, int64_t now_ms, std::string* log);

  // True once a query with the hangup fault has been answered: the server drops the line
  // after that reply has gone out, logging HangupLog(), and stops.
  bool hanging_up() const { return hanging_up_; }
  static std::string HangupLog(int64_t now_ms);

  const LoggerState& state() const { return state_; }

 private:
  const Fault* FaultFor(int32_t code, FaultKind kind) const;
  LoggerState state_;
  std::vector<Fault> faults_;
  bool hanging_up_ = false;
};

// JSON text of a timer record's fields.
std::string TimerJson(const TIMERSETTINGS& t);

}  // namespace zt::sim
