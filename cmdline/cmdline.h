// What our command-line programs (zt615, zt615_logger_sim) share: each program's table of
// commands and the dispatcher that serves it (the overview, --version, each command's help
// and usage errors, written once here), the option parser, strict number parsing, and the
// one-line messages. Also in this folder: a terminal progress bar (progress_bar.h) and
// JSON string literals (json_text.h).
// Exit status: 0 success, 1 an input was refused or a read or write failed, 2 usage error.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace zt::cmdline {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Options of one command: `--name VALUE`, `--name=VALUE` or a flag `--name`.
enum class Takes {
  kNothing,  // a flag
  kValue,    // one value; given twice, the last counts
  kValues,   // a value each time it is given, all kept in order (--timer, --fault)
};

struct OptionSpec {
  const char* name;  // without the dashes
  Takes takes;
};

struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::vector<std::string>> values;  // a flag has one ""
  bool help = false;
  std::string error;  // non-empty on a usage error
  bool Has(const std::string& n) const { return values.count(n) != 0; }
  // The last value given.
  std::string Get(const std::string& n) const;
  // Every value given, in order.
  std::vector<std::string> All(const std::string& n) const;
};

// "--" ends the options; "--help" and "-h" ask for help; any other word is positional.
ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& options);

// Strict number parsing for typed values: the whole text must be the number.
bool ParseInt(const std::string& s, long long* out);
bool ParseFloat(const std::string& s, float* out);

// Prints "PROGRAM: message" to stderr; returns 1.
int Fail(const char* program, const std::string& message);

struct Call;

struct Command {
  const char* name;
  const char* summary;  // one line for the program's --help
  const char* help;     // the whole text for `PROGRAM NAME --help`, starting with the usage line
  std::vector<OptionSpec> options;
  int (*run)(const Call& call);  // called once the options parsed; returns the exit status
};

struct Program {
  const char* name;
  const char* version;
  const char* about;    // the overview's lines between the usage line and the command list
  const char* closing;  // the overview's lines after the command list
  bool help_word;       // `PROGRAM help` shows the overview, as --help does
  std::vector<Command> commands;  // in the order the overview lists them
};

// One run of a command: what it was given, and its way of refusing it.
struct Call {
  const Program& program;
  const Command& command;
  const ParsedArgs& args;
  // Prints "PROGRAM NAME: message" and the command's help to stderr; returns 2.
  int Usage(const std::string& message) const;
  // Prints "PROGRAM: message" to stderr; returns 1.
  int Fail(const std::string& message) const { return cmdline::Fail(program.name, message); }
};

// The program's arguments (without the program's own name) to its exit status.
int RunProgram(const Program& program, const std::vector<std::string>& args);

}  // namespace zt::cmdline
