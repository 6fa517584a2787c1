// zt615_logger_sim, a stand-in for the ZT615 logger: its table of commands (main.cpp) and one
// file per command (sim_NAME.cpp: its help text and its function): `record` writes logged
// ping files (ping_synth.h), `serve` answers the serial protocol on a pseudo-terminal
// (serve_device.h, serve_pty.h). The dispatcher and option parser are cmdline/'s.
#pragma once

#include "cmdline/cmdline.h"

namespace zt::sim {

extern const char kRecordHelp[];
extern const char kServeHelp[];
int RunRecord(const cmdline::Call& call);
int RunServe(const cmdline::Call& call);

}  // namespace zt::sim
