#include "cli/cli.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zt::cli {

static std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}

Registrar::Registrar(const Command& c) { Registry().push_back(c); }
const std::vector<Command>& Commands() { return Registry(); }

ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& options) {
  ParsedArgs p;
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_done || a.size() < 2 || a[0] != '-' || (a[1] != '-' && a != "-h")) {
      p.positional.push_back(a);
      continue;
    }
    if (a == "--") {
      options_done = true;
      continue;
    }
    if (a == "--help" || a == "-h") {
      p.help = true;
      continue;
    }
    std::string name = a.substr(2), value;
    bool inline_value = false;
    if (auto eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      inline_value = true;
    }
    const OptionSpec* found = nullptr;
    for (const OptionSpec& o : options)
      if (name == o.name) found = &o;
    if (!found) {
      p.error = "unknown option --" + name;
      return p;
    }
    if (found->takes_value && !inline_value) {
      if (i + 1 >= args.size()) {
        p.error = "option --" + name + " needs a value";
        return p;
      }
      value = args[++i];
    } else if (!found->takes_value && inline_value) {
      p.error = "option --" + name + " takes no value";
      return p;
    }
    p.values[name] = value;
  }
  return p;
}

int UsageError(const Command& c, const std::string& message) {
  std::fprintf(stderr, "zt615 %s: %s\n\n%s", c.name, message.c_str(), c.help);
  return kExitUsage;
}

int PrintHelp(const Command& c) {
  std::fputs(c.help, stdout);
  return kExitOk;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "zt615: %s\n", message.c_str());
  return kExitFailed;
}

bool ParseInt(const std::string& s, long long* out) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(s.c_str(), &end, 10);
  if (errno != 0 || end != s.c_str() + s.size()) return false;
  *out = v;
  return true;
}

bool ParseFloat(const std::string& s, float* out) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(s.c_str(), &end);
  if (errno != 0 || end != s.c_str() + s.size() || !std::isfinite(v)) return false;
  *out = static_cast<float>(v);
  return std::isfinite(*out);
}

}  // namespace zt::cli
