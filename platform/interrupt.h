// A half-written temporary file removed when the program is interrupted: SIGINT and SIGTERM
// on POSIX; Ctrl+C, Ctrl+Break and closing the console window on Windows. The path is kept
// in a static buffer so that the handler needs nothing but the system's own removal call.
#pragma once

#include <string>

namespace zt::platform {

// Installs the handlers (once; later calls do nothing). A signal the program was started
// with ignored stays ignored. After removing the file the program ends as the signal would
// have ended it (on POSIX the shell sees 128 + the signal's number).
void InstallInterruptCleanup();

// While alive, and once InstallInterruptCleanup has been called, an interruption removes
// `path` (nothing when it is empty). One at a time:
// the program writes one temporary file at a time.
class RemoveOnInterrupt {
 public:
  explicit RemoveOnInterrupt(const std::string& path);
  ~RemoveOnInterrupt();
  RemoveOnInterrupt(const RemoveOnInterrupt&) = delete;
  RemoveOnInterrupt& operator=(const RemoveOnInterrupt&) = delete;
};

}  // namespace zt::platform
