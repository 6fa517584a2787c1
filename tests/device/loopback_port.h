// A serial port for tests: records what is written and answers reads from a script of
// timed chunks, or from a responder that turns each written line into a reply. A line
// that stops taking frames is one whose write number `fail_write` (from 0) gives
// `fail_result` (-1, or a short count) with `fail_error` as the system's code.
// Time is the system's unless a clock is given: with a VirtualClock, a read that finds
// nothing due waits in virtual time, so deadlines are exact and cost nothing.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "device/base64.h"
#include "platform/le_bytes.h"
#include "platform/serial_port.h"
#include "platform/time.h"

namespace zt::test {

// Time that moves only when someone sleeps on it.
class VirtualClock : public platform::Clock {
 public:
  uint64_t now_ms = 0;
  uint64_t NowMs() override { return now_ms; }
  void Sleep(unsigned ms) override { now_ms += ms; }
};

class LoopbackPort : public platform::SerialPort {
 public:
  struct Chunk {
    unsigned due_ms;  // after the first write
    std::string bytes;
  };
  // Called with each written line; returns the chunks that answer it.
  std::function<std::vector<Chunk>(const std::string& line)> responder;

  std::vector<std::string> writes;  // every line handed to Write, taken or not
  int fail_write = -1;
  int fail_result = -1;
  int fail_error = 0;
  size_t largest_read_request = 0;
  size_t bytes_handed_out = 0;

  explicit LoopbackPort(platform::Clock* clock = nullptr)
      : clock_(clock ? *clock : platform::SystemClock()) {}

  void Queue(unsigned due_ms, const std::string& bytes) { chunks_.push_back({due_ms, bytes}); }

  int Write(const void* data, size_t n) override {
    writes.emplace_back(static_cast<const char*>(data), n);
    if (static_cast<int>(writes.size()) - 1 == fail_write) {
      last_error_ = fail_error;
      return fail_result;
    }
    Start();
    if (responder) {
      const uint64_t now = clock_.NowMs() - start_ms_;
      for (Chunk c : responder(writes.back())) {
        c.due_ms += static_cast<unsigned>(now);
        chunks_.push_back(c);
      }
    }
    return static_cast<int>(n);
  }

  int Read(void* buf, size_t n) override {
    if (n > largest_read_request) largest_read_request = n;
    Start();
    while (!chunks_.empty() && chunks_.front().bytes.empty()) chunks_.pop_front();
    const uint64_t now = clock_.NowMs() - start_ms_;
    if (chunks_.empty() || chunks_.front().due_ms > now) {
      // Nothing buffered: wait at most 100 ms for a first byte, as a real port does.
      uint64_t wait = 100;
      if (!chunks_.empty() && chunks_.front().due_ms - now < wait)
        wait = chunks_.front().due_ms - now;
      clock_.Sleep(static_cast<unsigned>(wait));
      return 0;
    }
    Chunk& c = chunks_.front();
    const size_t take = c.bytes.size() < n ? c.bytes.size() : n;
    std::memcpy(buf, c.bytes.data(), take);
    c.bytes.erase(0, take);
    bytes_handed_out += take;
    return static_cast<int>(take);
  }

  int LastError() const override { return last_error_; }

 private:
  // Due times count from the first write or read.
  void Start() {
    if (started_) return;
    started_ = true;
    start_ms_ = clock_.NowMs();
  }

  platform::Clock& clock_;
  std::deque<Chunk> chunks_;
  bool started_ = false;
  uint64_t start_ms_ = 0;
  int last_error_ = 0;
};

// A reply line: "CMND", the code and the words, Base64 and CR.
inline std::string ReplyLine(int32_t code, std::vector<uint32_t> words,
                             const char* magic = "CMND") {
  std::vector<uint8_t> frame(8 + 4 * words.size());
  std::memcpy(frame.data(), magic, 4);
  StoreI32(frame.data() + 4, code);
  for (size_t i = 0; i < words.size(); ++i) StoreU32(frame.data() + 8 + 4 * i, words[i]);
  std::string text(Base64EncodedLength(frame.size()) + 1, '\0');
  base64_encode(frame.data(), frame.size(), text.data());
  text.pop_back();
  return text + "\r";
}

inline uint32_t FloatBits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

// Decodes a written line (without its CR) into the frame bytes.
inline std::vector<uint8_t> DecodeLine(const std::string& line) {
  std::vector<uint8_t> out(Base64DecodedLength(line.size()) + 1);
  const size_t groups = base64_decode(line.data(), line.size(), out.data());
  out.resize(3 * groups);
  return out;
}

}  // namespace zt::test
