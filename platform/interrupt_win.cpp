#include <windows.h>

#include <cstring>

#include "platform/interrupt.h"
#include "platform/utf8.h"

namespace zt::platform {
namespace {

// Written by the program, read by the handler's thread: the flag is set only once the path
// is whole.
wchar_t g_path[32768];
volatile LONG g_armed = 0;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      // The file is open for writing (shared for deletion): it goes when the process ends.
      if (InterlockedCompareExchange(&g_armed, 0, 0)) DeleteFileW(g_path);
      break;
    default:
      break;
  }
  return FALSE;  // the system's own handling then ends the program
}

// Set once by a program that wants the cleanup (the command line, which writes one file at
// a time); elsewhere (the windows, tests running exports side by side) nothing is kept.
bool g_installed = false;

}  // namespace

void InstallInterruptCleanup() {
  if (g_installed) return;
  g_installed = true;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

RemoveOnInterrupt::RemoveOnInterrupt(const std::string& path) {
  InterlockedExchange(&g_armed, 0);
  if (!g_installed || path.empty()) return;
  const std::wstring wide = WideFromUtf8(path);
  if (wide.size() >= sizeof g_path / sizeof g_path[0]) return;
  std::memcpy(g_path, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
  InterlockedExchange(&g_armed, 1);
}

RemoveOnInterrupt::~RemoveOnInterrupt() { InterlockedExchange(&g_armed, 0); }

}  // namespace zt::platform
