// The serial port table behind the main window's port list: enumeration from the system's
// list, ordering by port number, the refresh that keeps the selection, and the opening of a
// port with the logger's line settings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/serial_port.h"

namespace zt {

struct PORTENTRY {
  uint32_t port_number;     // 0 ends the table
  wchar_t port_name[256];   // the system's text, e.g. L"COM3"
};

constexpr int kPortTableSlots = 256;  // at most 255 ports and the end marker
using platform::kRegSz;

// Writes the listed serial ports to `table` from slot 0 in the order given, unsorted, and
// the end marker behind them: the COM ports of platform::ListedComPorts (a value without a
// number after the letters COM ends the table there), at most 255 so that slot 255 stays
// the end marker. A name is cut to 255 characters.
void FillPortTable(const std::vector<platform::RegistryValue>& values, PORTENTRY* table);

// Reads the system's list (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM on Windows) into `table`.
// False, with the table untouched, when the list could not be read.
bool EnumerateComPorts(PORTENTRY* table);

// qsort order of two PORTENTRY by port_number, unsigned: 1, -1 or 0.
int ComparePorts(const void* a, const void* b);
// Slots from 0 up to the first port_number 0.
int CountPorts(const PORTENTRY* table);
// Sorts the counted slots with ComparePorts.
void SortPorts(PORTENTRY* table);

// The refresh of the port list: remembers the port number of the selected item (-1: none),
// empties the table, fills it from `values` (null: the list could not be read, so the table
// stays empty), sorts it, and returns the item to select: the first with the remembered
// number, else 0; -1 when the table is empty.
int RefreshPortTable(PORTENTRY* table, int selected_item,
                     const std::vector<platform::RegistryValue>* values);

// The status bar's port part while a device dialog runs: "COM%d:115200baud".
std::string PortStatusText(uint32_t n);

// "\\.\COM%i" formatted with n.
std::string ComPortPath(uint32_t n);
// Opens port n exclusively at 115200 8N1 with the device read time-outs; null with the
// system's error code in *error when it cannot be opened.
std::unique_ptr<platform::SerialPort> OpenComPort(uint32_t n, int* error);

// UTF-8 of a port name.
std::string PortNameUtf8(const PORTENTRY& e);

}  // namespace zt
