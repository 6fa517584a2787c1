#include <csignal>
#include <cstring>
#include <unistd.h>

#include "platform/interrupt.h"

namespace zt::platform {
namespace {

// Written by the program, read by the handler: the flag is set only once the path is whole.
char g_path[4096];
volatile sig_atomic_t g_armed = 0;

void OnInterrupt(int sig) {
  if (g_armed) ::unlink(g_path);
  // End as the signal would have: the default action, raised again.
  struct sigaction dfl;
  std::memset(&dfl, 0, sizeof dfl);
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(sig, &dfl, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);  // blocked while its handler runs
  ::raise(sig);
  ::_exit(128 + sig);  // the shell's number for it, should the signal not end the program
}

// Set once by a program that wants the cleanup (the command line, which writes one file at
// a time); elsewhere (the windows, tests running exports side by side) nothing is kept.
bool g_installed = false;

}  // namespace

void InstallInterruptCleanup() {
  if (g_installed) return;
  g_installed = true;
  for (int sig : {SIGINT, SIGTERM}) {
    struct sigaction old;
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaddset(&sa.sa_mask, SIGINT);
    sigaddset(&sa.sa_mask, SIGTERM);
    ::sigaction(sig, &sa, nullptr);
  }
}

// Only the command line installs the cleanup, and it runs one export at a time; in any other
// program (exports side by side in the control program, tests) the flag is never touched.
RemoveOnInterrupt::RemoveOnInterrupt(const std::string& path) {
  if (!g_installed) return;
  g_armed = 0;
  if (path.empty() || path.size() >= sizeof g_path) return;
  std::memcpy(g_path, path.c_str(), path.size() + 1);
  g_armed = 1;
}

RemoveOnInterrupt::~RemoveOnInterrupt() {
  if (g_installed) g_armed = 0;
}

}  // namespace zt::platform
