// Serves the simulated logger on a pseudo-terminal until SIGINT or SIGTERM.
#pragma once

#include <cstdio>
#include <string>

#include "tools/logger_sim/serve_device.h"

namespace zt::sim {

struct ServeOptions {
  std::string link;  // a symbolic link to the device path, made at start and removed at exit
  FILE* log = stdout;
};

// Returns the process exit status.
int ServeOnPty(SimLogger* logger, const ServeOptions& options);

// How long a reply waits for a host that has stopped reading before it is dropped.
constexpr int kHostStallMs = 5000;

// Writes `bytes` to a non-blocking descriptor, waiting for room at most `stall_ms` at a
// time, so that a host that does not read cannot hold the logger for ever. Returns the
// bytes written; fewer than all with *error 0 means the host read nothing for `stall_ms`,
// otherwise *error is the write's errno.
size_t WriteWithin(int fd, const std::string& bytes, int stall_ms, int* error);

}  // namespace zt::sim
