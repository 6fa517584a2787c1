// ZR615_SendCommand and ZR615_GetData over a loopback port: the exact lines on the wire,
// the reply rules, and the faults a serial line can bring.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "device/protocol.h"
#include "platform/le_bytes.h"
#include "platform/time.h"
#include "tests/device/loopback_port.h"
#include "timers/timer_values.h"

namespace zt {
namespace {

using test::DecodeLine;
using test::FloatBits;
using test::LoopbackPort;
using test::ReplyLine;
using test::VirtualClock;

// A port on virtual time: the query's pause and deadline cost nothing and are exact.
struct VirtualLine {
  VirtualClock clock;
  LoopbackPort port{&clock};
  int GetData(int32_t code, void* result) { return ZR615_GetData(&port, code, result, &clock); }
};

// On the system clock, as the programs run it.
TEST(QueryLine, ClockQueryIsSeventeenExactBytes) {
  LoopbackPort port;
  port.Queue(0, ReplyLine(GET_CLOCK, {5}));
  uint32_t clock = 0;
  ASSERT_EQ(ZR615_GetData(&port, GET_CLOCK, &clock), 0);
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(port.writes[0], std::string("Q01ORGQAAAAAAAAA\r"));
  const std::vector<uint8_t> frame = DecodeLine(port.writes[0].substr(0, 16));
  const std::vector<uint8_t> expect = {0x43, 0x4D, 0x4E, 0x44, 0x64, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(frame, expect);
}

TEST(CommandLine, PreambleIs185BytesWithAZeroPayload) {
  LoopbackPort port;
  EXPECT_EQ(ZR615_SendCommand(&port, UPLOAD_PREAMBLE_1, nullptr), 0);
  ASSERT_EQ(port.writes.size(), 1u);
  const std::string& line = port.writes[0];
  ASSERT_EQ(line.size(), 185u);
  EXPECT_EQ(line.back(), '\r');
  EXPECT_EQ(line.substr(180), "AA==\r");
  const std::vector<uint8_t> frame = DecodeLine(line.substr(0, 184));
  ASSERT_EQ(frame.size(), 138u);  // 46 groups; padding never shortens
  EXPECT_EQ(std::memcmp(frame.data(), "CMND", 4), 0);
  EXPECT_EQ(LoadI32(frame.data() + 4), 4);
  for (size_t i = 8; i < 138; ++i) EXPECT_EQ(frame[i], 0) << i;
}

TEST(CommandLine, TimerCommandsCarryTheRecordAndNothingIsRead) {
  for (int32_t code : {ADD_TIMER, SET_DEFAULT_TIMER}) {
    LoopbackPort port;
    port.Queue(0, "unread\r");
    TIMERSETTINGS t = DefaultTimerSettings();
    SetTimerName(&t, "Night");
    t.timer_index = 2;
    EXPECT_EQ(ZR615_SendCommand(&port, code, &t), 0);
    ASSERT_EQ(port.writes.size(), 1u);
    const std::vector<uint8_t> frame = DecodeLine(port.writes[0].substr(0, 184));
    EXPECT_EQ(LoadI32(frame.data() + 4), code);
    uint8_t expect[128];
    EncodeTimerSettings(t, expect);
    EXPECT_EQ(std::memcmp(frame.data() + 8, expect, 128), 0);
    EXPECT_EQ(port.bytes_handed_out, 0u);
  }
}

TEST(CommandLine, SetClockCarriesTheHostTimeAs64Bits) {
  LoopbackPort port;
  const int64_t before = platform::NowUtcSeconds();
  ZR615_SendCommand(&port, SET_CLOCK, nullptr);
  const int64_t after = platform::NowUtcSeconds();
  const std::vector<uint8_t> frame = DecodeLine(port.writes.at(0).substr(0, 184));
  const int64_t sent = static_cast<int64_t>(LoadU64(frame.data() + 8));
  EXPECT_GE(sent, before);
  EXPECT_LE(sent, after);
  for (size_t i = 16; i < 136; ++i) EXPECT_EQ(frame[i], 0) << i;
}

TEST(GetData, EveryQueryStoresItsResultWords) {
  {
    VirtualLine line;
    line.port.Queue(0, ReplyLine(GET_CLOCK, {0xFFFFFFFEu}));
    uint32_t clock = 0;
    ASSERT_EQ(line.GetData(GET_CLOCK, &clock), 0);
    EXPECT_EQ(clock, 0xFFFFFFFEu);
  }
  {
    VirtualLine line;
    line.port.Queue(0, ReplyLine(GET_TILT, {FloatBits(1.5f), FloatBits(-2.25f)}));
    TiltResult tilt{0, 0};
    ASSERT_EQ(line.GetData(GET_TILT, &tilt), 0);
    EXPECT_EQ(tilt.x, 1.5f);
    EXPECT_EQ(tilt.y, -2.25f);
  }
  for (int32_t code : {GET_TEMPERATURE, GET_BATTERY}) {
    VirtualLine line;
    line.port.Queue(0, ReplyLine(code, {FloatBits(12.75f)}));
    float v = 0;
    ASSERT_EQ(line.GetData(code, &v), 0);
    EXPECT_EQ(v, 12.75f);
  }
  {
    VirtualLine line;
    line.port.Queue(0, ReplyLine(GET_SD_CARD, {1, 1, 0}));
    SdCardResult sd{0, 0, 0};
    ASSERT_EQ(line.GetData(GET_SD_CARD, &sd), 0);
    EXPECT_EQ(sd.present, 1);
    EXPECT_EQ(sd.free_high, 1u);
    EXPECT_EQ(sd.free_low, 0u);
    EXPECT_EQ(sd.free_bytes(), 4294967296ull);
  }
  {
    VirtualLine line;
    line.port.Queue(0, ReplyLine(GET_DEVICE_ID, {static_cast<uint32_t>(-7)}));
    int32_t id = 0;
    ASSERT_EQ(line.GetData(GET_DEVICE_ID, &id), 0);
    EXPECT_EQ(id, -7);
  }
}

// Replies that do not match leave the caller's storage as it was. A query pauses 10 ms
// before its first read, so a reply waiting on the line ends it at 10 ms, and a line that
// stays silent or never ends ends it at the deadline, 2 s after that pause.
TEST(GetData, BadRepliesGiveTheirResultAndLeaveTheStorage) {
  const struct {
    const char* name;
    int32_t code;
    std::vector<LoopbackPort::Chunk> chunks;
    int expected;
    uint64_t end_ms;
  } cases[] = {
      {"wrong magic", GET_CLOCK, {{0, ReplyLine(GET_CLOCK, {1}, "CMNE")}}, -1, 10},
      {"echo of another code", GET_CLOCK, {{0, ReplyLine(GET_TILT, {1, 2})}}, -1, 10},
      {"garbage before the reply", GET_CLOCK, {{0, "xx" + ReplyLine(GET_CLOCK, {1})}}, -1, 10},
      {"stale reply to an earlier query in front",
       GET_CLOCK,
       {{0, ReplyLine(GET_TILT, {1, 2}) + ReplyLine(GET_CLOCK, {1})}},
       -1,
       10},
      {"only magic and code", GET_CLOCK, {{0, ReplyLine(GET_CLOCK, {})}}, -1, 10},
      {"18 bytes for three words", GET_SD_CARD,
       {{0, ReplyLine(GET_SD_CARD, {1, 2, 3}).substr(0, 24) + "\r"}}, -1, 10},
      {"empty line", GET_CLOCK, {{0, "\r"}}, -1, 10},
      {"line without CR", GET_CLOCK, {{0, ReplyLine(GET_CLOCK, {1}).substr(0, 16)}}, -2, 2010},
      {"flood without CR", GET_CLOCK, {{0, std::string(300, 'A')}}, -2, 10},
      {"flood in small pieces", GET_CLOCK,
       {{0, std::string(150, 'A')}, {50, std::string(150, 'B')}, {100, "\r"}}, -2, 50},
      {"nothing at all", GET_CLOCK, {}, -2, 2010},
      {"reply after the deadline", GET_CLOCK, {{2400, ReplyLine(GET_CLOCK, {1})}}, -2, 2010},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualLine line;
    for (const auto& ch : c.chunks) line.port.Queue(ch.due_ms, ch.bytes);
    uint32_t storage[3] = {0xAAAAAAAA, 0xBBBBBBBB, 0xCCCCCCCC};
    EXPECT_EQ(line.GetData(c.code, storage), c.expected);
    EXPECT_EQ(line.clock.now_ms, c.end_ms);
    EXPECT_EQ(storage[0], 0xAAAAAAAAu);
    EXPECT_EQ(storage[1], 0xBBBBBBBBu);
    EXPECT_EQ(storage[2], 0xCCCCCCCCu);
    EXPECT_LE(line.port.largest_read_request, 200u);
    EXPECT_LE(line.port.bytes_handed_out, 255u);
  }
}

// The deadline counts 2 s from the first read, which follows the 10 ms pause: a reply due
// at 2009 ms is read in time, one due at 2010 ms is too late.
TEST(GetData, ReplyIsAcceptedOnlyBeforeTheDeadline) {
  const struct {
    unsigned due_ms;  // of the whole reply, after the query went out
    int expected;
    uint64_t end_ms;
  } cases[] = {
      {0, 0, 10},       {10, 0, 10},      {1500, 0, 1500},  {2009, 0, 2009},
      {2010, -2, 2010}, {2400, -2, 2010},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.due_ms);
    VirtualLine line;
    line.port.Queue(c.due_ms, ReplyLine(GET_CLOCK, {3}));
    uint32_t clock = 0;
    EXPECT_EQ(line.GetData(GET_CLOCK, &clock), c.expected);
    EXPECT_EQ(clock, c.expected == 0 ? 3u : 0u);
    EXPECT_EQ(line.clock.now_ms, c.end_ms);
  }
}

TEST(GetData, ReplyInSeveralReadsIsGatheredUntilAReadEndsWithCr) {
  const std::string reply = ReplyLine(GET_TILT, {FloatBits(3.0f), FloatBits(4.0f)});
  VirtualLine line;
  line.port.Queue(0, reply.substr(0, 5));
  line.port.Queue(300, reply.substr(5, 10));
  line.port.Queue(1200, reply.substr(15));
  TiltResult tilt{0, 0};
  ASSERT_EQ(line.GetData(GET_TILT, &tilt), 0);
  EXPECT_EQ(tilt.x, 3.0f);
  EXPECT_EQ(tilt.y, 4.0f);
  EXPECT_EQ(line.clock.now_ms, 1200u);
}

TEST(GetData, CrFollowedByMoreBytesInTheSameReadDoesNotCompleteTheReply) {
  // The first read ends in "XY", so the query reads on; the second read ends with CR and
  // everything is decoded from the first byte, whose first four groups are the reply.
  VirtualLine line;
  line.port.Queue(0, ReplyLine(GET_CLOCK, {77}) + "XY");
  line.port.Queue(400, "Z\r");
  uint32_t clock = 0;
  ASSERT_EQ(line.GetData(GET_CLOCK, &clock), 0);
  EXPECT_EQ(clock, 77u);
  EXPECT_EQ(line.port.bytes_handed_out, 17u + 2 + 2);
  EXPECT_EQ(line.clock.now_ms, 400u);
}

TEST(GetData, UnknownCodeWithMatchingEchoSucceedsAndWritesNothing) {
  VirtualLine line;
  line.port.Queue(0, ReplyLine(107, {1, 2, 3}));
  uint32_t storage = 0x12345678;
  EXPECT_EQ(line.GetData(107, &storage), 0);
  EXPECT_EQ(storage, 0x12345678u);
}

TEST(GetData, ExtraBytesAfterTheWordsAreIgnored) {
  VirtualLine line;
  line.port.Queue(0, ReplyLine(GET_CLOCK, {9, 10, 11}));
  uint32_t storage[2] = {0, 0xDDDDDDDD};
  EXPECT_EQ(line.GetData(GET_CLOCK, storage), 0);
  EXPECT_EQ(storage[0], 9u);
  EXPECT_EQ(storage[1], 0xDDDDDDDDu);
}

// Whatever the line brings, a query ends with one of its three results, never hands out
// more than the buffer holds and never asks a read for more room than is left.
TEST(GetData, RandomRepliesNeverOverrunTheBuffer) {
  std::mt19937 rng(615);
  const std::string alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=\r\n\x00\xff";
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    VirtualLine line;
    LoopbackPort& port = line.port;
    std::string bytes;
    const size_t length = rng() % 420;
    for (size_t i = 0; i < length; ++i) bytes += alphabet[rng() % alphabet.size()];
    if (round % 3 == 0) bytes = ReplyLine(GET_SD_CARD, {static_cast<uint32_t>(rng()), static_cast<uint32_t>(rng()),
                                                 static_cast<uint32_t>(rng())}).substr(0, rng() % 29) + bytes;
    // End quickly: a CR within the buffer, or more bytes than it holds.
    if (bytes.size() < 255) bytes += '\r';
    size_t pos = 0;
    unsigned due = 0;
    while (pos < bytes.size()) {
      const size_t n = 1 + rng() % 90;
      port.Queue(due, bytes.substr(pos, n));
      pos += n;
      due += rng() % 3;
    }
    uint32_t storage[3] = {1, 2, 3};
    const int rc = line.GetData(GET_SD_CARD, storage);
    EXPECT_TRUE(rc == 0 || rc == -1 || rc == -2) << rc;
    EXPECT_LE(port.bytes_handed_out, 255u);
    EXPECT_LE(port.largest_read_request, 200u);
    if (rc != 0) {
      EXPECT_EQ(storage[0], 1u);
    }
  }
}

}  // namespace
}  // namespace zt
