#include "tools/logger_sim/serve_pty.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <algorithm>
#include <deque>

namespace zt::sim {
namespace {

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}
int64_t MonoMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// False (errno set) if the line could not be made raw: echo and line editing would then
// corrupt every frame.
bool MakeRaw(int fd) {
  termios tio;
  if (tcgetattr(fd, &tio) != 0) return false;
  cfmakeraw(&tio);
  cfsetispeed(&tio, B115200);
  cfsetospeed(&tio, B115200);
  return tcsetattr(fd, TCSANOW, &tio) == 0;
}

struct Pending {
  int64_t due_mono_ms;
  std::string bytes;
};

// Waits until the host has read the last reply (at most 2 s), so that the hang-up does not
// swallow it: a hang-up discards what waits in the terminal side's input. The reply is
// taken when it has been seen waiting and is gone, or when none has waited for 50 ms.
void WaitUntilHostHasRead(int slave) {
  const int64_t start = MonoMs();
  bool seen = false;
  for (;;) {
    int waiting = 0;
    if (ioctl(slave, FIONREAD, &waiting) != 0) return;
    if (waiting > 0) seen = true;
    const int64_t elapsed = MonoMs() - start;
    if ((waiting == 0 && (seen || elapsed >= 50)) || elapsed >= 2000) return;
    usleep(500);
  }
}

}  // namespace

size_t WriteWithin(int fd, const std::string& bytes, int stall_ms, int* error) {
  *error = 0;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t w = write(fd, bytes.data() + done, bytes.size() - done);
    if (w > 0) {
      done += static_cast<size_t>(w);
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      *error = errno;
      return done;
    }
    pollfd wp{fd, POLLOUT, 0};
    const int r = poll(&wp, 1, stall_ms);
    if (r < 0) {  // a signal too (EINTR): the caller may be asked to stop
      *error = errno;
      return done;
    }
    if (r == 0) return done;  // no room for stall_ms: the host is not reading
  }
  return done;
}

namespace {

int Refuse(const char* fmt, const char* a, const char* b = "") {
  std::fprintf(stderr, fmt, a, b);
  return 1;
}

// A raw pseudo-terminal: its master side (non-blocking) and its terminal side, which stays
// open so that the line stays up between clients (no hang-up, no EIO). 0, or 1 after a line
// on stderr.
int OpenPty(int* master, int* slave, std::string* device) {
  *master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (*master < 0 || grantpt(*master) != 0 || unlockpt(*master) != 0)
    return Refuse("zt615_logger_sim: cannot create a pseudo-terminal: %s\n", std::strerror(errno));
  const char* name = ptsname(*master);
  if (!name) return Refuse("zt615_logger_sim: ptsname: %s\n", std::strerror(errno));
  *device = name;
  *slave = open(device->c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (*slave < 0)
    return Refuse("zt615_logger_sim: %s: %s\n", device->c_str(), std::strerror(errno));
  if (!MakeRaw(*slave) || !MakeRaw(*master))
    return Refuse("zt615_logger_sim: cannot make %s a raw line: %s\n", device->c_str(),
                  std::strerror(errno));
  fcntl(*master, F_SETFL, fcntl(*master, F_GETFL) | O_NONBLOCK);
  return 0;
}

// The device's fixed name: a link, replacing only a link.
int LinkDevice(const std::string& link, const std::string& device) {
  struct stat st;
  if (lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode))
      return Refuse("zt615_logger_sim: %s exists and is not a link; not replacing it\n",
                    link.c_str());
    unlink(link.c_str());
  }
  if (symlink(device.c_str(), link.c_str()) != 0)
    return Refuse("zt615_logger_sim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
  return 0;
}

void StopOnSignals() {
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

// The logger on the line: lines from the host in, replies out when they are due.
class PtyLine {
 public:
  PtyLine(SimLogger* logger, const ServeOptions& options, int master, int slave)
      : logger_(logger), options_(options), master_(master), slave_(slave) {}

  void Serve() {
    while (!g_stop) {
      int timeout = 100;
      if (!out_.empty()) {
        const int64_t wait = out_.front().due_mono_ms - MonoMs();
        timeout = wait <= 0 ? 0 : wait < 100 ? static_cast<int>(wait) : 100;
      }
      pollfd pfd{master_, POLLIN, 0};
      const int r = poll(&pfd, 1, timeout);
      if (r < 0 && errno != EINTR) break;
      if (r > 0 && (pfd.revents & POLLIN)) Read();
      WriteDue();
      // The hangup fault: once its reply is out and read, the logger drops the line. Closing
      // the pseudo-terminal's master side hangs up the terminal side: the host's writes then
      // fail (EIO), as with a logger that was switched off or unplugged.
      if (logger_->hanging_up() && out_.empty()) {
        WaitUntilHostHasRead(slave_);
        std::fprintf(options_.log, "%s\n", SimLogger::HangupLog(NowMs()).c_str());
        std::fflush(options_.log);
        break;
      }
    }
  }

 private:
  void Read() {
    char buf[512];
    const ssize_t n = read(master_, buf, sizeof buf);
    for (ssize_t i = 0; i < n; ++i) {
      const char c = buf[i];
      if (c == '\n') continue;
      if (c != '\r') {
        if (line_.size() < 4096) line_ += c;
        continue;
      }
      Answer();
    }
  }

  void Answer() {
    std::string log;
    const bool was_hanging_up = logger_->hanging_up();
    const std::vector<ReplyPiece> pieces = logger_->HandleLine(line_, NowMs(), &log);
    line_.clear();
    // About to hang up: hold the host's writes back from now on (the terminal side's output
    // stopped), so that its next frame meets the hang-up rather than slipping through while
    // the reply is read.
    if (logger_->hanging_up() && !was_hanging_up) tcflow(slave_, TCOOFF);
    std::fprintf(options_.log, "%s\n", log.c_str());
    std::fflush(options_.log);
    int64_t due = std::max(MonoMs(), last_due_);
    for (const ReplyPiece& p : pieces) {
      due += p.after_ms;
      out_.push_back({due, p.bytes});
    }
    last_due_ = due;
  }

  void WriteDue() {
    const int64_t now = MonoMs();
    while (!out_.empty() && out_.front().due_mono_ms <= now) {
      const std::string& b = out_.front().bytes;
      int error = 0;
      const size_t done = WriteWithin(master_, b, kHostStallMs, &error);
      if (done < b.size() && g_stop) break;
      if (done < b.size()) {
        // The rest of the answer would meet the same host: dropped, and said so.
        size_t dropped = 0;
        for (const Pending& p : out_) dropped += p.bytes.size();
        dropped -= done;
        if (error != 0)
          std::fprintf(stderr, "zt615_logger_sim: writing the reply failed: %s; %zu bytes dropped\n",
                       std::strerror(error), dropped);
        else
          std::fprintf(stderr,
                       "zt615_logger_sim: the host read nothing for %d ms; %zu bytes of the "
                       "reply dropped\n",
                       kHostStallMs, dropped);
        std::fflush(stderr);
        out_.clear();
        break;
      }
      out_.pop_front();
    }
  }

  SimLogger* logger_;
  const ServeOptions& options_;
  int master_, slave_;
  std::string line_;
  std::deque<Pending> out_;
  int64_t last_due_ = 0;
};

}  // namespace

int ServeOnPty(SimLogger* logger, const ServeOptions& options) {
  int master = -1, slave = -1;
  std::string device;
  if (OpenPty(&master, &slave, &device) != 0) return 1;
  if (!options.link.empty() && LinkDevice(options.link, device) != 0) return 1;
  StopOnSignals();
  if (options.link.empty())
    std::fprintf(stderr, "zt615_logger_sim: a ZT615 answers on %s\n", device.c_str());
  else
    std::fprintf(stderr, "zt615_logger_sim: a ZT615 answers on %s (linked at %s)\n",
                 device.c_str(), options.link.c_str());
  std::fprintf(stderr, "zt615_logger_sim: try: zt615 device info --port %s\n",
               options.link.empty() ? device.c_str() : options.link.c_str());
  std::fflush(stderr);
  PtyLine(logger, options, master, slave).Serve();
  if (!options.link.empty()) unlink(options.link.c_str());
  close(master);
  close(slave);
  return 0;
}

}  // namespace zt::sim
