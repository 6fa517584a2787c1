// The portable part of the serial port seam: which entries of Windows' list are COM ports,
// and which names a user types stand for one. Portable, so that every build tests them.
#include "platform/serial_port.h"

#include <cerrno>
#include <cstdlib>

namespace zt::platform {
namespace {

template <typename Text>
bool StartsWithCom(const Text& text) {
  if (text.size() < 3) return false;
  return (text[0] == 'C' || text[0] == 'c') && (text[1] == 'O' || text[1] == 'o') &&
         (text[2] == 'M' || text[2] == 'm');
}

// The number after "COM": leading blanks and a sign allowed, stops at the first non-digit.
uint32_t NumberAfterCom(const std::wstring& text) {
  size_t i = 3;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  uint32_t v = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
    v = v * 10u + static_cast<uint32_t>(text[i] - L'0');
  return negative ? 0u - v : v;
}

}  // namespace

std::vector<ComPort> ListedComPorts(const std::vector<RegistryValue>& values, size_t most) {
  std::vector<ComPort> ports;
  for (const RegistryValue& v : values) {
    if (ports.size() >= most) break;
    if (v.type != kRegSz || !StartsWithCom(v.text)) continue;
    const uint32_t number = NumberAfterCom(v.text);
    if (number == 0) break;
    ports.push_back({number, v.text});
  }
  return ports;
}

uint32_t ComPortNumber(const std::string& name) {
  if (name.size() <= 3 || !StartsWithCom(name)) return 0;
  const char* digits = name.c_str() + 3;
  char* end = nullptr;
  errno = 0;
  const long long n = std::strtoll(digits, &end, 10);
  if (errno != 0 || end != name.c_str() + name.size() || n <= 0 || n >= 0x7FFFFFFF) return 0;
  return static_cast<uint32_t>(n);
}

}  // namespace zt::platform
