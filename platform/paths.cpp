#include "platform/file.h"

#include <atomic>
#include <chrono>

namespace zt::platform {

// One for both systems: only Seek and Read differ between POSIX and Win32.
int64_t File::ReadAt(uint64_t offset, void* buf, size_t n) {
  if (!Seek(offset)) return -1;
  return Read(buf, n);
}

std::string TempPathBeside(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  auto ticks = static_cast<unsigned long long>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  return target + ".part-" + std::to_string(ticks % 1000000007ULL) + "-" +
         std::to_string(counter.fetch_add(1));
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t n, int* error) {
  const std::string temp = TempPathBeside(path);
  File f;
  int code = 0;
  // A failure the system gives no code for still counts as one.
  auto failed = [&code](int c) { code = c != 0 ? c : -1; };
  if (!f.Create(temp, CreateMode::kNew)) {
    failed(f.last_error());
  } else {
    if (!f.WriteAll(data, n)) failed(f.last_error());
    if (!f.Close() && code == 0) failed(f.last_error());
    int rename_code = 0;
    if (code == 0 && !RenameFile(temp, path, &rename_code)) failed(rename_code);
    if (code != 0) RemoveFile(temp);
  }
  if (code != 0 && error) *error = code;
  return code == 0;
}

}  // namespace zt::platform
