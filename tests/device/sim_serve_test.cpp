// The simulated logger's answers, state and faults, without a terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "device/protocol.h"
#include "platform/le_bytes.h"
#include "tests/device/loopback_port.h"
#include "timers/timer_values.h"
#include "tools/logger_sim/serve_device.h"
#include "tools/logger_sim/serve_pty.h"

namespace zt::sim {
namespace {

std::string QueryText(int32_t code) {
  char line[32];
  BuildQueryLine(code, line);
  return std::string(line, 16);
}

std::string CommandText(int32_t code, const uint8_t* payload) {
  char line[256];
  BuildCommandLine(code, payload, line);
  return std::string(line, 184);
}

const int64_t kNowMs = 1700000000000;

TEST(SimLogger, AnswersEachQueryWithItsWords) {
  LoggerState s;
  s.device_id = 99;
  s.sd_free = 0x100000005ull;
  SimLogger logger(s, {});
  std::string log;
  auto pieces = logger.HandleLine(QueryText(GET_SD_CARD), kNowMs, &log);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].after_ms, 0u);
  EXPECT_EQ(pieces[0].bytes, test::ReplyLine(GET_SD_CARD, {1, 1, 5}));
  EXPECT_NE(log.find("\"code\": 104"), std::string::npos) << log;
  pieces = logger.HandleLine(QueryText(GET_DEVICE_ID), kNowMs, &log);
  EXPECT_EQ(pieces.at(0).bytes, test::ReplyLine(GET_DEVICE_ID, {99}));
  pieces = logger.HandleLine(QueryText(GET_CLOCK), kNowMs, &log);
  EXPECT_EQ(pieces.at(0).bytes, test::ReplyLine(GET_CLOCK, {1700000000u}));
}

TEST(SimLogger, SetClockMovesItsClockAndCommandsAreNotAnswered) {
  SimLogger logger(LoggerState{}, {});
  uint8_t payload[128] = {};
  StoreU64(payload, 1800000000ull);
  std::string log;
  EXPECT_TRUE(logger.HandleLine(CommandText(SET_CLOCK, payload), kNowMs, &log).empty());
  EXPECT_NE(log.find("\"clock\": 1800000000"), std::string::npos) << log;
  auto pieces = logger.HandleLine(QueryText(GET_CLOCK), kNowMs + 5000, &log);
  EXPECT_EQ(pieces.at(0).bytes, test::ReplyLine(GET_CLOCK, {1800000005u}));
}

TEST(SimLogger, KeepsUploadedTimersByIndexAndTheDefault) {
  SimLogger logger(LoggerState{}, {});
  uint8_t zero[128] = {}, rec[128];
  std::string log;
  logger.HandleLine(CommandText(UPLOAD_PREAMBLE_1, zero), kNowMs, &log);
  logger.HandleLine(CommandText(UPLOAD_PREAMBLE_2, zero), kNowMs, &log);
  for (int i = 0; i < 2; ++i) {
    TIMERSETTINGS t = DefaultTimerSettings();
    t.timer_index = i;
    SetTimerName(&t, i == 0 ? "A" : "B");
    EncodeTimerSettings(t, rec);
    EXPECT_TRUE(logger.HandleLine(CommandText(ADD_TIMER, rec), kNowMs, &log).empty());
  }
  EXPECT_NE(log.find("\"timer_index\": 1, \"timer_name\": \"B\""), std::string::npos) << log;
  TIMERSETTINGS d = DefaultTimerSettings();
  EncodeTimerSettings(d, rec);
  logger.HandleLine(CommandText(SET_DEFAULT_TIMER, rec), kNowMs, &log);
  ASSERT_EQ(logger.state().timers.size(), 2u);
  EXPECT_STREQ(logger.state().timers[1].timer_name, "B");
  EXPECT_TRUE(logger.state().has_default_timer);
}

TEST(SimLogger, LinesThatAreNotFramesAreLoggedAndIgnored) {
  SimLogger logger(LoggerState{}, {});
  std::string log;
  for (const char* line : {"", "hello", "QUJD", "Q01OREQAAAAAAA"}) {
    EXPECT_TRUE(logger.HandleLine(line, kNowMs, &log).empty()) << line;
    EXPECT_NE(log.find("\"error\""), std::string::npos) << log;
  }
}

TEST(SimLogger, FaultsShapeTheReply) {
  const std::string good = test::ReplyLine(GET_TILT, {0, 0});
  const struct {
    const char* fault;
    size_t pieces;
    std::string joined;  // all pieces together; "" for no reply
    unsigned first_after;
  } cases[] = {
      {"no-reply:101", 0, "", 0},
      {"wrong-magic", 1, test::ReplyLine(GET_TILT, {0, 0}, "CMNX"), 0},
      {"wrong-code:any", 1, test::ReplyLine(GET_CLOCK, {0, 0}), 0},
      {"delay:101:700", 1, good, 700},
      {"garbage:101", 1, "\x01~garbage~" + good, 0},
      {"no-cr:101", 1, good.substr(0, good.size() - 1), 0},
      {"flood:101:300", 1, std::string(300, 'A'), 0},
      {"short:101", 1, test::ReplyLine(GET_TILT, {0}), 0},
      {"split:101:40", 4, good, 0},
      {"no-reply:100", 1, good, 0},  // another code's fault does not apply
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    std::vector<Fault> faults;
    std::string why;
    ASSERT_TRUE(ParseFaults(c.fault, &faults, &why)) << why;
    LoggerState s;
    s.tilt_x = 0;
    s.tilt_y = 0;
    SimLogger logger(s, faults);
    std::string log;
    const auto pieces = logger.HandleLine(QueryText(GET_TILT), kNowMs, &log);
    ASSERT_EQ(pieces.size(), c.pieces);
    std::string joined;
    for (const auto& p : pieces) joined += p.bytes;
    EXPECT_EQ(joined, c.joined);
    if (!pieces.empty()) {
      EXPECT_EQ(pieces[0].after_ms, c.first_after);
    }
    if (c.pieces == 4) {
      EXPECT_EQ(pieces[1].after_ms, 40u);
    }
  }
}

// The hangup fault leaves the reply as it is and marks the line to be dropped after it.
TEST(SimLogger, HangupAnswersItsQueryNormallyThenDropsTheLine) {
  const struct {
    const char* fault;
    int32_t code;
    bool hangs_up;
  } cases[] = {{"hangup:104", GET_SD_CARD, true},
               {"hangup:104", GET_TILT, false},
               {"hangup", GET_CLOCK, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.fault) + " " + std::to_string(c.code));
    std::vector<Fault> faults;
    std::string why, log, plain_log;
    ASSERT_TRUE(ParseFaults(c.fault, &faults, &why)) << why;
    SimLogger logger(LoggerState{}, faults), plain(LoggerState{}, {});
    const auto pieces = logger.HandleLine(QueryText(c.code), kNowMs, &log);
    const auto expected = plain.HandleLine(QueryText(c.code), kNowMs, &plain_log);
    EXPECT_EQ(pieces.at(0).bytes, expected.at(0).bytes);
    EXPECT_EQ(log, plain_log);
    EXPECT_EQ(logger.hanging_up(), c.hangs_up);
  }
  EXPECT_EQ(SimLogger::HangupLog(kNowMs + 125),
            "{\"time\": 1700000000.125, \"event\": \"hangup\"}");
}

TEST(SimLogger, FaultListsAreCheckedWhenParsed) {
  const struct {
    const char* text;
    bool ok;
    size_t count;
  } cases[] = {{"no-reply", true, 1},     {"no-reply:any,delay:102:10", true, 2},
               {"split:109:150", true, 1}, {"", true, 0},
               {"hangup:104", true, 1},    {"hangup:x", false, 0},
               {"explode", false, 0},      {"delay:x", false, 0},
               {"delay:102:-5", false, 0}, {"delay:102:5:6", false, 0}};
  for (const auto& c : cases) {
    std::vector<Fault> f;
    std::string why;
    EXPECT_EQ(ParseFaults(c.text, &f, &why), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(f.size(), c.count) << c.text;
    }
    if (!c.ok) {
      EXPECT_FALSE(why.empty());
    }
  }
}

// A host that stops reading holds a reply only as long as the bound: the write gives up and
// says how much went out, instead of waiting for ever.
TEST(WriteWithin, GivesUpOnAHostThatDoesNotRead) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  fcntl(fds[1], F_SETFL, fcntl(fds[1], F_GETFL) | O_NONBLOCK);
  struct Case {
    size_t size;
    bool all;
  };
  // The pipe's buffer takes the first reply whole; the second cannot fit behind it.
  const Case cases[] = {{1000, true}, {size_t{4} << 20, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    int error = -1;
    const size_t done = WriteWithin(fds[1], std::string(c.size, 'x'), 20, &error);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(done == c.size, c.all) << done;
  }
  close(fds[0]);
  std::signal(SIGPIPE, SIG_IGN);  // as the simulator does: a gone reader is an error, not death
  int error = 0;
  EXPECT_EQ(WriteWithin(fds[1], "y", 20, &error), 0u);  // no reader left at all
  EXPECT_EQ(error, EPIPE);
  close(fds[1]);
}

}  // namespace
}  // namespace zt::sim
