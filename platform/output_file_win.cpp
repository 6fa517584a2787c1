#include <windows.h>

#include <cwctype>

#include "platform/output_file.h"
#include "platform/utf8.h"

namespace zt::platform {
namespace {

// CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$ and CONOUT$ name devices in every folder and
// with any extension ("C:\\Data\\NUL.LOG" is the null device): never a file to rename onto.
bool IsReservedDeviceName(const std::wstring& path) {
  if (path.rfind(L"\\\\.\\", 0) == 0) return true;  // the device namespace itself
  size_t start = path.find_last_of(L"\\/:");
  start = start == std::wstring::npos ? 0 : start + 1;
  std::wstring base = path.substr(start, path.find(L'.', start) - start);
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (wchar_t& c : base) c = static_cast<wchar_t>(std::towupper(c));
  if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" ||
      base == L"CONIN$" || base == L"CONOUT$")
    return true;
  return base.size() == 4 && (base.rfind(L"COM", 0) == 0 || base.rfind(L"LPT", 0) == 0) &&
         base[3] >= L'0' && base[3] <= L'9';
}

// A link (reparse point) followed to what it names.
void FollowLink(const std::wstring& wide, OutputTarget* t) {
  HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    t->kind = OutputKind::kUnusable;
    t->error = static_cast<int>(GetLastError());
    return;
  }
  BY_HANDLE_FILE_INFORMATION info;
  const DWORD type = GetFileType(h);
  if (type != FILE_TYPE_DISK) {
    t->kind = OutputKind::kStream;
  } else if (GetFileInformationByHandle(h, &info) &&
             (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    t->kind = OutputKind::kDirectory;
  } else {
    wchar_t final_path[32768];
    const DWORD n = GetFinalPathNameByHandleW(h, final_path, 32768, FILE_NAME_NORMALIZED);
    if (n == 0 || n >= 32768) {
      t->kind = OutputKind::kUnusable;
      t->error = static_cast<int>(GetLastError());
    } else {
      t->kind = OutputKind::kPlainFile;
      t->path = Utf8FromWide(std::wstring(final_path, n));
    }
  }
  CloseHandle(h);
}

}  // namespace

OutputTarget InspectOutput(const std::string& path) {
  OutputTarget t;
  t.path = path;
  const std::wstring wide = WideFromUtf8(path);
  if (IsReservedDeviceName(wide)) {
    t.kind = OutputKind::kStream;
    return t;
  }
  const DWORD attrs = GetFileAttributesW(wide.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) {
    const DWORD e = GetLastError();
    if (e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND) {
      t.kind = OutputKind::kUnusable;
      t.error = static_cast<int>(e);
    }
    return t;
  }
  if (attrs & FILE_ATTRIBUTE_REPARSE_POINT) {
    t.is_link = true;
    FollowLink(wide, &t);
  } else if (attrs & FILE_ATTRIBUTE_DIRECTORY) {
    t.kind = OutputKind::kDirectory;
  } else {
    t.kind = OutputKind::kPlainFile;
  }
  return t;
}

}  // namespace zt::platform
