// zt615_logger_sim: a stand-in for the ZT615 logger, so that everything can run without one.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "zt_version.h"

using zt::cli::Commands;

static void Overview(FILE* out) {
  std::fputs("usage: zt615_logger_sim COMMAND [ARGS...]\n\ncommands:\n", out);
  for (const auto& c : Commands()) std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
  std::fputs("\n'zt615_logger_sim COMMAND --help' explains a command; --version prints the version.\n",
             out);
}

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    Overview(stderr);
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    Overview(stdout);
    return 0;
  }
  if (args[0] == "--version") {
    std::printf("zt615_logger_sim %s\n", ZT_VERSION);
    return 0;
  }
  for (const auto& c : Commands())
    if (args[0] == c.name) return c.run(std::vector<std::string>(args.begin() + 1, args.end()));
  std::fprintf(stderr, "zt615_logger_sim: unknown command '%s'\n\n", args[0].c_str());
  Overview(stderr);
  return 2;
}
