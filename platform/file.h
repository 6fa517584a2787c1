// Files through the platform seam. Paths are UTF-8 on every platform; the Win32
// implementation converts them to wide strings. Offsets and sizes are 64-bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zt::platform {

// The system's own text for an error code (errno on POSIX, GetLastError on Windows).
std::string ErrorText(int code);
#ifdef _WIN32
// The system's own words for an error code, as FormatMessage gives them (line end
// included); empty when the system has none.
std::wstring SystemMessage(int code);
#endif

enum class CreateMode {
  kAlways,  // create or truncate (the export's behaviour)
  kNew,     // fail if the file exists
};

class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing file for reading; others may read it too.
  bool OpenRead(const std::string& path);
  // Creates a file for reading and writing; others may read it.
  bool Create(const std::string& path, CreateMode mode);
  // Opens an existing device, pipe or socket for writing, as it is: nothing is created or
  // truncated.
  bool OpenStream(const std::string& path);
  // A handle of its own on the program's standard output (1) or standard error (2).
  bool OpenStandardStream(int which);
  // Gives the file these permission bits (POSIX; nothing elsewhere).
  bool SetPermissions(uint32_t mode);
  // True when the file is a terminal or console.
  bool IsTerminal();
  bool IsOpen() const;
  // Closes the file; false if the system reported an error on close (data not written).
  bool Close();

  // Size in bytes, or -1.
  int64_t Size();
  bool Seek(uint64_t offset);
  // Reads up to n bytes from the current position, looping over short reads until n bytes
  // or end of file. Returns the bytes read, or -1 on error.
  int64_t Read(void* buf, size_t n);
  // Same, at an offset, without using the file position: threads may read one file at once.
  int64_t ReadAt(uint64_t offset, void* buf, size_t n);
  // Writes all n bytes at the current position; false on any failure.
  bool WriteAll(const void* buf, size_t n);

  // Error code of the last failed call, for ErrorText.
  int last_error() const { return last_error_; }

 private:
#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(static_cast<intptr_t>(-1));
#else
  int fd_ = -1;
#endif
  int last_error_ = 0;
};

// Whole-file helpers. Each returns false and fills *error (code) on failure.
bool FileExists(const std::string& path);
bool RemoveFile(const std::string& path, int* error = nullptr);
// Renames, replacing an existing target.
bool RenameFile(const std::string& from, const std::string& to, int* error = nullptr);
// Renames only if the target does not exist (never overwrites).
bool RenameFileNoReplace(const std::string& from, const std::string& to, int* error = nullptr);

// A fresh name in the folder of `target`, for writing a file that is renamed into place
// when complete, so that `target` is never seen half-written.
std::string TempPathBeside(const std::string& target);

// Called after every read of every File with the bytes it delivered, from the reading
// thread; null (the default) for none. Benchmarks set one to count what a code path reads
// and to imitate a slow medium (an SD card in a USB reader) by sleeping in it.
using ReadObserver = void (*)(uint64_t bytes);
void SetReadObserver(ReadObserver observer);
void ObserveRead(int64_t bytes);

// Last error code of the calling thread (errno / GetLastError).
int LastErrorCode();
// The system's code for "the file exists" (EEXIST / ERROR_FILE_EXISTS).
int FileExistsError();

}  // namespace zt::platform

namespace zt::platform {
// True when both paths exist and name the same file.
bool SameFile(const std::string& a, const std::string& b);
// True when the file at `path` is the one the program's standard output writes to.
bool SameFileAsStandardOutput(const std::string& path);
}  // namespace zt::platform
