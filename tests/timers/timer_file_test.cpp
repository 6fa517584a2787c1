// TIMERS.DAT: writing the list, reading it back for an upload, refusing malformed files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/time.h"
#include "timers/timer_file.h"
#include "timers/timer_values.h"

namespace zt {
namespace {

std::string TempDir() {
  const char* t = std::getenv("TMPDIR");
  std::string dir = t && *t ? t : "/tmp";
#ifdef _WIN32
  if (!t) dir = ".";
#endif
  return dir;
}

std::string UniquePath(const char* name) {
  static int n = 0;
  return TempDir() + "/zt615_timers_" + std::to_string(platform::TickMs()) + "_" +
         std::to_string(n++) + "_" + name;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  platform::File f;
  std::vector<uint8_t> out;
  if (!f.OpenRead(path)) return out;
  out.resize(static_cast<size_t>(f.Size()));
  if (f.Read(out.data(), out.size()) != static_cast<int64_t>(out.size())) out.clear();
  return out;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  platform::File f;
  ASSERT_TRUE(f.Create(path, platform::CreateMode::kAlways));
  ASSERT_TRUE(f.WriteAll(bytes.data(), bytes.size()));
  ASSERT_TRUE(f.Close());
}

TEST(TimerFile, ThreeTimersFillSlots0To2WithIndicesAndZerosAfter) {
  TIMERSETTINGS a = NewAddedTimer(DefaultTimerSettings(), 1000);
  TIMERSETTINGS b = NewAddedTimer(DefaultTimerSettings(), 2000);
  TIMERSETTINGS c = NewAddedTimer(DefaultTimerSettings(), 3000);
  SetTimerName(&b, "second");
  a.timer_index = 7;  // stale values are replaced by the slot numbers
  c.timer_index = -1;
  TIMERSETTINGS* list[] = {&a, &b, &c};
  const std::string path = UniquePath("TIMERS.DAT");
  int error = 0;
  ASSERT_TRUE(SaveTimerFile(path, list, 3, &error)) << platform::ErrorText(error);
  // The list's records hold their new indices.
  EXPECT_EQ(a.timer_index, 0);
  EXPECT_EQ(b.timer_index, 1);
  EXPECT_EQ(c.timer_index, 2);

  const std::vector<uint8_t> bytes = ReadAll(path);
  ASSERT_EQ(bytes.size(), 4096u);
  for (int slot = 0; slot < 3; ++slot) {
    const uint8_t* p = bytes.data() + 128 * slot;
    EXPECT_EQ(p[0], 128) << slot;           // record_size
    EXPECT_EQ(p[4], slot) << slot;          // timer_index
    EXPECT_EQ(p[5] | p[6] | p[7], 0) << slot;
    EXPECT_EQ(p[40] | p[41] << 8, 1000 * (slot + 1)) << slot;  // start_time, low bytes
  }
  EXPECT_EQ(std::memcmp(bytes.data() + 128 + 8, "second", 7), 0);
  for (size_t i = 384; i < 4096; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;

  std::vector<TIMERSETTINGS> back;
  std::string why;
  ASSERT_TRUE(ReadTimerFile(path, &back, &why)) << why;
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[1].timer_index, 1);
  EXPECT_STREQ(back[1].timer_name, "second");
  EXPECT_EQ(back[2].start_time, 3000);
  platform::RemoveFile(path);
}

TEST(TimerFile, ReplacesAnExistingFile) {
  const std::string path = UniquePath("TIMERS.DAT");
  WriteBytes(path, std::vector<uint8_t>(10000, 0xAA));
  TIMERSETTINGS a = DefaultTimerSettings();
  TIMERSETTINGS* list[] = {&a};
  int error = 0;
  ASSERT_TRUE(SaveTimerFile(path, list, 1, &error));
  const std::vector<uint8_t> bytes = ReadAll(path);
  ASSERT_EQ(bytes.size(), 4096u);
  EXPECT_EQ(bytes[128], 0);
  platform::RemoveFile(path);
}

TEST(TimerFile, MoreThan31TimersWriteOnly31AndKeepSlot31Empty) {
  std::vector<TIMERSETTINGS> timers(40, DefaultTimerSettings());
  std::vector<TIMERSETTINGS*> list;
  for (auto& t : timers) list.push_back(&t);
  const std::string path = UniquePath("TIMERS.DAT");
  int error = 0;
  ASSERT_TRUE(SaveTimerFile(path, list.data(), 40, &error));
  const std::vector<uint8_t> bytes = ReadAll(path);
  ASSERT_EQ(bytes.size(), 4096u);
  EXPECT_EQ(bytes[30 * 128], 128);
  EXPECT_EQ(bytes[30 * 128 + 4], 30);
  for (size_t i = 31 * 128; i < 4096; ++i) ASSERT_EQ(bytes[i], 0) << i;
  platform::RemoveFile(path);
}

TEST(TimerFile, UnwritablePathIsReportedWithTheSystemErrorAndLeavesNoFile) {
  const std::string dir = UniquePath("missing_dir");
  const std::string path = dir + "/TIMERS.DAT";
  TIMERSETTINGS a = DefaultTimerSettings();
  TIMERSETTINGS* list[] = {&a};
  int error = 0;
  EXPECT_FALSE(SaveTimerFile(path, list, 1, &error));
  EXPECT_NE(error, 0);
  EXPECT_FALSE(platform::ErrorText(error).empty());
  EXPECT_FALSE(platform::FileExists(path));
}

std::vector<uint8_t> GoodFile(int timers) {
  std::vector<uint8_t> bytes(4096, 0);
  for (int i = 0; i < timers; ++i) {
    TIMERSETTINGS t = DefaultTimerSettings();
    t.timer_index = i;
    EncodeTimerSettings(t, bytes.data() + 128 * i);
  }
  return bytes;
}

TEST(TimerFileReader, RefusesMalformedFilesWithAMessage) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* message_part;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}, "0 bytes"});
  cases.push_back({"one byte short", std::vector<uint8_t>(4095, 0), "4095 bytes"});
  cases.push_back({"one byte long", std::vector<uint8_t>(4097, 0), "4097 bytes"});
  {
    auto b = GoodFile(2);
    b[128] = 64;  // slot 1 record_size 64
    cases.push_back({"bad record size", b, "slot 1: record size 64"});
  }
  {
    auto b = GoodFile(1);
    b[128 + 50] = 1;  // empty slot 1 with a stray byte
    cases.push_back({"dirty empty slot", b, "slot 1"});
  }
  {
    auto b = GoodFile(0);
    TIMERSETTINGS t = DefaultTimerSettings();
    EncodeTimerSettings(t, b.data() + 128 * 2);  // slot 2 used after empty slots 0 and 1
    cases.push_back({"gap", b, "slot 2"});
  }
  {
    auto b = GoodFile(32);
    cases.push_back({"slot 31 used", b, "slot 31"});
  }
  {
    auto b = GoodFile(1);
    std::memset(b.data() + 8, 'A', 32);  // no NUL in the name
    cases.push_back({"name without NUL", b, "slot 0"});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<TIMERSETTINGS> out(1);
    std::string why;
    EXPECT_FALSE(ParseTimerFile(c.bytes.data(), c.bytes.size(), &out, &why));
    EXPECT_NE(why.find(c.message_part), std::string::npos) << why;
    EXPECT_EQ(out.size(), 1u);  // untouched
  }
}

TEST(TimerFileReader, AcceptsAnEmptyListAndAFullOne) {
  for (int n : {0, 1, 31}) {
    const auto b = GoodFile(n);
    std::vector<TIMERSETTINGS> out;
    std::string why;
    ASSERT_TRUE(ParseTimerFile(b.data(), b.size(), &out, &why)) << why;
    EXPECT_EQ(out.size(), static_cast<size_t>(n));
  }
}

TEST(TimerFileReader, MissingFileGivesTheSystemText) {
  std::vector<TIMERSETTINGS> out;
  std::string why;
  EXPECT_FALSE(ReadTimerFile(UniquePath("nothing_here.DAT"), &out, &why));
  EXPECT_FALSE(why.empty());
}

}  // namespace
}  // namespace zt
