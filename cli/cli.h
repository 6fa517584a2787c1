// The zt615 command line: command registry, argument parsing, messages and exit codes.
// Exit status: 0 success, 1 an input was refused or a read or write failed, 2 usage error.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace zt::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct Command {
  const char* name;
  const char* summary;  // one line for `zt615 --help`
  const char* help;     // the whole text for `zt615 NAME --help`, starting with the usage line
  int (*run)(const std::vector<std::string>& args);
};

// Each command file holds one static Registrar.
struct Registrar {
  explicit Registrar(const Command& c);
};
const std::vector<Command>& Commands();

// Options of one command: `--name VALUE`, `--name=VALUE` or a flag `--name`.
struct OptionSpec {
  const char* name;  // without the dashes
  bool takes_value;
};

struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;  // flags map to ""
  bool help = false;
  std::string error;  // non-empty on a usage error
  bool Has(const std::string& n) const { return values.count(n) != 0; }
  std::string Get(const std::string& n) const {
    auto it = values.find(n);
    return it == values.end() ? std::string() : it->second;
  }
};

ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& options);

// Prints "zt615 NAME: message" and the command's help to stderr; returns 2.
int UsageError(const Command& c, const std::string& message);
// Prints the command's help to stdout; returns 0.
int PrintHelp(const Command& c);
// Prints "zt615: message" to stderr; returns 1.
int Fail(const std::string& message);

// Strict number parsing for typed values: the whole text must be the number.
bool ParseInt(const std::string& s, long long* out);
bool ParseFloat(const std::string& s, float* out);

bool StderrIsTerminal();

// A one-line progress bar on stderr (percent, MB/s, time left), redrawn at most ten times
// a second; silent when stderr is not a terminal or when disabled.
class ProgressBar {
 public:
  ProgressBar(std::string label, bool enabled);
  ~ProgressBar();
  void Update(uint64_t done, uint64_t total, uint64_t bytes);
  void Finish();

 private:
  std::string label_;
  bool enabled_;
  bool drawn_ = false;
  uint64_t start_ms_;
  uint64_t last_ms_ = 0;
};

}  // namespace zt::cli
