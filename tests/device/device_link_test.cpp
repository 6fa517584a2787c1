// The protocol against the simulated logger over a real serial line: a pseudo-terminal
// natively, a COM port mapped onto one under Wine. The ports come from the environment:
//   ZT_TEST_PORT         a logger that answers properly (started with the values below)
//   ZT_TEST_FAULTY_PORT  a logger with one fault per query code (see the cases)
// Without them the tests are skipped, so it has no ctest entry of its own: the runner
// entries of the native build (device_link_pty, device_link_wine) start the simulators, set
// them, and fail a run in which the cases were skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "device/device_ops.h"
#include "device/ports.h"
#include "device/protocol.h"
#include "platform/file.h"
#include "platform/serial_port.h"
#include "platform/time.h"

namespace zt {
namespace {

std::unique_ptr<platform::SerialPort> Open(const char* env) {
  const char* name = std::getenv(env);
  if (!name || !*name) return nullptr;
  int error = 0;
  std::unique_ptr<platform::SerialPort> p;
  const std::string s = name;
  if (s.size() > 3 && s.compare(0, 3, "COM") == 0)
    p = OpenComPort(static_cast<uint32_t>(std::atoi(s.c_str() + 3)), &error);
  else
    p = platform::OpenSerialPort(s, &error);
  EXPECT_NE(p, nullptr) << s << ": " << platform::ErrorText(error);
  return p;
}

// Reads up to the end of one reply (its CR) that the logger still owes, so that it cannot
// arrive after the next test has opened the port and stand in front of that test's reply.
// Bounded: a logger slowed by a loaded machine gets seconds, not for ever.
void TakeTheOwedReply(platform::SerialPort* port) {
  const uint64_t t0 = platform::TickMs();
  char c = 0;
  while (platform::TickMs() - t0 < 6000) {
    if (port->Read(&c, 1) == 1 && c == '\r') return;
  }
  ADD_FAILURE() << "the logger never sent the reply it owed";
}

// Discards whatever the logger still sends until the line has been quiet for 500 ms: for a
// reply that may have come with the one before it or may still be on its way.
void DrainUntilQuiet(platform::SerialPort* port) {
  char buf[256];
  const uint64_t t0 = platform::TickMs();
  uint64_t last = t0;
  while (platform::TickMs() - last < 500 && platform::TickMs() - t0 < 6000) {
    if (port->Read(buf, sizeof buf) > 0) last = platform::TickMs();
  }
}

#define OPEN_OR_SKIP(var, env)                                   \
  if (!std::getenv(env)) GTEST_SKIP() << env << " is not set";    \
  auto var = Open(env);                                           \
  ASSERT_NE(var, nullptr)

// The good logger runs with --device-id 4242 --temperature 7.5 --battery 12.25
// --tilt-x 1.5 --tilt-y -2.25 --sd-free 4294967296 --clock-offset -3600.
TEST(DeviceLink, EveryQueryIsAnswered) {
  OPEN_OR_SKIP(port, "ZT_TEST_PORT");
  DeviceInfo info;
  int32_t failed = 0;
  ASSERT_EQ(QueryDeviceInfo(port.get(), &info, &failed), 0) << "failed at " << failed;
  EXPECT_EQ(info.device_id, 4242);
  EXPECT_EQ(info.temperature, 7.5f);
  EXPECT_EQ(info.battery, 12.25f);
  EXPECT_EQ(info.tilt.x, 1.5f);
  EXPECT_EQ(info.tilt.y, -2.25f);
  EXPECT_EQ(info.sd.present, 1);
  EXPECT_EQ(info.sd.free_high, 1u);
  EXPECT_EQ(info.sd.free_low, 0u);
  const auto lines = DeviceInfoLines(info);
  EXPECT_EQ(lines[1], "Device ID: 004242");
  EXPECT_EQ(lines[6], "SD card free space: 4294967296 Bytes");
}

TEST(DeviceLink, SetClockMovesTheDeviceClockToTheHostClock) {
  OPEN_OR_SKIP(port, "ZT_TEST_PORT");
  uint32_t before = 0, after = 0;
  ASSERT_EQ(ZR615_GetData(port.get(), GET_CLOCK, &before), 0);
  const int64_t host = platform::NowUtcSeconds();
  // Started an hour behind, unless an earlier run has set it already.
  EXPECT_TRUE(std::llabs(static_cast<int64_t>(before) - (host - 3600)) <= 2 ||
              std::llabs(static_cast<int64_t>(before) - host) <= 2)
      << before << " vs host " << host;
  EXPECT_EQ(ZR615_SendCommand(port.get(), SET_CLOCK, nullptr), 0);
  ASSERT_EQ(ZR615_GetData(port.get(), GET_CLOCK, &after), 0);
  EXPECT_LE(std::llabs(static_cast<int64_t>(after) - platform::NowUtcSeconds()), 2);
}

// The faulty logger: wrong-magic:100, wrong-code:101, delay:102:2500, garbage:103, short:104,
// no-reply:105, no-cr:106, flood:107:1000, split:109:150.
struct FaultCase {
  const char* name;
  int32_t code;
  int expected;
};

class FaultyLogger : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultyLogger, QueryGivesTheDocumentedResult) {
  const FaultCase& c = GetParam();
  OPEN_OR_SKIP(port, "ZT_TEST_FAULTY_PORT");
  uint32_t storage[3] = {0xAAAAAAAA, 0xBBBBBBBB, 0xCCCCCCCC};
  const uint64_t t0 = platform::TickMs();
  EXPECT_EQ(ZR615_GetData(port.get(), c.code, storage), c.expected);
  EXPECT_LT(platform::TickMs() - t0, 5000u);  // loose: nothing hangs
  if (c.expected != 0) {
    EXPECT_EQ(storage[0], 0xAAAAAAAAu);
    EXPECT_EQ(storage[1], 0xBBBBBBBBu);
    EXPECT_EQ(storage[2], 0xCCCCCCCCu);
  }
  if (c.expected == -2 && c.code == GET_TEMPERATURE) TakeTheOwedReply(port.get());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultyLogger,
    ::testing::Values(FaultCase{"WrongMagic", GET_CLOCK, -1},
                      FaultCase{"WrongEchoedCode", GET_TILT, -1},
                      FaultCase{"GarbageBeforeTheReply", GET_BATTERY, -1},
                      FaultCase{"ShorterThanTheResultWords", GET_SD_CARD, -1},
                      FaultCase{"DeadDevice", 105, -2},
                      FaultCase{"ReplyWithoutCr", 106, -2},
                      FaultCase{"FloodWithoutCr", 107, -2},
                      // Last: its late reply would stand in front of the next query's.
                      FaultCase{"DelayedPastTheDeadline", GET_TEMPERATURE, -2}),
    [](const ::testing::TestParamInfo<FaultCase>& i) { return std::string(i.param.name); });

TEST(DeviceLink, ReplySplitOverSeveralWritesIsGathered) {
  OPEN_OR_SKIP(port, "ZT_TEST_FAULTY_PORT");
  int32_t id = 0;
  EXPECT_EQ(ZR615_GetData(port.get(), GET_DEVICE_ID, &id), 0);
  EXPECT_EQ(id, 123456);
}

TEST(DeviceLink, StaleReplyInFrontOfTheNextOneGivesMinusOne) {
  OPEN_OR_SKIP(port, "ZT_TEST_FAULTY_PORT");
  float temperature = 0;
  ASSERT_EQ(ZR615_GetData(port.get(), GET_TEMPERATURE, &temperature), -2);
  // The late temperature reply arrives while the next query waits, ahead of its reply.
  int32_t id = 77;
  EXPECT_EQ(ZR615_GetData(port.get(), GET_DEVICE_ID, &id), -1);
  EXPECT_EQ(id, 77);
  DrainUntilQuiet(port.get());  // the device id's own reply, unless it came with the stale one
}

TEST(DeviceLink, OpeningThePortDiscardsWhatWasLeftOnTheLine) {
  {
    OPEN_OR_SKIP(port, "ZT_TEST_FAULTY_PORT");
    float temperature = 0;
    ASSERT_EQ(ZR615_GetData(port.get(), GET_TEMPERATURE, &temperature), -2);
    // The late reply is due 500 ms after the deadline; the margin is for a loaded machine.
    platform::SleepMs(1500);
  }
  auto port = Open("ZT_TEST_FAULTY_PORT");
  ASSERT_NE(port, nullptr);
  int32_t id = 0;
  EXPECT_EQ(ZR615_GetData(port.get(), GET_DEVICE_ID, &id), 0);
  EXPECT_EQ(id, 123456);
}

}  // namespace
}  // namespace zt
