// The output helper over every kind of path a user may name: what arrives where, what the
// path is afterwards, and what is refused. Device nodes are made in a private folder; the
// machine's own are never written.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "platform/output_file.h"
#include "tests/logfile/logged_file_builder.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace zt::platform {
namespace {

using test::ReadAll;
using test::TempDir;
namespace fs = std::filesystem;

const std::string kData = "line one\r\nline two\r\n";

#ifndef _WIN32
// Reads a named pipe to its end on a thread of its own, as a program at its far end would.
// Both ends are open before the test writes (the test holds the writing end until Join), so
// nothing waits for the other side, and a writer that never came cannot hang the test.
class PipeReader {
 public:
  explicit PipeReader(const std::string& path)
      : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK)), hold_(::open(path.c_str(), O_WRONLY)) {
    if (fd_ >= 0) ::fcntl(fd_, F_SETFL, 0);
    thread_ = std::thread([this] {
      char buf[4096];
      ssize_t n;
      while (fd_ >= 0 && (n = ::read(fd_, buf, sizeof buf)) > 0) got_.append(buf, n);
    });
  }
  std::string Join() {
    if (hold_ >= 0) ::close(hold_);
    thread_.join();
    if (fd_ >= 0) ::close(fd_);
    return got_;
  }

 private:
  int fd_;
  int hold_;
  std::string got_;
  std::thread thread_;
};

mode_t ModeOf(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// A node of the kernel's memory devices (null is 1:3, full is 1:7) in the test's folder.
bool MakeCharDevice(const std::string& path, unsigned minor) {
  return ::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, minor)) == 0;
}
#endif

struct Case {
  const char* behaviour;
  // Makes what the output path names, in `dir`; returns the path to open, or "" to skip
  // (with the reason in *skip).
  std::function<std::string(TempDir& dir, std::string* skip)> make;
  OutputRule rule;
  bool opens;    // Open succeeds
  bool commits;  // the write and the commit succeed (when it opens)
  // Checks what the folder holds afterwards.
  std::function<void(TempDir& dir)> check;
  const char* why = nullptr;  // part of the refusal's text, where one is expected
};

TEST(OutputFile, EveryKindOfPath) {
  const std::vector<Case> cases = {
      {"a new plain file", [](TempDir& d, std::string*) { return d.Path("OUT.LOG"); },
       OutputRule::kReplace, true, true,
       [](TempDir& d) {
         EXPECT_EQ(ReadAll(d.Path("OUT.LOG")), kData);
         EXPECT_EQ(d.Entries(), std::vector<std::string>{"OUT.LOG"});
       }},
      {"a folder is refused",
       [](TempDir& d, std::string*) {
         fs::create_directory(fs::u8path(d.Path("OUT.LOG")));
         return d.Path("OUT.LOG");
       },
       OutputRule::kReplace, false, false,
       [](TempDir& d) { EXPECT_TRUE(fs::is_directory(fs::u8path(d.Path("OUT.LOG")))); },
       "is a folder"},
      {"an existing file is never replaced where that is the rule",
       [](TempDir& d, std::string*) {
         test::WriteAll(d.Path("OUT.LOG"), "old");
         return d.Path("OUT.LOG");
       },
       OutputRule::kNeverReplace, false, false,
       [](TempDir& d) { EXPECT_EQ(ReadAll(d.Path("OUT.LOG")), "old"); }},
      {"standard output cannot be a new file", [](TempDir&, std::string*) { return std::string("-"); },
       OutputRule::kNeverReplace, false, false, [](TempDir&) {}, "new file"},
#ifndef _WIN32
      {"an existing file is replaced and keeps its permission bits",
       [](TempDir& d, std::string*) {
         test::WriteAll(d.Path("OUT.LOG"), "an older and longer export");
         ::chmod(d.Path("OUT.LOG").c_str(), 0640);
         return d.Path("OUT.LOG");
       },
       OutputRule::kReplace, true, true,
       [](TempDir& d) {
         EXPECT_EQ(ReadAll(d.Path("OUT.LOG")), kData);
         EXPECT_EQ(ModeOf(d.Path("OUT.LOG")), S_IFREG | 0640);
         EXPECT_EQ(d.Entries(), std::vector<std::string>{"OUT.LOG"});
       }},
      {"a link to a file: the target is written, the link stays",
       [](TempDir& d, std::string*) {
         fs::create_directory(fs::u8path(d.Path("real")));
         test::WriteAll(d.Path("real/OUT.LOG"), "old");
         fs::create_symlink("real/OUT.LOG", fs::u8path(d.Path("LINK.LOG")));
         return d.Path("LINK.LOG");
       },
       OutputRule::kReplace, true, true,
       [](TempDir& d) {
         EXPECT_TRUE(S_ISLNK(ModeOf(d.Path("LINK.LOG"))));
         EXPECT_EQ(ReadAll(d.Path("real/OUT.LOG")), kData);
         EXPECT_EQ(d.Entries(), (std::vector<std::string>{"LINK.LOG", "real"}));
       }},
      {"a dangling link: its target is created, through a chain of two links",
       [](TempDir& d, std::string*) {
         fs::create_directory(fs::u8path(d.Path("real")));
         fs::create_symlink("real/NEW.LOG", fs::u8path(d.Path("HOP.LOG")));
         fs::create_symlink(d.Path("HOP.LOG"), fs::u8path(d.Path("LINK.LOG")));
         return d.Path("LINK.LOG");
       },
       OutputRule::kReplace, true, true,
       [](TempDir& d) {
         EXPECT_TRUE(S_ISLNK(ModeOf(d.Path("LINK.LOG"))));
         EXPECT_TRUE(S_ISLNK(ModeOf(d.Path("HOP.LOG"))));
         EXPECT_EQ(ReadAll(d.Path("real/NEW.LOG")), kData);
       }},
      {"a link to a folder is refused",
       [](TempDir& d, std::string*) {
         fs::create_directory(fs::u8path(d.Path("real")));
         fs::create_symlink("real", fs::u8path(d.Path("LINK.LOG")));
         return d.Path("LINK.LOG");
       },
       OutputRule::kReplace, false, false,
       [](TempDir& d) {
         EXPECT_TRUE(S_ISLNK(ModeOf(d.Path("LINK.LOG"))));
         EXPECT_TRUE(fs::is_empty(fs::u8path(d.Path("real"))));
       },
       "is a folder"},
      {"a dangling link is an existing path where nothing may be replaced",
       [](TempDir& d, std::string*) {
         fs::create_symlink("NEW.LOG", fs::u8path(d.Path("LINK.LOG")));
         return d.Path("LINK.LOG");
       },
       OutputRule::kNeverReplace, false, false,
       [](TempDir& d) { EXPECT_EQ(d.Entries(), std::vector<std::string>{"LINK.LOG"}); }},
      {"a null device is written through and stays a device",
       [](TempDir& d, std::string* skip) {
         if (!MakeCharDevice(d.Path("null"), 3)) *skip = "mknod needs root";
         return d.Path("null");
       },
       OutputRule::kReplace, true, true,
       [](TempDir& d) {
         EXPECT_TRUE(S_ISCHR(ModeOf(d.Path("null"))));
         EXPECT_EQ(d.Entries(), std::vector<std::string>{"null"});
       }},
      {"a full device fails the write with the system's text and stays a device",
       [](TempDir& d, std::string* skip) {
         if (!MakeCharDevice(d.Path("full"), 7)) *skip = "mknod needs root";
         return d.Path("full");
       },
       OutputRule::kReplace, true, false,
       [](TempDir& d) {
         EXPECT_TRUE(S_ISCHR(ModeOf(d.Path("full"))));
         EXPECT_EQ(d.Entries(), std::vector<std::string>{"full"});
       },
       "No space left on device"},
      {"a device where a new file is needed is refused",
       [](TempDir& d, std::string* skip) {
         if (!MakeCharDevice(d.Path("null"), 3)) *skip = "mknod needs root";
         return d.Path("null");
       },
       OutputRule::kNeverReplace, false, false,
       [](TempDir& d) { EXPECT_TRUE(S_ISCHR(ModeOf(d.Path("null")))); }, "device or a pipe"},
      {"a block device is refused",
       [](TempDir& d, std::string* skip) {
         if (::mknod(d.Path("disk").c_str(), S_IFBLK | 0600, makedev(7, 200)) != 0)
           *skip = "mknod needs root";
         return d.Path("disk");
       },
       OutputRule::kReplace, false, false,
       [](TempDir& d) { EXPECT_TRUE(S_ISBLK(ModeOf(d.Path("disk")))); }, "block device"},
      {"a named pipe whose reader went away fails the write, not the program",
       [](TempDir& d, std::string*) {
         ::mkfifo(d.Path("fifo").c_str(), 0600);
         // A reader that closes the pipe as soon as the writer has opened it: the writes then
         // fail at once, or as soon as the pipe's buffer is full.
         std::thread([p = d.Path("fifo")] { ::close(::open(p.c_str(), O_RDONLY)); }).detach();
         return d.Path("fifo");
       },
       OutputRule::kReplace, true, false,
       [](TempDir& d) { EXPECT_TRUE(S_ISFIFO(ModeOf(d.Path("fifo")))); }, "Broken pipe"},
#else
      {"the null device by its reserved name, in a folder and with an extension",
       [](TempDir& d, std::string*) { return d.Path("NUL.LOG"); }, OutputRule::kReplace, true,
       true, [](TempDir& d) { EXPECT_TRUE(d.Entries().empty()); }},
      {"the null device by its bare name", [](TempDir&, std::string*) { return std::string("nul"); },
       OutputRule::kReplace, true, true, [](TempDir&) {}},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.behaviour);
    TempDir dir;
    std::string skip;
    const std::string path = c.make(dir, &skip);
    if (!skip.empty()) {
      std::printf("[  SKIPPED ] %s: %s\n", c.behaviour, skip.c_str());
      continue;
    }
    OutputFile out;
    const bool opened = out.Open(path, c.rule);
    EXPECT_EQ(opened, c.opens) << out.why();
    bool committed = false;
    if (opened) {
      // Enough to fill a pipe's buffer: a reader that went away is noticed.
      committed = out.WriteAll(kData.data(), kData.size());
      for (int k = 0; committed && c.commits == false && k < 64; ++k)
        committed = out.WriteAll(std::string(4096, 'x').data(), 4096);
      committed = committed && out.Commit();
      if (!committed) out.Abandon();
    }
    EXPECT_EQ(committed, c.opens && c.commits) << out.why();
    if (c.why) {
      EXPECT_NE(out.why().find(c.why), std::string::npos) << out.why();
    }
    c.check(dir);
  }
}

#ifndef _WIN32
TEST(OutputFile, NamedPipeAndStandardOutputAreWrittenThrough) {
  TempDir dir;
  const std::string fifo = dir.Path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  PipeReader reader(fifo);
  ASSERT_TRUE(WriteOutput(fifo, kData.data(), kData.size(), OutputRule::kReplace, true));
  EXPECT_EQ(reader.Join(), kData);
  EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));

  // "-" and /dev/stdout-like links reach the program's own standard output, here a pipe.
  fs::create_symlink("/proc/self/fd/1", fs::u8path(dir.Path("stdout-link")));
  for (const std::string& name : {std::string("-"), dir.Path("stdout-link")}) {
    SCOPED_TRACE(name);
    int pipe_fds[2];
    ASSERT_EQ(::pipe(pipe_fds), 0);
    const int saved = ::dup(1);
    ::dup2(pipe_fds[1], 1);
    ::close(pipe_fds[1]);
    EXPECT_TRUE(IsStandardOutput(name));
    const bool ok = WriteOutput(name, kData.data(), kData.size(), OutputRule::kReplace, true);
    ::dup2(saved, 1);
    ::close(saved);
    EXPECT_TRUE(ok);
    char buf[256] = {};
    const ssize_t n = ::read(pipe_fds[0], buf, sizeof buf);
    ::close(pipe_fds[0]);
    EXPECT_EQ(std::string(buf, n > 0 ? n : 0), kData);
  }
  EXPECT_TRUE(S_ISLNK(ModeOf(dir.Path("stdout-link"))));
  EXPECT_FALSE(IsStandardOutput(dir.Path("other")));
}

TEST(OutputFile, BinaryOutputToATerminalIsRefused) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string terminal = ::ptsname(master);
  std::string why;
  EXPECT_FALSE(WriteOutput(terminal, "\x89PNG", 4, OutputRule::kReplace, true, nullptr, &why));
  EXPECT_NE(why.find("terminal"), std::string::npos) << why;
  EXPECT_TRUE(WriteOutput(terminal, "text\n", 5, OutputRule::kReplace, false)) << "text is fine";
  ::close(master);
}
#endif

TEST(OutputFile, AbandonedOutputLeavesTheOldFileAndNoTemporaryName) {
  TempDir dir;
  const std::string path = dir.Path("OUT.LOG");
  test::WriteAll(path, "old");
  for (OutputRule rule : {OutputRule::kReplace, OutputRule::kNeverReplace}) {
    OutputFile out;
    const std::string target = rule == OutputRule::kReplace ? path : dir.Path("NEW.LOG");
    ASSERT_TRUE(out.Open(target, rule));
    ASSERT_TRUE(out.WriteAll("half", 4));
    EXPECT_EQ(dir.Entries().size(), 2u) << "written under a temporary name";
    out.Abandon();
    EXPECT_EQ(ReadAll(path), "old");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"OUT.LOG"});
  }
  {
    OutputFile out;  // not committed: the destructor abandons it
    ASSERT_TRUE(out.Open(dir.Path("NEW.LOG"), OutputRule::kNewInPlace));
  }
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"OUT.LOG"});
}

// A library that writes by name (netCDF) gets a temporary file beside the target; the target
// appears only on Commit, Abandon leaves the old file, and what cannot seek is refused.
TEST(OutputFile, OutputWrittenByALibraryByName) {
  TempDir dir;
  const std::string path = dir.Path("OUT.nc");
  test::WriteAll(path, "old");
  for (bool commit : {false, true}) {
    OutputFile out;
    std::string temp;
    ASSERT_TRUE(out.OpenForLibrary(path, OutputRule::kReplace, &temp)) << out.why();
    ASSERT_NE(temp, path);
    test::WriteAll(temp, "new");  // as the library would, by the name it was given
    if (commit) ASSERT_TRUE(out.Commit()) << out.why();
    else out.Abandon();
    EXPECT_EQ(ReadAll(path), commit ? "new" : "old");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"OUT.nc"});
  }
#ifndef _WIN32
  const char* const kDevice = "/dev/null";
#else
  const char* const kDevice = "NUL";
#endif
  struct Refused {
    std::string path;
    const char* says;
  };
  for (const Refused& r : {Refused{kStandardOutputName, "seek"}, Refused{kDevice, "seek"},
                           Refused{dir.Path(""), "folder"}}) {
    OutputFile out;
    std::string temp = "x";
    EXPECT_FALSE(out.OpenForLibrary(r.path, OutputRule::kReplace, &temp)) << r.path;
    EXPECT_TRUE(temp.empty()) << r.path;
    EXPECT_NE(out.why().find(r.says), std::string::npos) << r.path << ": " << out.why();
  }
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"OUT.nc"});
}

}  // namespace
}  // namespace zt::platform
