#include <windows.h>

#include <algorithm>

#include "platform/serial_port.h"
#include "platform/utf8.h"

namespace zt::platform {
namespace {

class WinSerialPort final : public SerialPort {
 public:
  explicit WinSerialPort(HANDLE h) : h_(h) {}
  ~WinSerialPort() override { CloseHandle(h_); }

  int Write(const void* data, size_t n) override {
    DWORD written = 0;
    if (!WriteFile(h_, data, static_cast<DWORD>(n), &written, nullptr)) {
      last_error_ = static_cast<int>(GetLastError());
      return -1;
    }
    if (written < n) last_error_ = 0;  // a short write without a system error
    return static_cast<int>(written);
  }

  int Read(void* buf, size_t n) override {
    DWORD got = 0;
    if (!ReadFile(h_, buf, static_cast<DWORD>(n), &got, nullptr)) {
      last_error_ = static_cast<int>(GetLastError());
      return -1;
    }
    return static_cast<int>(got);
  }

  int LastError() const override { return last_error_; }

 private:
  HANDLE h_;
  int last_error_ = 0;
};

// "COM12" is opened as \\.\COM12: the plain name reaches only COM1 to COM9.
std::wstring DevicePath(const std::string& name) {
  const uint32_t n = ComPortNumber(name);
  return n ? L"\\\\.\\COM" + std::to_wstring(n) : WideFromUtf8(name);
}

}  // namespace

std::unique_ptr<SerialPort> OpenSerialPort(const std::string& path, int* error) {
  HANDLE h = CreateFileW(DevicePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (error) *error = static_cast<int>(GetLastError());
    return nullptr;
  }
  // A port that takes the open but not the line settings or the time-outs is refused:
  // without the time-outs a read could wait for ever on a silent logger.
  auto refuse = [h, error]() -> std::unique_ptr<SerialPort> {
    const DWORD code = GetLastError();
    CloseHandle(h);
    if (error) *error = static_cast<int>(code != 0 ? code : ERROR_GEN_FAILURE);
    return nullptr;
  };
  DCB dcb;
  ZeroMemory(&dcb, sizeof dcb);
  dcb.DCBlength = sizeof(DCB);
  if (!BuildCommDCBW(L"baud=115200 parity=N data=8 stop=1", &dcb)) return refuse();
  dcb.DCBlength = sizeof(DCB);
  if (!SetCommState(h, &dcb)) return refuse();
  // A read returns at once with what is buffered, or waits up to 100 ms for a first byte.
  COMMTIMEOUTS to;
  to.ReadIntervalTimeout = MAXDWORD;
  to.ReadTotalTimeoutMultiplier = MAXDWORD;
  to.ReadTotalTimeoutConstant = 100;
  to.WriteTotalTimeoutMultiplier = 0;
  to.WriteTotalTimeoutConstant = 0;
  if (!SetCommTimeouts(h, &to)) return refuse();
  // Whatever was left on the line is discarded; a port that cannot purge still works.
  PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  return std::make_unique<WinSerialPort>(h);
}

bool ReadSerialCommValues(std::vector<RegistryValue>* values, int* error) {
  values->clear();
  HKEY key;
  LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0,
                          KEY_QUERY_VALUE, &key);
  if (rc != ERROR_SUCCESS) {
    if (error) *error = static_cast<int>(rc);
    return false;
  }
  DWORD max_name = 0, max_data = 0;
  rc = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                        &max_name, &max_data, nullptr, nullptr);
  if (rc != ERROR_SUCCESS) {
    RegCloseKey(key);
    SetLastError(static_cast<DWORD>(rc));
    if (error) *error = static_cast<int>(rc);
    return false;
  }
  // Data without its own NUL still ends in the two zero bytes added here.
  const DWORD name_chars = max_name + 1;
  const DWORD data_bytes = (max_data & ~1u) + 2;
  std::wstring name(name_chars, L'\0');
  std::wstring data(data_bytes / 2, L'\0');
  for (DWORD i = 0;; ++i) {
    DWORD name_len = name_chars, data_len = data_bytes, type = 0;
    std::fill(name.begin(), name.end(), L'\0');
    std::fill(data.begin(), data.end(), L'\0');
    rc = RegEnumValueW(key, i, name.data(), &name_len, nullptr, &type,
                       reinterpret_cast<BYTE*>(data.data()), &data_len);
    if (rc != ERROR_SUCCESS) break;
    values->push_back({type, std::wstring(data.c_str())});
  }
  RegCloseKey(key);
  return true;
}

std::vector<std::string> ListSerialPorts() {
  std::vector<RegistryValue> values;
  int error = 0;
  if (!ReadSerialCommValues(&values, &error)) return {};
  // As the control program lists them: at most 255, by number, with the system's text.
  std::vector<ComPort> ports = ListedComPorts(values, 255);
  std::stable_sort(ports.begin(), ports.end(),
                   [](const ComPort& a, const ComPort& b) { return a.number < b.number; });
  std::vector<std::string> names;
  for (const ComPort& p : ports) names.push_back(Utf8FromWide(p.text));
  return names;
}

}  // namespace zt::platform
