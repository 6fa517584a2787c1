// Opening a serial port: a path that is not a serial line is refused with the system's
// error code, never handed out as a port whose settings did not take; which names a user
// types stand for a COM port.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/file.h"
#include "platform/serial_port.h"
#include "tests/logfile/logged_file_builder.h"

namespace zt {
namespace {

TEST(OpenSerialPort, PathThatIsNotASerialLineFailsWithTheSystemsCode) {
  test::TempDir dir;
  test::WriteAll(dir.Path("plain-file"), "x");
  const struct {
    std::string path;
    int expected;  // 0: any code but 0
  } cases[] = {
      {dir.Path("no-such-port"), 0},
#ifdef _WIN32
      {dir.Path("plain-file"), 0},  // the line settings are refused
#else
      {dir.Path("plain-file"), ENOTTY},
      {"/dev/null", ENOTTY},
#endif
  };
  for (const auto& c : cases) {
    int error = 0;
    EXPECT_EQ(platform::OpenSerialPort(c.path, &error), nullptr) << c.path;
    EXPECT_TRUE(c.expected ? error == c.expected : error != 0)
        << c.path << ": " << error << " " << platform::ErrorText(error);
  }
}

TEST(ComPortNumber, OnlyTheLettersComAndOneWholeNumberNameAPort) {
  const struct {
    const char* name;
    uint32_t number;
  } cases[] = {
      {"COM3", 3}, {"com12", 12}, {"cOm 7", 7}, {"COM+4", 4}, {"COM2147483646", 2147483646u},
      // Paths, not port names:
      {"COM", 0}, {"COM0", 0}, {"COM-1", 0}, {"COM3a", 0}, {"COMX", 0}, {"xCOM3", 0},
      {"COM2147483647", 0}, {"COM99999999999999999999", 0}, {"\\\\.\\COM3", 0},
      {"/dev/ttyUSB0", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::ComPortNumber(c.name), c.number) << c.name;
}

}  // namespace
}  // namespace zt
