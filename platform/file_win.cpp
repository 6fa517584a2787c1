#include <windows.h>

#include "platform/file.h"
#include "platform/utf8.h"

namespace zt::platform {

std::wstring SystemMessage(int code) {
  wchar_t* msg = nullptr;
  DWORD len = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(code),
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                             reinterpret_cast<wchar_t*>(&msg), 0, nullptr);
  std::wstring text = len > 0 && msg ? std::wstring(msg, len) : std::wstring();
  if (msg) LocalFree(msg);
  return text;
}

std::string ErrorText(int code) {
  std::string text = Utf8FromWide(SystemMessage(code));
  if (text.empty()) return "error " + std::to_string(code);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                           text.back() == '.'))
    text.pop_back();
  return text;
}

int LastErrorCode() { return static_cast<int>(GetLastError()); }
int FileExistsError() { return ERROR_FILE_EXISTS; }

static HANDLE H(void* h) { return static_cast<HANDLE>(h); }

File::~File() { Close(); }
File::File(File&& other) noexcept : handle_(other.handle_), last_error_(other.last_error_) {
  other.handle_ = INVALID_HANDLE_VALUE;
}
File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    last_error_ = other.last_error_;
    other.handle_ = INVALID_HANDLE_VALUE;
  }
  return *this;
}

bool File::OpenRead(const std::string& path) {
  Close();
  handle_ = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (H(handle_) == INVALID_HANDLE_VALUE) {
    last_error_ = static_cast<int>(GetLastError());
    return false;
  }
  return true;
}

bool File::Create(const std::string& path, CreateMode mode) {
  Close();
  // Shared for deletion so that an interrupted program can remove its half-written file
  // while it is still open (it goes when the program ends).
  handle_ = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                        mode == CreateMode::kNew ? CREATE_NEW : CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  if (H(handle_) == INVALID_HANDLE_VALUE) {
    last_error_ = static_cast<int>(GetLastError());
    return false;
  }
  return true;
}

bool File::OpenStream(const std::string& path) {
  Close();
  handle_ = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (H(handle_) == INVALID_HANDLE_VALUE) {
    last_error_ = static_cast<int>(GetLastError());
    return false;
  }
  return true;
}

bool File::OpenStandardStream(int which) {
  Close();
  HANDLE std_handle = GetStdHandle(which == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  HANDLE own = INVALID_HANDLE_VALUE;
  if (std_handle == nullptr || std_handle == INVALID_HANDLE_VALUE) {
    last_error_ = ERROR_INVALID_HANDLE;
    return false;
  }
  if (!DuplicateHandle(GetCurrentProcess(), std_handle, GetCurrentProcess(), &own, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    last_error_ = static_cast<int>(GetLastError());
    return false;
  }
  handle_ = own;
  return true;
}

bool File::SetPermissions(uint32_t) { return true; }

bool File::IsTerminal() {
  DWORD mode = 0;
  return IsOpen() && GetFileType(H(handle_)) == FILE_TYPE_CHAR &&
         GetConsoleMode(H(handle_), &mode) != FALSE;
}

bool File::IsOpen() const { return H(handle_) != INVALID_HANDLE_VALUE; }

bool File::Close() {
  if (!IsOpen()) return true;
  BOOL ok = CloseHandle(H(handle_));
  handle_ = INVALID_HANDLE_VALUE;
  if (!ok) {
    last_error_ = static_cast<int>(GetLastError());
    return false;
  }
  return true;
}

int64_t File::Size() {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(H(handle_), &size)) {
    last_error_ = static_cast<int>(GetLastError());
    return -1;
  }
  return size.QuadPart;
}

bool File::Seek(uint64_t offset) {
  LARGE_INTEGER li;
  li.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(H(handle_), li, nullptr, FILE_BEGIN)) {
    last_error_ = static_cast<int>(GetLastError());
    return false;
  }
  return true;
}

// Reads until n bytes or the end of the file, over short reads; `at` null reads at the file
// position, else at the offset (which also lets threads read one handle at once).
static int64_t ReadFully(HANDLE h, void* buf, size_t n, const uint64_t* at, int* last_error) {
  auto* p = static_cast<char*>(buf);
  size_t done = 0;
  while (done < n) {
    OVERLAPPED where = {};
    if (at) {
      where.Offset = static_cast<DWORD>(*at + done);
      where.OffsetHigh = static_cast<DWORD>((*at + done) >> 32);
    }
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(h, p + done, chunk, &got, at ? &where : nullptr)) {
      const DWORD e = GetLastError();
      if (at && e == ERROR_HANDLE_EOF) break;
      *last_error = static_cast<int>(e);
      return -1;
    }
    if (got == 0) break;
    done += got;
  }
  ObserveRead(static_cast<int64_t>(done));
  return static_cast<int64_t>(done);
}

int64_t File::Read(void* buf, size_t n) { return ReadFully(H(handle_), buf, n, nullptr, &last_error_); }

int64_t File::ReadAt(uint64_t offset, void* buf, size_t n) {
  return ReadFully(H(handle_), buf, n, &offset, &last_error_);
}

bool File::WriteAll(const void* buf, size_t n) {
  auto* p = static_cast<const char*>(buf);
  while (n > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
    DWORD put = 0;
    if (!WriteFile(H(handle_), p, chunk, &put, nullptr)) {
      last_error_ = static_cast<int>(GetLastError());
      return false;
    }
    if (put == 0) {
      last_error_ = ERROR_WRITE_FAULT;
      return false;
    }
    p += put;
    n -= put;
  }
  return true;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveFile(const std::string& path, int* error) {
  if (!DeleteFileW(WideFromUtf8(path).c_str())) {
    if (error) *error = static_cast<int>(GetLastError());
    return false;
  }
  return true;
}

bool RenameFile(const std::string& from, const std::string& to, int* error) {
  if (!MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(),
                   MOVEFILE_REPLACE_EXISTING)) {
    if (error) *error = static_cast<int>(GetLastError());
    return false;
  }
  return true;
}

bool RenameFileNoReplace(const std::string& from, const std::string& to, int* error) {
  if (!MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(), 0)) {
    if (error) *error = static_cast<int>(GetLastError());
    return false;
  }
  return true;
}

}  // namespace zt::platform

namespace zt::platform {
namespace {
bool FileId(const std::string& p, BY_HANDLE_FILE_INFORMATION* info) {
  // No access asked and every sharing allowed: a file another program holds open is
  // still identified.
  HANDLE h = CreateFileW(WideFromUtf8(p).c_str(), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BOOL ok = GetFileInformationByHandle(h, info);
  CloseHandle(h);
  return ok != FALSE;
}

bool SameId(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}
}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  return FileId(a, &ia) && FileId(b, &ib) && SameId(ia, ib);
}

bool SameFileAsStandardOutput(const std::string& path) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  BY_HANDLE_FILE_INFORMATION ia, ib;
  return out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) == FILE_TYPE_DISK &&
         FileId(path, &ia) && GetFileInformationByHandle(out, &ib) && SameId(ia, ib);
}
}  // namespace zt::platform
