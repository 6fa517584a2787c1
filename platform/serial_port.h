// A serial port through the platform seam: one implementation over Win32 COM handles, one
// over POSIX termios, and whatever a test plugs in (a loopback).
#pragma once

#include <cstddef>
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
// with the read behaviour above, and discards everything pending in both directions.
// On failure returns null and the system's error code in *error.
std::unique_ptr<SerialPort> OpenSerialPort(const std::string& path, int* error);

// Serial devices the system lists, as (value type, text) pairs on Windows (the values of
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM) and as device paths on POSIX.
struct RegistryValue {
  unsigned long type;  // REG_SZ is 1
  std::wstring text;
};
// False when the key could not be read (error code in *error).
bool ReadSerialCommValues(std::vector<RegistryValue>* values, int* error);
// /dev/serial/by-id/*, then /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS* that exist, each group in
// name order with numbers compared as numbers. Empty on Windows.
std::vector<std::string> ListSerialDevices();

}  // namespace zt::platform
