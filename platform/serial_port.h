// A serial port through the platform seam: one implementation over Win32 COM handles, one
// over POSIX termios, and whatever a test plugs in (a loopback).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zt::platform {

class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // Hands all n bytes to the port in one call. Returns the count accepted, or -1.
  virtual int Write(const void* data, size_t n) = 0;
  // Returns at once with what is buffered (up to n bytes); when nothing is, waits at most
  // 100 ms for a first byte and returns as soon as one arrives. 0 on time-out, -1 on error.
  virtual int Read(void* buf, size_t n) = 0;
  // The system's error code (errno, GetLastError) of the last Read or Write that failed or
  // took fewer bytes than asked; 0 when the port gave none.
  virtual int LastError() const { return 0; }
};

// Opens a serial device exclusively at 115200 baud, 8 data bits, no parity, 1 stop bit, raw,
// with the read behaviour above, and discards everything pending in both directions. On
// Windows a port name (ComPortNumber) is opened by its device path \\.\COMn, so that ports
// above 9 open too; anything else is a path. On failure returns null and the system's error
// code in *error.
std::unique_ptr<SerialPort> OpenSerialPort(const std::string& path, int* error);

// Windows lists its serial ports as (value type, text) pairs: the values of
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM.
struct RegistryValue {
  unsigned long type;
  std::wstring text;
};
constexpr unsigned long kRegSz = 1;  // REG_SZ
// False when the key could not be read (error code in *error); always false on POSIX.
bool ReadSerialCommValues(std::vector<RegistryValue>* values, int* error);

// A COM port of that list: the number after the letters COM and the system's whole text.
struct ComPort {
  uint32_t number;
  std::wstring text;
};
// The COM ports among the values, in the list's order: values of type REG_SZ whose text
// begins with COM in any letter case, numbered by what follows those letters (leading blanks
// and a sign allowed, reading stops at the first non-digit). A value without a number there
// ends the list, as it ends the control program's port table; so does the `most`-th port.
std::vector<ComPort> ListedComPorts(const std::vector<RegistryValue>& values, size_t most);

// The number of the COM port a user names ("COM3", "com12", in any letter case): all that
// follows the letters must be one number from 1 to 2147483646 (leading blanks and a sign
// allowed). 0 for any other name: a path.
uint32_t ComPortNumber(const std::string& name);

// The serial ports a user can name, in the order the control program lists them. Windows:
// the COM ports of the system's list by number (at most 255), with the system's text.
// POSIX: /dev/serial/by-id/*, then /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS* that exist, each
// group in name order with numbers compared as numbers.
std::vector<std::string> ListSerialPorts();

}  // namespace zt::platform
