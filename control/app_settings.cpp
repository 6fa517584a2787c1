// What the control program remembers between runs, in %APPDATA%\ZT615\zt615_control.ini:
// read once at start, written on the way out. The text is read by the core
// (app/control_settings.h), which trusts none of it; here only what the system must say is
// checked: that a folder still exists and a window place is on a screen.
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "control/app_state.h"
#include "control/control.h"
#include "control/win_util.h"
#include "platform/file.h"
#include "platform/output_file.h"
#include "platform/trace.h"

namespace zt::control {
namespace {

constexpr wchar_t kFolder[] = L"ZT615";
constexpr wchar_t kFile[] = L"zt615_control.ini";

// %APPDATA%\ZT615 (the variable first, so that a test can give a folder of its own).
std::wstring SettingsFolder() {
  wchar_t buf[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"APPDATA", buf, MAX_PATH);
  std::wstring base = n > 0 && n < MAX_PATH ? std::wstring(buf, n) : std::wstring();
  if (base.empty() && SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, buf)))
    base = buf;
  return base.empty() ? std::wstring() : base + L"\\" + kFolder;
}

bool IsFolder(const std::string& utf8) {
  const DWORD a = GetFileAttributesW(Wide(utf8).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

ControlSettings& Remembered() {
  static ControlSettings settings;
  return settings;
}

std::wstring SettingsPath() {
  const std::wstring folder = SettingsFolder();
  return folder.empty() ? folder : folder + L"\\" + kFile;
}

void LoadRememberedSettings() {
  platform::File f;
  std::string text;
  if (f.OpenRead(Utf8(SettingsPath()))) {
    const int64_t size = f.Size();
    if (size > 0 && size <= static_cast<int64_t>(kSettingsMaxBytes)) {
      text.resize(static_cast<size_t>(size));
      if (f.ReadAt(0, text.data(), text.size()) != size) text.clear();
    }
  }
  ControlSettings s = ParseControlSettings(text);
  for (std::string& folder : s.folders)
    if (!folder.empty() && !IsFolder(folder)) folder.clear();
  Remembered() = s;
}

void SaveRememberedSettings(HWND main) {
  APPDATA* app = AppData(main);
  ControlSettings& s = Remembered();
  if (app) {
    const int item = static_cast<int>(SendMessageW(app->hWndComboPorts, CB_GETCURSEL, 0, 0));
    if (item >= 0 && item < CountPorts(app->ports)) s.port = app->ports[item].port_number;
    if (app->view_settings_applied) {
      const ViewerChoice v{app->view_span_s, app->view_max_altitude_m, app->view_gamma,
                           app->view_palette};
      if (ValidViewerChoice(v)) s.viewer = v;
    }
  }
  WINDOWPLACEMENT wp = {};
  wp.length = sizeof wp;
  if (GetWindowPlacement(main, &wp)) {
    const RECT& r = wp.rcNormalPosition;
    const bool maximized = wp.showCmd == SW_SHOWMAXIMIZED ||
                           (wp.showCmd == SW_SHOWMINIMIZED && (wp.flags & WPF_RESTORETOMAXIMIZED));
    const WindowPlace w{r.left, r.top, r.right, r.bottom, maximized};
    if (ValidWindowPlace(w)) s.window = w;
  }
  const std::wstring folder = SettingsFolder();
  if (folder.empty()) return;
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::string text = FormatControlSettings(s);
  int error = 0;
  std::string why;
  if (!platform::WriteOutput(Utf8(SettingsPath()), text.data(), text.size(),
                             platform::OutputRule::kReplace, true, &error, &why))
    platform::DebugTrace("settings not saved: %s\n", why.c_str());
}

void PlaceMainWindow(HWND main, int show) {
  const std::optional<WindowPlace>& w = Remembered().window;
  if (w) {
    const RECT r = {w->left, w->top, w->right, w->bottom};
    // A place on a screen that is no longer there is not used.
    if (MonitorFromRect(&r, MONITOR_DEFAULTTONULL)) {
      WINDOWPLACEMENT wp = {};
      wp.length = sizeof wp;
      GetWindowPlacement(main, &wp);
      wp.rcNormalPosition = r;
      wp.showCmd = SW_HIDE;
      SetWindowPlacement(main, &wp);
      if (w->maximized && (show == SW_SHOWNORMAL || show == SW_SHOWDEFAULT || show == SW_SHOW))
        show = SW_SHOWMAXIMIZED;
    }
  }
  ShowWindow(main, show);
}

std::wstring RememberedFolder(ChooserFolder which) {
  const std::string& f = Remembered().folders[static_cast<int>(which)];
  return f.empty() ? std::wstring() : Wide(f);
}

void RememberFolderOf(ChooserFolder which, const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos || slash == 0) return;
  // A drive's root keeps its backslash: "C:" alone is the drive's current folder.
  const size_t keep = slash == 2 && path[1] == L':' ? 3 : slash;
  Remembered().folders[static_cast<int>(which)] = Utf8(path.substr(0, keep));
}

}  // namespace zt::control
