// Every command that writes a user-named output, over every kind of output path: the output
// arrives where a user expects it, and no path changes its type. Device nodes are made in a
// private folder (as root); the machine's own are never written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/zt615_runner.h"

#ifndef ZT615_SIM_EXE
#error "ZT615_SIM_EXE must name the simulator under test"
#endif

namespace zt {
namespace {

using test::Quote;
using test::ReadAll;
using test::TempDir;
namespace fs = std::filesystem;

struct Shell {
  int status = -1;
  std::string err;
};

// Runs a shell command line; its stderr is captured in a folder of its own.
Shell Sh(const std::string& line) {
  TempDir capture;
  const std::string err = capture.Path("stderr.txt");
  const int raw = std::system(
      ("bash -c " + Quote("set -o pipefail; { " + line + "; } 2>" + Quote(err))).c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAll(err)};
}

mode_t TypeOf(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

struct Writer {
  const char* name;
  std::string command;  // a shell line with OUT where the output path goes
  bool new_file_only;   // refuses any existing path, devices and pipes (the Linked file)
};

std::string With(const std::string& command, const std::string& out) {
  std::string line = command;
  line.replace(line.find("OUT"), 3, Quote(out));
  return line;
}

TEST(CliOutputKinds, EveryWriterOverEveryKindOfOutput) {
  TempDir inputs;
  const std::string rec = inputs.Path("REC.BIN"), second = inputs.Path("NEXT.BIN");
  const std::string zt = Quote(ZT615_EXE), sim = Quote(ZT615_SIM_EXE);
  ASSERT_EQ(Sh(sim + " record " + Quote(rec) + " --pings 40 --start 2026-06-01T00:00:00Z").status,
            0);
  ASSERT_EQ(Sh(sim + " record " + Quote(second) + " --pings 10 --start 2026-06-01T00:05:00Z "
                     "--timer-start 2026-06-01T00:00:00Z").status, 0);
  const std::vector<Writer> writers = {
      {"export", zt + " export " + Quote(rec) + " OUT --format csv --quiet", false},
      {"echogram", zt + " echogram " + Quote(rec) + " OUT --width 64 --height 32", false},
      {"timers new", zt + " timers new OUT --timer Dawn,2026-06-01T05:00:00,2026-06-01T07:30:00",
       false},
      {"simulator", sim + " record OUT --pings 5 --quiet", false},
      {"link", zt + " link " + Quote(rec) + " " + Quote(second) + " OUT --quiet", true},
  };
  const bool root = ::geteuid() == 0;
  if (!root) std::printf("[  SKIPPED ] the device cases: mknod needs root\n");
  for (const Writer& w : writers) {
    SCOPED_TRACE(w.name);
    TempDir dir;
    // The plain file first: what every other kind must receive.
    const std::string plain = dir.Path("plain.out");
    ASSERT_EQ(Sh(With(w.command, plain)).status, 0);
    const std::string expected = ReadAll(plain);
    ASSERT_FALSE(expected.empty());
    const int refused = w.new_file_only ? 1 : 0;

    {  // standard output, into a pipe
      Shell r = Sh(With(w.command, "-") + " | cat > " + Quote(dir.Path("piped")));
      EXPECT_EQ(r.status, refused) << r.err;
      if (!w.new_file_only) {
        EXPECT_EQ(ReadAll(dir.Path("piped")), expected) << "standard output";
      }
      EXPECT_FALSE(fs::exists(dir.Path("-")));
    }
    {  // a named pipe with a reader at its far end
      const std::string fifo = dir.Path("fifo");
      ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
      Shell r = Sh("(timeout 20 cat " + Quote(fifo) + " > " + Quote(dir.Path("from-fifo")) +
                   " &); " + With(w.command, fifo) + "; s=$?; exec 3<>" + Quote(fifo) +
                   "; exit $s");
      EXPECT_EQ(r.status, refused) << r.err;
      EXPECT_EQ(TypeOf(fifo), S_IFIFO);
      if (!w.new_file_only) {
        for (int k = 0; k < 100 && ReadAll(dir.Path("from-fifo")).size() < expected.size(); ++k)
          usleep(20000);
        EXPECT_EQ(ReadAll(dir.Path("from-fifo")), expected) << "named pipe";
      }
    }
    {  // a link to a file and a dangling link: the link stays, its target is written
      test::WriteAll(dir.Path("target"), "old");
      fs::create_symlink("target", dir.Path("link"));
      fs::create_symlink("new-target", dir.Path("dangling"));
      for (const char* name : {"link", "dangling"}) {
        Shell r = Sh(With(w.command, dir.Path(name)));
        EXPECT_EQ(r.status, refused) << name << ": " << r.err;
        EXPECT_EQ(TypeOf(dir.Path(name)), S_IFLNK) << name;
      }
      EXPECT_EQ(ReadAll(dir.Path("target")), w.new_file_only ? "old" : expected);
      EXPECT_EQ(fs::exists(dir.Path("new-target")), !w.new_file_only);
      if (!w.new_file_only) {
        EXPECT_EQ(ReadAll(dir.Path("new-target")), expected);
      }
    }
    {  // a folder is refused with one line naming it
      fs::create_directory(dir.Path("folder"));
      Shell r = Sh(With(w.command, dir.Path("folder")));
      EXPECT_EQ(r.status, 1);
      test::ExpectOneLineNaming(r.err, "folder");
      EXPECT_TRUE(fs::is_empty(dir.Path("folder")));
    }
    if (root) {  // memory devices made here: null takes everything, full takes nothing
      ASSERT_EQ(::mknod(dir.Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
      ASSERT_EQ(::mknod(dir.Path("full").c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
      Shell r = Sh(With(w.command, dir.Path("null")));
      EXPECT_EQ(r.status, refused) << r.err;
      r = Sh(With(w.command, dir.Path("full")));
      EXPECT_EQ(r.status, 1);
      test::ExpectOneLineNaming(r.err, w.new_file_only ? "device or a pipe" : "No space left");
      EXPECT_EQ(TypeOf(dir.Path("null")), S_IFCHR);
      EXPECT_EQ(TypeOf(dir.Path("full")), S_IFCHR);
    }
    // Nothing else was left in the folder: no temporary file, no file named "-".
    for (const auto& e : fs::directory_iterator(dir.path()))
      EXPECT_EQ(e.path().filename().string().find(".part-"), std::string::npos) << e.path();
  }
}

TEST(CliOutputKinds, MessagesGoToStandardErrorAndPicturesNeverToATerminal) {
  TempDir dir;
  const std::string rec = dir.Path("REC.BIN");
  ASSERT_EQ(Sh(Quote(ZT615_SIM_EXE) + " record " + Quote(rec) + " --pings 10").status, 0);
  // The export's summary line must not mix with the data on standard output.
  Shell r = Sh(Quote(ZT615_EXE) + " export " + Quote(rec) + " - --format nmea > " +
               Quote(dir.Path("out.nmea")));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("standard output: 10 pings exported"), std::string::npos) << r.err;
  EXPECT_EQ(ReadAll(dir.Path("out.nmea")).rfind("$", 0), 0u) << "the sentences alone";
  // A PNG is binary: a terminal on standard output is refused (script gives one).
  const std::string typescript = dir.Path("typescript");
  r = Sh("script -qec " +
         Quote(Quote(ZT615_EXE) + " echogram " + Quote(rec) + " - 2>" +
               Quote(dir.Path("err.txt")) + "; echo rc=$?") +
         " " + Quote(typescript) + " >" + Quote(dir.Path("shown.txt")));
  EXPECT_NE(ReadAll(typescript).find("rc=1"), std::string::npos) << ReadAll(typescript);
  EXPECT_NE(ReadAll(dir.Path("err.txt")).find("terminal"), std::string::npos);
}

}  // namespace
}  // namespace zt
