// The zt615 command line: its table of commands (commands.cpp: name, summary, help, options
// and function of each, in the order `zt615 --help` lists them), one file per command
// (cmd_NAME.cpp: its help text and its function), and the echogram's PNG writer (png.h).
// The dispatcher, the option parser and the progress bar are cmdline/'s, shared with the
// simulator.
// Exit status: 0 success, 1 an input was refused or a read or write failed, 2 usage error.
#pragma once

#include <string>

#include "cmdline/cmdline.h"
#include "cmdline/progress_bar.h"

namespace zt::cli {

using cmdline::Call;
using cmdline::kExitFailed;
using cmdline::kExitOk;
using cmdline::ParsedArgs;
using cmdline::ParseFloat;
using cmdline::ParseInt;
using cmdline::ProgressBar;
using cmdline::StderrIsTerminal;

// zt615's commands.
const cmdline::Program& Zt615();

// Prints "zt615: message" to stderr; returns 1.
int Fail(const std::string& message);

// Each command's help text and function, in its cmd_NAME.cpp.
extern const char kDeviceHelp[];
extern const char kEchogramHelp[];
extern const char kExportHelp[];
extern const char kInfoHelp[];
extern const char kLinkHelp[];
extern const char kPortsHelp[];
extern const char kTimersHelp[];
int RunDevice(const Call& call);
int RunEchogram(const Call& call);
int RunExport(const Call& call);
int RunInfo(const Call& call);
int RunLink(const Call& call);
int RunPorts(const Call& call);
int RunTimers(const Call& call);

}  // namespace zt::cli
