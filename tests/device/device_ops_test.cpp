// The exchanges and texts of the device dialogs, against a loopback logger.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "device/device_ops.h"
#include "platform/le_bytes.h"
#include "tests/device/loopback_port.h"
#include "timers/timer_values.h"

namespace zt {
namespace {

using test::DecodeLine;
using test::FloatBits;
using test::LoopbackPort;
using test::ReplyLine;
using test::VirtualClock;

// Answers every query with fixed words, except `failing`, which gets a wrong echo.
void AnswerQueries(LoopbackPort* port, int32_t failing = -1) {
  port->responder = [failing](const std::string& line) {
    std::vector<LoopbackPort::Chunk> out;
    const std::vector<uint8_t> f = DecodeLine(line.substr(0, line.size() - 1));
    if (line.size() != 17) return out;  // commands get no answer
    const int32_t code = LoadI32(f.data() + 4);
    const std::map<int32_t, std::vector<uint32_t>> words = {
        {GET_CLOCK, {0}},
        {GET_TILT, {FloatBits(1.04f), FloatBits(-2.96f)}},
        {GET_TEMPERATURE, {FloatBits(4.56f)}},
        {GET_BATTERY, {FloatBits(12.34f)}},
        {GET_SD_CARD, {1, 1, 0}},
        {GET_DEVICE_ID, {42}}};
    out.push_back({0, ReplyLine(code == failing ? code + 1 : code, words.at(code))});
    return out;
  };
}

std::vector<int32_t> CodesWritten(const LoopbackPort& port) {
  std::vector<int32_t> codes;
  for (const std::string& w : port.writes)
    codes.push_back(LoadI32(DecodeLine(w.substr(0, w.size() - 1)).data() + 4));
  return codes;
}

// Each query answered at once takes its own 10 ms pause and the 10 ms after it.
TEST(DeviceInfo, QueriesInOrderAndFillsTheSevenLines) {
  VirtualClock clock;
  LoopbackPort port(&clock);
  AnswerQueries(&port);
  DeviceInfo info;
  int32_t failed = 0;
  ASSERT_EQ(QueryDeviceInfo(&port, &info, &failed, &clock), 0);
  EXPECT_EQ(CodesWritten(port), (std::vector<int32_t>{100, 101, 102, 103, 104, 109}));
  EXPECT_EQ(clock.now_ms, 6 * 20u);
  const auto lines = DeviceInfoLines(info);
  EXPECT_EQ(lines[0], "ZT615 Echosounder");
  EXPECT_EQ(lines[1], "Device ID: 000042");
  EXPECT_EQ(lines[2], "Time (Local): " + AscTimeText(platform::LocalCivil(0)));
  EXPECT_EQ(lines[3], "Temperature: 4.6\xC2\xB0" "C");
  EXPECT_EQ(lines[4], "Tilt X: 1.0\xC2\xB0 Tilt Y: -3.0\xC2\xB0");
  EXPECT_EQ(lines[5], "Battery: 12.3 Volts");
  EXPECT_EQ(lines[6], "SD card free space: 4294967296 Bytes");
}

TEST(DeviceInfo, FailureAtBatteryStopsBeforeTheCardAndTheId) {
  VirtualClock clock;
  LoopbackPort port(&clock);
  AnswerQueries(&port, GET_BATTERY);
  DeviceInfo info;
  info.device_id = 5;
  int32_t failed = 0;
  EXPECT_EQ(QueryDeviceInfo(&port, &info, &failed, &clock), -1);
  EXPECT_EQ(failed, GET_BATTERY);
  EXPECT_EQ(CodesWritten(port), (std::vector<int32_t>{100, 101, 102, 103}));
  EXPECT_EQ(info.device_id, 5);
  EXPECT_EQ(clock.now_ms, 4 * 20u);  // the failed query still has its pause
}

// A silent logger fails the first query at its deadline, and nothing more is asked.
TEST(DeviceInfo, SilentLoggerFailsTheClockQueryAtTheDeadline) {
  VirtualClock clock;
  LoopbackPort port(&clock);
  DeviceInfo info;
  int32_t failed = 0;
  EXPECT_EQ(QueryDeviceInfo(&port, &info, &failed, &clock), -2);
  EXPECT_EQ(failed, GET_CLOCK);
  EXPECT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(clock.now_ms, 10 + 2000 + 10u);
}

TEST(DeviceInfoLines, CardAbsentIdWidthAndRounding) {
  const struct {
    int32_t id;
    int32_t present;
    uint32_t high, low;
    float battery;
    const char* id_line;
    const char* card_line;
    const char* battery_line;
  } cases[] = {
      {0, 0, 5, 5, 0.0f, "Device ID: 000000", "SD card: Not present", "Battery: 0.0 Volts"},
      {1234567, 1, 0, 1000, 3.96f, "Device ID: 1234567", "SD card free space: 1000 Bytes",
       "Battery: 4.0 Volts"},
      {-5, 7, 2, 5, 11.05f, "Device ID: -00005", "SD card free space: 8589934597 Bytes",
       "Battery: 11.1 Volts"},  // 11.05f is 11.0500001...
      {99, 1, 0x7FFFFFFF, 0xFFFFFFFF, -1.25f, "Device ID: 000099",
       "SD card free space: 9223372036854775807 Bytes", "Battery: -1.2 Volts"},
  };
  for (const auto& c : cases) {
    DeviceInfo info;
    info.device_id = c.id;
    info.sd = {c.present, c.high, c.low};
    info.battery = c.battery;
    const auto lines = DeviceInfoLines(info);
    EXPECT_EQ(lines[1], c.id_line);
    EXPECT_EQ(lines[5], c.battery_line);
    EXPECT_EQ(lines[6], c.card_line);
  }
}

TEST(AscTime, TwentyFourCharactersAndANewline) {
  const struct {
    platform::CivilTime c;
    const char* text;
  } cases[] = {
      {{1970, 1, 1, 0, 0, 0}, "Thu Jan  1 00:00:00 1970\n"},
      {{2106, 2, 7, 6, 28, 14}, "Sun Feb  7 06:28:14 2106\n"},
      {{2026, 12, 8, 17, 5, 9}, "Tue Dec  8 17:05:09 2026\n"},
      {{2000, 2, 29, 23, 59, 59}, "Tue Feb 29 23:59:59 2000\n"},
      {{1999, 10, 31, 12, 0, 0}, "Sun Oct 31 12:00:00 1999\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AscTimeText(c.c), c.text);
    EXPECT_EQ(AscTimeText(c.c).size(), 25u);
  }
}

// Each frame is followed by 200 ms; progress shows a frame as soon as the line took it.
TEST(Upload, ThreeAddedTimersGoOutAs45111WithIndices012) {
  VirtualClock clock;
  LoopbackPort port(&clock);
  TIMERSETTINGS a = NewAddedTimer(DefaultTimerSettings(), 100);
  TIMERSETTINGS b = a, c = a;
  a.timer_index = 9;
  TIMERSETTINGS* list[] = {&a, &b, &c};
  std::vector<std::pair<int, int>> progress;
  std::vector<uint64_t> progress_ms;
  int error = -1;
  EXPECT_EQ(UploadAddedTimers(&port, list, 3,
                              [&](int d, int t) {
                                progress.push_back({d, t});
                                progress_ms.push_back(clock.now_ms);
                              },
                              &error, &clock),
            0);
  EXPECT_EQ(progress_ms, (std::vector<uint64_t>{0, 0, 200, 400, 600, 800}));
  EXPECT_EQ(clock.now_ms, 5 * 200u);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(CodesWritten(port), (std::vector<int32_t>{4, 5, 1, 1, 1}));
  for (int i = 0; i < 3; ++i) {
    const auto f = DecodeLine(port.writes[2 + i].substr(0, 184));
    EXPECT_EQ(LoadI32(f.data() + 8 + 4), i);  // timer_index inside the payload
  }
  EXPECT_EQ(a.timer_index, 0);
  EXPECT_EQ(c.timer_index, 2);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), std::make_pair(5, 5));
  for (const std::string& w : port.writes) EXPECT_EQ(w.size(), 185u);
}

TEST(Upload, NoAddedTimersSendsTheTwoPreamblesOnly) {
  VirtualClock clock;
  LoopbackPort port(&clock);
  std::vector<std::pair<int, int>> progress;
  EXPECT_EQ(UploadAddedTimers(&port, nullptr, 0, [&](int d, int t) { progress.push_back({d, t}); },
                              nullptr, &clock),
            0);
  EXPECT_EQ(CodesWritten(port), (std::vector<int32_t>{4, 5}));
  EXPECT_EQ(clock.now_ms, 2 * 200u);
  EXPECT_EQ(progress.back(), std::make_pair(2, 2));
}

TEST(Upload, DefaultTimerIsOneFrame) {
  VirtualClock clock;
  LoopbackPort port(&clock);
  TIMERSETTINGS d = DefaultTimerSettings();
  std::vector<std::pair<int, int>> progress;
  EXPECT_EQ(UploadDefaultTimer(&port, d, [&](int dn, int t) { progress.push_back({dn, t}); },
                               nullptr, &clock),
            0);
  EXPECT_EQ(CodesWritten(port), (std::vector<int32_t>{2}));
  EXPECT_EQ(clock.now_ms, 200u);
  EXPECT_EQ(progress.back(), std::make_pair(1, 1));
  const auto f = DecodeLine(port.writes[0].substr(0, 184));
  EXPECT_EQ(LoadI32(f.data() + 8 + 52), 2000);  // range_mm
}

// A frame the line does not take (a failed or short write) ends the upload there: nothing
// after it is sent, the progress stops before it, and the port's error code comes back;
// only the frames taken had their pause.
TEST(Upload, FrameThePortDoesNotTakeStopsTheUpload) {
  const struct {
    const char* behaviour;
    bool default_timer;
    int failing_write, write_result, system_error;
  } cases[] = {
      {"the first preamble fails", false, 0, -1, 5},
      {"the second preamble fails", false, 1, -1, 1167},
      {"the second timer frame fails", false, 3, -1, 5},
      {"a timer frame goes out short", false, 2, 184, 0},
      {"the default timer frame fails", true, 0, -1, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.behaviour);
    VirtualClock clock;
    LoopbackPort port(&clock);
    port.fail_write = c.failing_write;
    port.fail_result = c.write_result;
    port.fail_error = c.system_error;
    TIMERSETTINGS a = NewAddedTimer(DefaultTimerSettings(), 100), b = a, d = a;
    TIMERSETTINGS* list[] = {&a, &b, &d};
    int last_done = -1, error = -1;
    auto note = [&](int done, int) { last_done = done; };
    EXPECT_EQ(c.default_timer ? UploadDefaultTimer(&port, d, note, &error, &clock)
                              : UploadAddedTimers(&port, list, 3, note, &error, &clock),
              kSendFailed);
    EXPECT_EQ(clock.now_ms, 200u * c.failing_write);
    EXPECT_EQ(port.writes.size(), static_cast<size_t>(c.failing_write) + 1);
    EXPECT_EQ(error, c.system_error);
    EXPECT_EQ(last_done, c.failing_write);
  }
}

TEST(Upload, NoPortOrABadListSendsNothing) {
  LoopbackPort port;
  TIMERSETTINGS a = DefaultTimerSettings();
  TIMERSETTINGS* with_null[] = {&a, nullptr};
  EXPECT_EQ(UploadAddedTimers(nullptr, with_null, 1, nullptr, nullptr), kSendFailed);
  EXPECT_EQ(UploadAddedTimers(&port, with_null, -1, nullptr, nullptr), kSendFailed);
  EXPECT_EQ(UploadAddedTimers(&port, with_null, 2, nullptr, nullptr), kSendFailed);
  EXPECT_EQ(UploadDefaultTimer(nullptr, a, nullptr, nullptr), kSendFailed);
  EXPECT_EQ(ZR615_SendCommand(nullptr, SET_CLOCK, nullptr), kSendFailed);
  EXPECT_TRUE(port.writes.empty());
}

}  // namespace
}  // namespace zt

namespace zt::test {
namespace {

// A clock whose exchange is called off once it reaches `stop_at_ms` (a window closed then).
class StoppingClock : public VirtualClock {
 public:
  explicit StoppingClock(uint64_t stop_at_ms) : stop_at_ms_(stop_at_ms) {}
  bool Stopped() override { return now_ms >= stop_at_ms_; }

 private:
  uint64_t stop_at_ms_;
};

TEST(CalledOff, ExchangeStopsAtOnceAndSendsNothingMore) {
  const struct {
    const char* behaviour;
    uint64_t stop_at_ms;
    int frames;  // frames of an upload of three timers before the stop; -1: device info
    size_t writes;
    uint64_t ends_by_ms;
  } cases[] = {
      {"device info, silent logger, closed at 300 ms", 300, -1, 1, 10 + 300 + 100},
      {"device info, closed before it began", 0, -1, 0, 0},
      {"upload, closed during the second pause", 300, 2, 2, 400},
      {"upload, closed before it began", 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    StoppingClock clock(c.stop_at_ms);
    LoopbackPort port(&clock);
    int rc;
    if (c.frames < 0) {
      DeviceInfo info;
      int32_t failed = 0;
      rc = QueryDeviceInfo(&port, &info, &failed, &clock);
    } else {
      TIMERSETTINGS t = DefaultTimerSettings();
      TIMERSETTINGS* list[] = {&t, &t, &t};
      int error = 0;
      rc = UploadAddedTimers(&port, list, 3, nullptr, &error, &clock);
    }
    EXPECT_TRUE(rc == kExchangeStopped || rc == -2) << c.behaviour << ": " << rc;
    EXPECT_EQ(port.writes.size(), c.writes) << c.behaviour;
    EXPECT_LE(clock.now_ms, c.ends_by_ms) << c.behaviour;
  }
}

}  // namespace
}  // namespace zt::test

#include "device/call_off.h"

namespace zt::test {
namespace {

// The window's thread calls the upload off right after frame `k` (from the progress, which
// the worker calls between frames): nothing more reaches the line, and the pause after that
// frame ends at once.
TEST(CallOff, NoFrameReachesTheLineOnceStopHasReturned) {
  for (int k : {0, 1, 3}) {
    VirtualClock clock;
    LoopbackPort line(&clock);
    CallOff call(&line, &clock);
    TIMERSETTINGS t = DefaultTimerSettings();
    TIMERSETTINGS* list[] = {&t, &t, &t};
    int error = 0;
    const int rc = UploadAddedTimers(call.port(), list, 3,
                                     [&](int done, int) {
                                       if (done == k) call.Stop();
                                     },
                                     &error, call.clock());
    EXPECT_EQ(rc, kExchangeStopped) << "stopped after frame " << k;
    EXPECT_EQ(line.writes.size(), static_cast<size_t>(k)) << "stopped after frame " << k;
    EXPECT_EQ(clock.now_ms, 200u * static_cast<unsigned>(std::max(k - 1, 0)))
        << "stopped after frame " << k;
  }
}

}  // namespace
}  // namespace zt::test
