#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "platform/trace.h"

namespace zt::platform {

void DebugTrace(const char* fmt, ...) {
  char buf[1024];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  OutputDebugStringA(buf);
}

}  // namespace zt::platform
