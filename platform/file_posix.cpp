#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file.h"

namespace zt::platform {

std::string ErrorText(int code) { return std::strerror(code); }
int LastErrorCode() { return errno; }

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

int64_t File::Read(void* buf, size_t n) {
  auto* p = static_cast<char*>(buf);
  size_t done = 0;
  while (done < n) {
    ssize_t got = ::read(fd_, p + done, n - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      last_error_ = errno;
      return -1;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(done);
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
bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}
}  // namespace zt::platform
