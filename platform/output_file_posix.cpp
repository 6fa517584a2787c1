#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/output_file.h"

namespace zt::platform {
namespace {

constexpr int kMaxLinkHops = 40;  // the kernel's own limit on a chain of links

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The name a chain of links ends in, where nothing exists yet (a dangling link).
bool DanglingTarget(const std::string& link, std::string* target, int* error) {
  std::string at = link;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(at.c_str(), buf, sizeof buf - 1);
    if (n < 0) {
      *error = errno;
      return false;
    }
    std::string next(buf, static_cast<size_t>(n));
    if (next.empty() || next[0] != '/') next = FolderOf(at) + "/" + next;
    struct stat st;
    if (::lstat(next.c_str(), &st) != 0) {
      if (errno != ENOENT) {
        *error = errno;
        return false;
      }
      *target = next;
      return true;
    }
    if (!S_ISLNK(st.st_mode)) {  // it appeared meanwhile: let the caller look again
      *error = EEXIST;
      return false;
    }
    at = next;
  }
  *error = ELOOP;
  return false;
}

bool SameObject(const struct stat& a, int fd) {
  struct stat b;
  return ::fstat(fd, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void Classify(const struct stat& st, OutputTarget* t) {
  if (S_ISDIR(st.st_mode)) t->kind = OutputKind::kDirectory;
  else if (S_ISBLK(st.st_mode)) t->kind = OutputKind::kBlockDevice;
  else if (S_ISREG(st.st_mode)) t->kind = OutputKind::kPlainFile;
  else t->kind = OutputKind::kStream;  // character device, pipe, socket
  t->mode = static_cast<uint32_t>(st.st_mode & 07777);
  // /dev/stdout, /proc/self/fd/1, or the file the shell redirected standard output to: the
  // program's own handle reaches it (a socket cannot be opened by name at all).
  if (SameObject(st, 1)) t->std_stream = 1;
  else if (SameObject(st, 2)) t->std_stream = 2;
}

}  // namespace

OutputTarget InspectOutput(const std::string& path) {
  OutputTarget t;
  t.path = path;
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return t;  // kMissing
    t.kind = OutputKind::kUnusable;
    t.error = errno;
    return t;
  }
  if (!S_ISLNK(st.st_mode)) {
    Classify(st, &t);
    return t;
  }
  t.is_link = true;
  if (::stat(path.c_str(), &st) != 0) {
    int error = errno;
    if (error == ENOENT && DanglingTarget(path, &t.path, &error)) return t;  // kMissing
    t.kind = OutputKind::kUnusable;
    t.error = error;
    return t;
  }
  Classify(st, &t);
  if (t.kind == OutputKind::kPlainFile && t.std_stream == 0) {
    // The file is replaced where it is, beside itself, so that the link keeps pointing at it.
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) {
      t.kind = OutputKind::kUnusable;
      t.error = errno;
      return t;
    }
    t.path = real;
    std::free(real);
  }
  return t;
}

}  // namespace zt::platform
