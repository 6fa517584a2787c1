// zt615: the command line over the same core as the Windows programs.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "zt_version.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "platform/utf8.h"
#endif

using zt::cli::Commands;

static void PrintOverview(FILE* out) {
  std::fputs(
      "usage: zt615 COMMAND [ARGS...]\n"
      "\n"
      "Reads, converts and joins ZT615 logged ping files, and talks to the logger.\n"
      "\n"
      "commands:\n",
      out);
  for (const auto& c : Commands()) std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
  std::fputs(
      "\n"
      "'zt615 COMMAND --help' explains a command; 'zt615 --version' prints the version.\n"
      "Exit status: 0 success, 1 an input was refused or a read or write failed, 2 usage error.\n",
      out);
}

static int Run(const std::vector<std::string>& args) {
  if (args.empty()) {
    PrintOverview(stderr);
    return zt::cli::kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintOverview(stdout);
    return zt::cli::kExitOk;
  }
  if (args[0] == "--version") {
    std::printf("zt615 %s\n", ZT_VERSION);
    return zt::cli::kExitOk;
  }
  for (const auto& c : Commands()) {
    if (args[0] == c.name) return c.run(std::vector<std::string>(args.begin() + 1, args.end()));
  }
  std::fprintf(stderr, "zt615: unknown command '%s'\n\n", args[0].c_str());
  PrintOverview(stderr);
  return zt::cli::kExitUsage;
}

int main(int argc, char** argv) {
  std::vector<std::string> args;
#ifdef _WIN32
  // Paths with characters outside the ANSI code page arrive intact through the wide command line.
  (void)argc;
  (void)argv;
  int wargc = 0;
  wchar_t** wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
  for (int i = 1; i < wargc; ++i) args.push_back(zt::platform::Utf8FromWide(wargv[i]));
  LocalFree(wargv);
#else
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
#endif
  return Run(args);
}
