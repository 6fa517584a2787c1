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

int ServeOnPty(SimLogger* logger, const ServeOptions& options) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::fprintf(stderr, "zt615_logger_sim: cannot create a pseudo-terminal: %s\n",
                 std::strerror(errno));
    return 1;
  }
  const char* name = ptsname(master);
  if (!name) {
    std::fprintf(stderr, "zt615_logger_sim: ptsname: %s\n", std::strerror(errno));
    return 1;
  }
  const std::string device = name;
  // Holding the terminal side open keeps the line up between clients (no hang-up, no EIO).
  const int slave = open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) {
    std::fprintf(stderr, "zt615_logger_sim: %s: %s\n", device.c_str(), std::strerror(errno));
    return 1;
  }
  if (!MakeRaw(slave) || !MakeRaw(master)) {
    std::fprintf(stderr, "zt615_logger_sim: cannot make %s a raw line: %s\n", device.c_str(),
                 std::strerror(errno));
    return 1;
  }
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

  if (!options.link.empty()) {
    struct stat st;
    if (lstat(options.link.c_str(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        std::fprintf(stderr, "zt615_logger_sim: %s exists and is not a link; not replacing it\n",
                     options.link.c_str());
        return 1;
      }
      unlink(options.link.c_str());
    }
    if (symlink(device.c_str(), options.link.c_str()) != 0) {
      std::fprintf(stderr, "zt615_logger_sim: cannot link %s: %s\n", options.link.c_str(),
                   std::strerror(errno));
      return 1;
    }
  }

  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  if (options.link.empty())
    std::fprintf(stderr, "zt615_logger_sim: a ZT615 answers on %s\n", device.c_str());
  else
    std::fprintf(stderr, "zt615_logger_sim: a ZT615 answers on %s (linked at %s)\n",
                 device.c_str(), options.link.c_str());
  std::fprintf(stderr, "zt615_logger_sim: try: zt615 device info --port %s\n",
               options.link.empty() ? device.c_str() : options.link.c_str());
  std::fflush(stderr);

  std::string line;
  std::deque<Pending> out;
  int64_t last_due = 0;
  while (!g_stop) {
    int64_t now = MonoMs();
    int timeout = 100;
    if (!out.empty()) {
      const int64_t wait = out.front().due_mono_ms - now;
      timeout = wait <= 0 ? 0 : wait < 100 ? static_cast<int>(wait) : 100;
    }
    pollfd pfd{master, POLLIN, 0};
    const int r = poll(&pfd, 1, timeout);
    if (r < 0 && errno != EINTR) break;
    if (r > 0 && (pfd.revents & POLLIN)) {
      char buf[512];
      const ssize_t n = read(master, buf, sizeof buf);
      for (ssize_t i = 0; i < n; ++i) {
        const char c = buf[i];
        if (c == '\n') continue;
        if (c != '\r') {
          if (line.size() < 4096) line += c;
          continue;
        }
        std::string log;
        const bool was_hanging_up = logger->hanging_up();
        const std::vector<ReplyPiece> pieces = logger->HandleLine(line, NowMs(), &log);
        line.clear();
        // About to hang up: hold the host's writes back from now on (the terminal side's
        // output stopped), so that its next frame meets the hang-up rather than slipping
        // through while the reply is read.
        if (logger->hanging_up() && !was_hanging_up) tcflow(slave, TCOOFF);
        std::fprintf(options.log, "%s\n", log.c_str());
        std::fflush(options.log);
        int64_t due = MonoMs();
        if (due < last_due) due = last_due;
        for (const ReplyPiece& p : pieces) {
          due += p.after_ms;
          out.push_back({due, p.bytes});
        }
        last_due = due;
      }
    }
    now = MonoMs();
    while (!out.empty() && out.front().due_mono_ms <= now) {
      const std::string& b = out.front().bytes;
      int error = 0;
      const size_t done = WriteWithin(master, b, kHostStallMs, &error);
      if (done < b.size() && g_stop) break;
      if (done < b.size()) {
        // The rest of the answer would meet the same host: dropped, and said so.
        size_t dropped = 0;
        for (const Pending& p : out) dropped += p.bytes.size();
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
        out.clear();
        break;
      }
      out.pop_front();
    }
    // The hangup fault: once its reply is out and read, the logger drops the line. Closing
    // the pseudo-terminal's master side hangs up the terminal side: the host's writes then
    // fail (EIO), as with a logger that was switched off or unplugged.
    if (logger->hanging_up() && out.empty()) {
      WaitUntilHostHasRead(slave);
      std::fprintf(options.log, "%s\n", SimLogger::HangupLog(NowMs()).c_str());
      std::fflush(options.log);
      break;
    }
  }
  if (!options.link.empty()) unlink(options.link.c_str());
  close(master);
  close(slave);
  return 0;
}

}  // namespace zt::sim
