#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/serial_port.h"

namespace zt::platform {
namespace {

class PosixSerialPort final : public SerialPort {
 public:
  explicit PosixSerialPort(int fd) : fd_(fd) {}
  ~PosixSerialPort() override {
#ifdef TIOCNXCL
    ::ioctl(fd_, TIOCNXCL);
#endif
    ::close(fd_);
  }

  int Write(const void* data, size_t n) override {
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    // One call from the caller's side; the tty may take a long line in pieces. A line held
    // back (flow stopped) gets a second to move on; one that hangs up meanwhile ends the
    // wait at once and the next write reports it.
    int stalled_polls = 0;
    while (done < n) {
      ssize_t w = ::write(fd_, p + done, n - done);
      if (w < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN) {
          pollfd pfd{fd_, POLLOUT, 0};
          if (::poll(&pfd, 1, 100) <= 0 && ++stalled_polls >= 10) {
            last_error_ = EAGAIN;
            break;
          }
          continue;
        }
        // A line that has hung up (its far side closed) reports EIO here.
        last_error_ = errno;
        return done > 0 ? static_cast<int>(done) : -1;
      }
      done += static_cast<size_t>(w);
      stalled_polls = 0;
    }
    return static_cast<int>(done);
  }

  int Read(void* buf, size_t n) override {
    if (n == 0) return 0;
    pollfd pfd{fd_, POLLIN, 0};
    int r;
    do {
      r = ::poll(&pfd, 1, 100);
    } while (r < 0 && errno == EINTR);
    if (r < 0) {
      last_error_ = errno;
      return -1;
    }
    if (r == 0) return 0;
    if (pfd.revents & (POLLERR | POLLNVAL)) {
      last_error_ = (pfd.revents & POLLNVAL) ? EBADF : EIO;
      return -1;
    }
    ssize_t got;
    do {
      got = ::read(fd_, buf, n);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
      if (errno == EAGAIN) return 0;
      // A pseudo-terminal whose other side has gone reports EIO: nothing more will come,
      // but the caller's deadline decides the outcome. Pause as a quiet line would.
      if (errno == EIO) {
        ::poll(nullptr, 0, 100);
        return 0;
      }
      last_error_ = errno;
      return -1;
    }
    if (got == 0 && (pfd.revents & POLLHUP)) ::poll(nullptr, 0, 100);
    return static_cast<int>(got);
  }

  int LastError() const override { return last_error_; }

 private:
  int fd_;
  int last_error_ = 0;
};

// Sorts names with their digit runs compared as numbers: ttyUSB2 before ttyUSB10.
bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (isdigit(static_cast<unsigned char>(a[i])) && isdigit(static_cast<unsigned char>(b[j]))) {
      size_t ie = i, je = j;
      while (ie < a.size() && isdigit(static_cast<unsigned char>(a[ie]))) ++ie;
      while (je < b.size() && isdigit(static_cast<unsigned char>(b[je]))) ++je;
      std::string na = a.substr(i, ie - i), nb = b.substr(j, je - j);
      na.erase(0, std::min(na.find_first_not_of('0'), na.size()));
      nb.erase(0, std::min(nb.find_first_not_of('0'), nb.size()));
      if (na.size() != nb.size()) return na.size() < nb.size();
      if (na != nb) return na < nb;
      i = ie;
      j = je;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

std::vector<std::string> ListDir(const std::string& dir, const std::string& prefix) {
  std::vector<std::string> names;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return names;
  while (dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    if (n.compare(0, prefix.size(), prefix) != 0) continue;
    names.push_back(n);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end(), NaturalLess);
  return names;
}

}  // namespace

std::unique_ptr<SerialPort> OpenSerialPort(const std::string& path, int* error) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = errno;
    return nullptr;
  }
  // Exclusive use, as a COM port is on Windows: another program holding it refuses us.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int e = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(fd);
    if (error) *error = e;
    return nullptr;
  }
  struct termios tio;
  if (::tcgetattr(fd, &tio) != 0) {
    int e = errno;
    ::close(fd);
    if (error) *error = e;
    return nullptr;
  }
  // 115200 8N1, raw. A line that does not take these settings is refused, as a COM port
  // that refuses its state is.
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::cfsetispeed(&tio, B115200) != 0 || ::cfsetospeed(&tio, B115200) != 0 ||
      ::tcsetattr(fd, TCSANOW, &tio) != 0) {
    int e = errno;
    ::close(fd);
    if (error) *error = e;
    return nullptr;
  }
  // Whatever was left on the line is discarded; a line that cannot flush still works.
  ::tcflush(fd, TCIOFLUSH);
  return std::make_unique<PosixSerialPort>(fd);
}

bool ReadSerialCommValues(std::vector<RegistryValue>* values, int* error) {
  values->clear();
  if (error) *error = ENOSYS;
  return false;
}

std::vector<std::string> ListSerialPorts() {
  std::vector<std::string> out;
  for (const std::string& n : ListDir("/dev/serial/by-id", ""))
    out.push_back("/dev/serial/by-id/" + n);
  for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
    for (const std::string& n : ListDir("/dev", prefix)) {
      const std::string rest = n.substr(std::strlen(prefix));
      if (rest.empty() || rest.find_first_not_of("0123456789") != std::string::npos) continue;
      out.push_back("/dev/" + n);
    }
  }
  return out;
}

}  // namespace zt::platform
