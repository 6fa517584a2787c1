#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "platform/trace.h"

namespace zt::platform {

void DebugTrace(const char* fmt, ...) {
  static const bool enabled = std::getenv("ZT615_TRACE") != nullptr;
  if (!enabled) return;
  va_list ap;
  va_start(ap, fmt);
  std::vfprintf(stderr, fmt, ap);
  va_end(ap);
}

}  // namespace zt::platform
