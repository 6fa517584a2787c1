#include "cmdline/cmdline.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zt::cmdline {

std::string ParsedArgs::Get(const std::string& n) const {
  auto it = values.find(n);
  return it == values.end() ? std::string() : it->second.back();
}

std::vector<std::string> ParsedArgs::All(const std::string& n) const {
  auto it = values.find(n);
  return it == values.end() ? std::vector<std::string>() : it->second;
}

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
    const bool takes_value = found->takes != Takes::kNothing;
    if (takes_value && !inline_value) {
      if (i + 1 >= args.size()) {
        p.error = "option --" + name + " needs a value";
        return p;
      }
      value = args[++i];
    } else if (!takes_value && inline_value) {
      p.error = "option --" + name + " takes no value";
      return p;
    }
    std::vector<std::string>& given = p.values[name];
    if (found->takes != Takes::kValues) given.clear();
    given.push_back(value);
  }
  return p;
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

int Fail(const char* program, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", program, message.c_str());
  return kExitFailed;
}

int Call::Usage(const std::string& message) const {
  std::fprintf(stderr, "%s %s: %s\n\n%s", program.name, command.name, message.c_str(),
               command.help);
  return kExitUsage;
}

namespace {

void PrintOverview(const Program& p, FILE* out) {
  std::fprintf(out, "usage: %s COMMAND [ARGS...]\n\n%scommands:\n", p.name, p.about);
  for (const Command& c : p.commands) std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
  std::fprintf(out, "\n%s", p.closing);
}

// The command's options parsed; its help, or the usage error they make, written here.
int RunCommand(const Program& p, const Command& c, const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, c.options);
  const Call call{p, c, parsed};
  if (parsed.help) {
    std::fputs(c.help, stdout);
    return kExitOk;
  }
  if (!parsed.error.empty()) return call.Usage(parsed.error);
  return c.run(call);
}

}  // namespace

int RunProgram(const Program& p, const std::vector<std::string>& args) {
  if (args.empty()) {
    PrintOverview(p, stderr);
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || (p.help_word && args[0] == "help")) {
    PrintOverview(p, stdout);
    return kExitOk;
  }
  if (args[0] == "--version") {
    std::printf("%s %s\n", p.name, p.version);
    return kExitOk;
  }
  for (const Command& c : p.commands)
    if (args[0] == c.name)
      return RunCommand(p, c, std::vector<std::string>(args.begin() + 1, args.end()));
  std::fprintf(stderr, "%s: unknown command '%s'\n\n", p.name, args[0].c_str());
  PrintOverview(p, stderr);
  return kExitUsage;
}

}  // namespace zt::cmdline
