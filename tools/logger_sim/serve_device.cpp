#include "tools/logger_sim/serve_device.h"

#include "cmdline/json_text.h"

#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>

#include "device/base64.h"
#include "device/protocol.h"
#include "platform/le_bytes.h"
#include "platform/short_number.h"

namespace zt::sim {
namespace {

struct FaultName {
  const char* name;
  FaultKind kind;
  int default_arg;
};
const FaultName kFaultNames[] = {
    {"no-reply", FaultKind::kNoReply, 0},     {"wrong-magic", FaultKind::kWrongMagic, 0},
    {"wrong-code", FaultKind::kWrongCode, 0}, {"split", FaultKind::kSplit, 150},
    {"delay", FaultKind::kDelay, 2500},       {"garbage", FaultKind::kGarbage, 0},
    {"no-cr", FaultKind::kNoCr, 0},           {"flood", FaultKind::kFlood, 1000},
    {"short", FaultKind::kShort, 0},          {"hangup", FaultKind::kHangup, 0},
};

uint32_t Bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

std::string Line(const std::vector<uint8_t>& frame) {
  std::string text(Base64EncodedLength(frame.size()) + 1, '\0');
  base64_encode(frame.data(), frame.size(), text.data());
  text.pop_back();
  return text;
}

}  // namespace

bool ParseFaults(const std::string& text, std::vector<Fault>* out, std::string* why) {
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(',', pos);
    if (end == std::string::npos) end = text.size();
    const std::string item = text.substr(pos, end - pos);
    pos = end + 1;
    if (item.empty()) {
      if (end == text.size()) break;
      continue;
    }
    std::vector<std::string> parts;
    size_t p = 0;
    while (true) {
      size_t c = item.find(':', p);
      parts.push_back(item.substr(p, c == std::string::npos ? std::string::npos : c - p));
      if (c == std::string::npos) break;
      p = c + 1;
    }
    const FaultName* known = nullptr;
    for (const FaultName& f : kFaultNames)
      if (parts[0] == f.name) known = &f;
    if (!known || parts.size() > 3) {
      *why = "unknown fault '" + item + "'";
      return false;
    }
    Fault f{known->kind, -1, known->default_arg};
    auto number = [](const std::string& s, long long* v) {
      if (s.empty()) return false;
      auto r = std::from_chars(s.data(), s.data() + s.size(), *v);
      return r.ec == std::errc() && r.ptr == s.data() + s.size();
    };
    long long v = 0;
    if (parts.size() >= 2 && parts[1] != "any") {
      if (!number(parts[1], &v) || v < INT32_MIN || v > INT32_MAX) {
        *why = "fault '" + item + "': the code must be a number or 'any'";
        return false;
      }
      f.code = static_cast<int32_t>(v);
    }
    if (parts.size() == 3) {
      if (!number(parts[2], &v) || v < 0 || v > 600000) {
        *why = "fault '" + item + "': the argument must be 0 to 600000";
        return false;
      }
      f.arg = static_cast<int>(v);
    }
    out->push_back(f);
    if (end == text.size()) break;
  }
  return true;
}

const Fault* SimLogger::FaultFor(int32_t code, FaultKind kind) const {
  for (const Fault& f : faults_)
    if (f.kind == kind && (f.code == -1 || f.code == code)) return &f;
  return nullptr;
}

std::string TimerJson(const TIMERSETTINGS& t) {
  const size_t name_len = strnlen(t.timer_name, sizeof t.timer_name);
  return "{\"record_size\": " + std::to_string(t.record_size) +
         ", \"timer_index\": " + std::to_string(t.timer_index) +
         ", \"timer_name\": " + JsonString(t.timer_name, name_len) +
         ", \"start_time\": " + std::to_string(static_cast<uint32_t>(t.start_time)) +
         ", \"stop_time\": " + std::to_string(static_cast<uint32_t>(t.stop_time)) +
         ", \"file_size_limit\": " + std::to_string(t.file_size_limit) +
         ", \"range_mm\": " + std::to_string(t.range_mm) +
         ", \"tx_length_us\": " + std::to_string(t.tx_length_us) +
         ", \"period_s\": " + ShortNumber(t.period_s) +
         ", \"ping_count\": " + std::to_string(t.ping_count) +
         ", \"interval_s\": " + std::to_string(t.interval_s) +
         ", \"threshold_pct\": " + std::to_string(t.threshold_pct) +
         ", \"deadzone_m\": " + ShortNumber(t.deadzone_m) + ", \"gain_db\": " + ShortNumber(t.gain_db) +
         ", \"tvg_slope\": " + ShortNumber(t.tvg_slope) + ", \"sound_speed\": " + ShortNumber(t.sound_speed) +
         ", \"offset_m\": " + ShortNumber(t.offset_m) + ", \"device_id\": " + std::to_string(t.device_id) +
         ", \"output_flags\": " + std::to_string(t.output_flags) + "}";
}

std::string SimLogger::HangupLog(int64_t now_ms) {
  return "{\"time\": " + ShortNumber(static_cast<double>(now_ms) / 1000.0) +
         ", \"event\": \"hangup\"}";
}

std::vector<ReplyPiece> SimLogger::HandleLine(const std::string& line, int64_t now_ms,
                                              std::string* log) {
  const std::string stamp = "{\"time\": " + ShortNumber(static_cast<double>(now_ms) / 1000.0);
  std::vector<uint8_t> frame(Base64DecodedLength(line.size()) + 1);
  const size_t groups = base64_decode(line.data(), line.size(), frame.data());
  frame.resize(3 * groups);
  if (frame.size() < 12 || std::memcmp(frame.data(), "CMND", 4) != 0) {
    *log = stamp + ", \"error\": \"not a CMND frame\", \"line\": " +
           JsonString(line.data(), line.size() < 300 ? line.size() : 300) + "}";
    return {};
  }
  const int32_t code = LoadI32(frame.data() + 4);
  const char* name = CodeName(code);
  std::string entry = stamp + ", \"code\": " + std::to_string(code) + ", \"name\": " +
                      (name ? "\"" + std::string(name) + "\"" : std::string("null"));

  // Commands: 136-byte frames, applied and never answered.
  if (code >= 0 && code < 100) {
    if (frame.size() < 136) {
      *log = entry + ", \"error\": \"command frame of " + std::to_string(frame.size()) +
             " bytes\"}";
      return {};
    }
    const uint8_t* payload = frame.data() + 8;
    if (code == SET_CLOCK) {
      const int64_t t = static_cast<int64_t>(LoadU64(payload));
      state_.clock_offset_s = t - now_ms / 1000;
      entry += ", \"clock\": " + std::to_string(t);
    } else if (code == ADD_TIMER || code == SET_DEFAULT_TIMER) {
      const TIMERSETTINGS t = DecodeTimerSettings(payload);
      if (code == SET_DEFAULT_TIMER) {
        state_.default_timer = t;
        state_.has_default_timer = true;
      } else if (t.timer_index >= 0 && t.timer_index < 32) {
        if (state_.timers.size() <= static_cast<size_t>(t.timer_index))
          state_.timers.resize(static_cast<size_t>(t.timer_index) + 1);
        state_.timers[static_cast<size_t>(t.timer_index)] = t;
      }
      entry += ", \"timer\": " + TimerJson(t);
    } else if (code == UPLOAD_PREAMBLE_1) {
      state_.timers.clear();  // a new list of added timers follows
    }
    *log = entry + "}";
    return {};
  }

  // Queries: the result words of the code.
  const int64_t now_s = now_ms / 1000;
  std::vector<uint32_t> words;
  switch (code) {
    case GET_CLOCK: words = {static_cast<uint32_t>(now_s + state_.clock_offset_s)}; break;
    case GET_TILT: words = {Bits(state_.tilt_x), Bits(state_.tilt_y)}; break;
    case GET_TEMPERATURE: words = {Bits(state_.temperature)}; break;
    case GET_BATTERY: words = {Bits(state_.battery)}; break;
    case GET_SD_CARD:
      words = {state_.sd_present ? 1u : 0u, static_cast<uint32_t>(state_.sd_free >> 32),
               static_cast<uint32_t>(state_.sd_free)};
      break;
    case GET_DEVICE_ID: words = {static_cast<uint32_t>(state_.device_id)}; break;
    default: break;  // an unknown query is echoed without words
  }
  if (FaultFor(code, FaultKind::kShort) && !words.empty()) words.pop_back();
  if (FaultFor(code, FaultKind::kHangup)) hanging_up_ = true;  // after this reply, if any
  if (FaultFor(code, FaultKind::kNoReply)) {
    *log = entry + ", \"reply\": \"none (fault)\"}";
    return {};
  }
  std::vector<uint8_t> reply(8 + 4 * words.size());
  std::memcpy(reply.data(), FaultFor(code, FaultKind::kWrongMagic) ? "CMNX" : "CMND", 4);
  StoreI32(reply.data() + 4, FaultFor(code, FaultKind::kWrongCode)
                                 ? (code == GET_CLOCK ? GET_DEVICE_ID : GET_CLOCK)
                                 : code);
  for (size_t i = 0; i < words.size(); ++i) StoreU32(reply.data() + 8 + 4 * i, words[i]);
  std::string text = Line(reply);
  if (!FaultFor(code, FaultKind::kNoCr)) text += '\r';
  if (FaultFor(code, FaultKind::kGarbage)) text = "\x01~garbage~" + text;
  if (const Fault* f = FaultFor(code, FaultKind::kFlood))
    text = std::string(static_cast<size_t>(f->arg), 'A');

  std::vector<ReplyPiece> pieces;
  unsigned first_after = 0;
  if (const Fault* f = FaultFor(code, FaultKind::kDelay)) first_after = static_cast<unsigned>(f->arg);
  if (const Fault* f = FaultFor(code, FaultKind::kSplit)) {
    const size_t n = text.size();
    const size_t cuts[] = {0, n / 4, n / 2, n - 1, n};
    for (int i = 0; i < 4; ++i) {
      if (cuts[i + 1] <= cuts[i]) continue;
      pieces.push_back({i == 0 ? first_after : static_cast<unsigned>(f->arg),
                        text.substr(cuts[i], cuts[i + 1] - cuts[i])});
    }
  } else {
    pieces.push_back({first_after, text});
  }
  std::string words_json = "[";
  for (size_t i = 0; i < words.size(); ++i)
    words_json += (i ? ", " : "") + std::to_string(words[i]);
  words_json += "]";
  *log = entry + ", \"reply\": " + JsonString(text.data(), text.size()) + ", \"words\": " +
         words_json + "}";
  return pieces;
}

}  // namespace zt::sim
