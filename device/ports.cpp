#include "device/ports.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform/utf8.h"

namespace zt {
namespace {

void ClearTable(PORTENTRY* table) { std::memset(table, 0, sizeof(PORTENTRY) * kPortTableSlots); }

}  // namespace

void FillPortTable(const std::vector<platform::RegistryValue>& values, PORTENTRY* table) {
  size_t slot = 0;
  for (const platform::ComPort& port : platform::ListedComPorts(values, kPortTableSlots - 1)) {
    PORTENTRY& e = table[slot++];
    e.port_number = port.number;
    std::memset(e.port_name, 0, sizeof e.port_name);
    std::wmemcpy(e.port_name, port.text.data(), port.text.size() < 255 ? port.text.size() : 255);
  }
  // The end marker: nothing stale behind the last port is listed.
  table[slot] = PORTENTRY{};
}

bool EnumerateComPorts(PORTENTRY* table) {
  std::vector<platform::RegistryValue> values;
  int error = 0;
  if (!platform::ReadSerialCommValues(&values, &error)) return false;
  FillPortTable(values, table);
  return true;
}

int ComparePorts(const void* a, const void* b) {
  const uint32_t x = static_cast<const PORTENTRY*>(a)->port_number;
  const uint32_t y = static_cast<const PORTENTRY*>(b)->port_number;
  return x > y ? 1 : x < y ? -1 : 0;
}

int CountPorts(const PORTENTRY* table) {
  int n = 0;
  while (n < kPortTableSlots && table[n].port_number != 0) ++n;
  return n;
}

void SortPorts(PORTENTRY* table) {
  std::qsort(table, static_cast<size_t>(CountPorts(table)), sizeof(PORTENTRY), ComparePorts);
}

int RefreshPortTable(PORTENTRY* table, int selected_item,
                     const std::vector<platform::RegistryValue>* values) {
  bool remembered = false;
  uint32_t number = 0;
  if (selected_item >= 0 && selected_item < CountPorts(table)) {
    remembered = true;
    number = table[selected_item].port_number;
  }
  ClearTable(table);
  if (values) FillPortTable(*values, table);
  SortPorts(table);
  const int count = CountPorts(table);
  if (count == 0) return -1;
  if (remembered)
    for (int i = 0; i < count; ++i)
      if (table[i].port_number == number) return i;
  return 0;
}

std::string PortStatusText(uint32_t n) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "COM%d:115200baud", static_cast<int>(n));
  return buf;
}

std::string ComPortPath(uint32_t n) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "\\\\.\\COM%i", static_cast<int>(n));
  return buf;
}

std::unique_ptr<platform::SerialPort> OpenComPort(uint32_t n, int* error) {
  return platform::OpenSerialPort(ComPortPath(n), error);
}

std::string PortNameUtf8(const PORTENTRY& e) {
  size_t n = 0;
  while (n < 256 && e.port_name[n] != 0) ++n;
  return platform::Utf8FromWide(std::wstring_view(e.port_name, n));
}

}  // namespace zt
