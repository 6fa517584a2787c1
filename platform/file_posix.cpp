#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file.h"

namespace zt::platform {

std::string ErrorText(int code) { return std::strerror(code); }
int LastErrorCode() { return errno; }
int FileExistsError() { return EEXIST; }

File::~File() { Close(); }
File::File(File&& other) noexcept : fd_(other.fd_), last_error_(other.last_error_) { other.fd_ = -1; }
File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    last_error_ = other.last_error_;
    other.fd_ = -1;
  }
  return *this;
}

bool File::OpenRead(const std::string& path) {
  Close();
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    last_error_ = errno;
    return false;
  }
  struct stat st;
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    last_error_ = EISDIR;
    return false;
  }
  return true;
}

bool File::Create(const std::string& path, CreateMode mode) {
  Close();
  int flags = O_RDWR | O_CREAT | O_CLOEXEC | (mode == CreateMode::kNew ? O_EXCL : O_TRUNC);
  fd_ = ::open(path.c_str(), flags, 0666);
  if (fd_ < 0) {
    last_error_ = errno;
    return false;
  }
  return true;
}

// A reader that goes away is a write error with the system's text (EPIPE), not a silent end
// of the program by SIGPIPE. A program that chose to ignore or handle it keeps its choice.
static void IgnoreBrokenPipe() {
  struct sigaction old;
  if (::sigaction(SIGPIPE, nullptr, &old) == 0 && old.sa_handler == SIG_DFL)
    ::signal(SIGPIPE, SIG_IGN);
}

bool File::OpenStream(const std::string& path) {
  Close();
  IgnoreBrokenPipe();
  fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0) {
    last_error_ = errno;
    return false;
  }
  return true;
}

bool File::OpenStandardStream(int which) {
  Close();
  IgnoreBrokenPipe();
  fd_ = ::fcntl(which, F_DUPFD_CLOEXEC, 3);
  if (fd_ < 0) {
    last_error_ = errno;
    return false;
  }
  return true;
}

bool File::SetPermissions(uint32_t mode) {
  if (::fchmod(fd_, static_cast<mode_t>(mode & 07777)) != 0) {
    last_error_ = errno;
    return false;
  }
  return true;
}

bool File::IsTerminal() { return fd_ >= 0 && ::isatty(fd_) == 1; }

bool File::IsOpen() const { return fd_ >= 0; }

bool File::Close() {
  if (fd_ < 0) return true;
  int rc = ::close(fd_);
  fd_ = -1;
  if (rc != 0) {
    last_error_ = errno;
    return false;
  }
  return true;
}

int64_t File::Size() {
  struct stat st;
  if (::fstat(fd_, &st) != 0) {
    last_error_ = errno;
    return -1;
  }
  return static_cast<int64_t>(st.st_size);
}

bool File::Seek(uint64_t offset) {
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    last_error_ = errno;
    return false;
  }
  return true;
}

// Reads until n bytes or the end of the file, over short reads and interruptions; `once`
// reads at most `want` bytes at `done` bytes into the request.
template <typename ReadOnce>
static int64_t ReadFully(void* buf, size_t n, int* last_error, ReadOnce once) {
  auto* p = static_cast<char*>(buf);
  size_t done = 0;
  while (done < n) {
    const ssize_t got = once(p + done, n - done, done);
    if (got < 0) {
      if (errno == EINTR) continue;
      *last_error = errno;
      return -1;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  ObserveRead(static_cast<int64_t>(done));
  return static_cast<int64_t>(done);
}

int64_t File::Read(void* buf, size_t n) {
  return ReadFully(buf, n, &last_error_,
                   [this](char* to, size_t want, size_t) { return ::read(fd_, to, want); });
}

int64_t File::ReadAt(uint64_t offset, void* buf, size_t n) {
  return ReadFully(buf, n, &last_error_, [this, offset](char* to, size_t want, size_t done) {
    return ::pread(fd_, to, want, static_cast<off_t>(offset + done));
  });
}

bool File::WriteAll(const void* buf, size_t n) {
  auto* p = static_cast<const char*>(buf);
  while (n > 0) {
    ssize_t put = ::write(fd_, p, n);
    if (put < 0) {
      if (errno == EINTR) continue;
      last_error_ = errno;
      return false;
    }
    // Nothing written and no error: retrying would spin for ever; the device took no
    // more (a full disk, as far as the caller can tell).
    if (put == 0) {
      last_error_ = ENOSPC;
      return false;
    }
    p += put;
    n -= static_cast<size_t>(put);
  }
  return true;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool RemoveFile(const std::string& path, int* error) {
  if (::unlink(path.c_str()) != 0) {
    if (error) *error = errno;
    return false;
  }
  return true;
}

bool RenameFile(const std::string& from, const std::string& to, int* error) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    if (error) *error = errno;
    return false;
  }
  return true;
}

bool RenameFileNoReplace(const std::string& from, const std::string& to, int* error) {
  // link() fails with EEXIST when the target exists, which makes the check and the
  // rename one step; file systems without hard links fall back to check-then-rename.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return true;
  }
  int e = errno;
  if (e == EEXIST) {
    if (error) *error = e;
    return false;
  }
  if (FileExists(to)) {
    if (error) *error = EEXIST;
    return false;
  }
  return RenameFile(from, to, error);
}

}  // namespace zt::platform

namespace zt::platform {
static bool SameId(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && SameId(sa, sb);
}

bool SameFileAsStandardOutput(const std::string& path) {
  struct stat sa, sb;
  return ::stat(path.c_str(), &sa) == 0 && ::fstat(1, &sb) == 0 && SameId(sa, sb);
}
}  // namespace zt::platform
