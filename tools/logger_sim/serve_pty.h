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

}  // namespace zt::sim
