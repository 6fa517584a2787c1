// The serial port table: enumeration from (type, text) pairs, ordering, refresh, paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "device/ports.h"
#include "tests/platform/utf8_cases.h"

namespace zt {
namespace {

using Values = std::vector<platform::RegistryValue>;
constexpr unsigned long kRegDword = 4;
constexpr unsigned long kRegExpandSz = 2;

struct Table {
  PORTENTRY slots[kPortTableSlots] = {};
};

std::vector<std::string> Names(const PORTENTRY* t) {
  std::vector<std::string> out;
  for (int i = 0; i < CountPorts(t); ++i) out.push_back(PortNameUtf8(t[i]));
  return out;
}

std::vector<std::string> Listed(const Values& v) {
  Table t;
  FillPortTable(v, t.slots);
  SortPorts(t.slots);
  return Names(t.slots);
}

TEST(PortTable, SortedByNumberAndShownWithTheSystemText) {
  EXPECT_EQ(Listed({{kRegSz, L"COM3"}, {kRegSz, L"com10"}, {kRegSz, L"COM1"}}),
            (std::vector<std::string>{"COM1", "COM3", "com10"}));
}

TEST(PortTable, EnumerationKeepsTheSystemOrderUntilSorted) {
  Table t;
  FillPortTable({{kRegSz, L"COM3"}, {kRegSz, L"com10"}, {kRegSz, L"COM1"}}, t.slots);
  EXPECT_EQ(Names(t.slots), (std::vector<std::string>{"COM3", "com10", "COM1"}));
  EXPECT_EQ(t.slots[0].port_number, 3u);
  EXPECT_EQ(t.slots[1].port_number, 10u);
  EXPECT_EQ(t.slots[2].port_number, 1u);
}

TEST(PortTable, WhichValuesAreListed) {
  const struct {
    const char* name;
    Values values;
    std::vector<std::string> listed;
  } cases[] = {
      {"not REG_SZ", {{kRegDword, L"COM5"}, {kRegExpandSz, L"COM6"}, {kRegSz, L"COM7"}},
       {"COM7"}},
      {"not beginning with COM", {{kRegSz, L"LPT1"}, {kRegSz, L"CO"}, {kRegSz, L"xCOM2"},
                                  {kRegSz, L"cOm4"}},
       {"cOm4"}},
      {"no number ends the table", {{kRegSz, L"COM2"}, {kRegSz, L"COMX"}, {kRegSz, L"COM1"}},
       {"COM2"}},
      {"COM alone ends the table", {{kRegSz, L"COM"}, {kRegSz, L"COM1"}}, {}},
      {"blanks and sign before the number", {{kRegSz, L"COM 12"}, {kRegSz, L"COM+4"}},
       {"COM+4", "COM 12"}},
      {"digits stop at a non-digit", {{kRegSz, L"COM7a"}, {kRegSz, L"COM12b3"}},
       {"COM7a", "COM12b3"}},
      {"empty list", {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Listed(c.values), c.listed);
  }
}

TEST(PortTable, NumbersAreComparedUnsigned) {
  // "-1" reads as the largest unsigned number and so sorts last.
  EXPECT_EQ(Listed({{kRegSz, L"COM-1"}, {kRegSz, L"COM2"}}),
            (std::vector<std::string>{"COM2", "COM-1"}));
  PORTENTRY a{}, b{};
  a.port_number = 0x80000000u;
  b.port_number = 1;
  EXPECT_EQ(ComparePorts(&a, &b), 1);
  EXPECT_EQ(ComparePorts(&b, &a), -1);
  EXPECT_EQ(ComparePorts(&a, &a), 0);
}

TEST(PortTable, MoreThan255PortsNeverOverrunTheTable) {
  Values v;
  for (int i = 1; i <= 400; ++i) v.push_back({kRegSz, L"COM" + std::to_wstring(i)});
  struct Guarded {
    PORTENTRY slots[kPortTableSlots] = {};
    PORTENTRY guard = {};
  } g;
  g.guard.port_number = 0xDEADBEEF;
  FillPortTable(v, g.slots);
  SortPorts(g.slots);
  EXPECT_EQ(CountPorts(g.slots), 255);
  EXPECT_EQ(g.slots[255].port_number, 0u);
  EXPECT_EQ(g.guard.port_number, 0xDEADBEEFu);
  EXPECT_EQ(PortNameUtf8(g.slots[254]), "COM255");
}

TEST(PortTable, OverlongNameIsCutAndTerminated) {
  Table t;
  FillPortTable({{kRegSz, L"COM9" + std::wstring(400, L'x')}}, t.slots);
  EXPECT_EQ(t.slots[0].port_number, 9u);
  EXPECT_EQ(t.slots[0].port_name[255], L'\0');
  EXPECT_EQ(PortNameUtf8(t.slots[0]).size(), 255u);
}

// The system's text as UTF-16 units, as Windows fills the table: a surrogate pair is one
// character, a lone surrogate U+FFFD.
class PortName : public ::testing::TestWithParam<test::Utf8Case> {};

TEST_P(PortName, IsTheSystemTextInUtf8) {
  PORTENTRY e = {};
  e.port_number = 7;
  const std::u16string& units = GetParam().utf16;
  std::copy(units.begin(), units.end(), e.port_name);
  EXPECT_EQ(PortNameUtf8(e), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(Texts, PortName, ::testing::ValuesIn(test::kWideCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PortRefresh, KeepsTheSelectedPortOrMovesToTheFirst) {
  const struct {
    const char* name;
    Values before;
    int selected;
    Values after;
    int expected;
  } cases[] = {
      {"still present behind new ports", {{kRegSz, L"COM4"}}, 0,
       {{kRegSz, L"COM4"}, {kRegSz, L"COM1"}, {kRegSz, L"COM2"}}, 2},
      {"gone: first port", {{kRegSz, L"COM1"}, {kRegSz, L"COM4"}}, 1,
       {{kRegSz, L"COM7"}, {kRegSz, L"COM3"}}, 0},
      {"nothing selected", {{kRegSz, L"COM1"}, {kRegSz, L"COM4"}}, -1,
       {{kRegSz, L"COM4"}, {kRegSz, L"COM1"}}, 0},
      {"no ports left", {{kRegSz, L"COM1"}}, 0, {}, -1},
      {"same list", {{kRegSz, L"COM1"}, {kRegSz, L"COM4"}, {kRegSz, L"COM9"}}, 2,
       {{kRegSz, L"COM9"}, {kRegSz, L"COM1"}, {kRegSz, L"COM4"}}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Table t;
    RefreshPortTable(t.slots, -1, &c.before);
    const int sel = RefreshPortTable(t.slots, c.selected, &c.after);
    EXPECT_EQ(sel, c.expected);
    EXPECT_EQ(CountPorts(t.slots), static_cast<int>(c.after.size()));
  }
}

TEST(PortRefresh, UnreadableListEmptiesTheTable) {
  Table t;
  const Values v = {{kRegSz, L"COM1"}, {kRegSz, L"COM2"}};
  RefreshPortTable(t.slots, -1, &v);
  ASSERT_EQ(CountPorts(t.slots), 2);
  EXPECT_EQ(RefreshPortTable(t.slots, 1, nullptr), -1);
  EXPECT_EQ(CountPorts(t.slots), 0);
}

TEST(PortRefresh, NoStaleSlotsSurviveBehindAnEndMarker) {
  Table t;
  const Values first = {{kRegSz, L"COM3"}, {kRegSz, L"COMX"}, {kRegSz, L"COM5"}};
  const Values second = {{kRegSz, L"COM7"}, {kRegSz, L"COM8"}};
  RefreshPortTable(t.slots, -1, &first);
  RefreshPortTable(t.slots, 0, &second);
  EXPECT_EQ(Names(t.slots), (std::vector<std::string>{"COM7", "COM8"}));
}

TEST(ComPortPath, IsTheDeviceNamespacePathAndTheStatusTextOfTheNumber) {
  struct Case {
    uint32_t n;
    const char* path;
    const char* status;
  };
  const Case cases[] = {{12, "\\\\.\\COM12", "COM12:115200baud"},
                        {1, "\\\\.\\COM1", "COM1:115200baud"},
                        {256, "\\\\.\\COM256", "COM256:115200baud"}};
  for (const Case& c : cases) {
    EXPECT_EQ(ComPortPath(c.n), c.path);
    EXPECT_EQ(PortStatusText(c.n), c.status);
  }
}

TEST(OpenComPort, AbsentPortFailsWithASystemError) {
  int error = 0;
  EXPECT_EQ(OpenComPort(250, &error), nullptr);
  EXPECT_NE(error, 0);
}

}  // namespace
}  // namespace zt
