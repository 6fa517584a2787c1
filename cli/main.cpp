// zt615: the command line over the same core as the Windows programs.
#include <string>
#include <vector>

#include "cli/cli.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "platform/utf8.h"
#endif

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
  return zt::cmdline::RunProgram(zt::cli::Zt615(), args);
}
