// zt615 link as a user runs it: its output, its messages and exit codes, and what it leaves
// on disk.
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/logfile/logged_file_builder.h"

namespace zt::test {
namespace {

constexpr uint32_t kT0 = 1780000000;  // 2026-05-28 20:26:40 UTC

struct CliRun {
  int status = -1;
  std::string out, err;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

CliRun Zt615(const TempDir& dir, const std::vector<std::string>& args) {
  std::string cmd = Quote(ZT615_EXE);
  for (const auto& a : args) cmd += " " + Quote(a);
  std::string out = dir.Path("stdout.txt"), err = dir.Path("stderr.txt");
  cmd += " >" + Quote(out) + " 2>" + Quote(err);
  CliRun r;
  int rc = std::system(cmd.c_str());
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  r.out = ReadAll(out);
  r.err = ReadAll(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return r;
}

TEST(LinkCommand, JoinsAndPrintsBothFilesTimes) {
  TempDir dir;
  WriteAll(dir.Path("A.BIN"), LoggedFile(Pings(3, 998, kT0)));
  WriteAll(dir.Path("B.BIN"), LoggedFile(Pings(2, 1, kT0 + 62)));
  CliRun r = Zt615(dir, {"link", dir.Path("A.BIN"), dir.Path("B.BIN"), dir.Path("L.BIN")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string want = "File 1: " + dir.Path("A.BIN") +
                           "\n"
                           "  Begin: 20:26:40 28.05.2026 (Local)\n"
                           "  End:   20:26:42 28.05.2026 (Local)\n"
                           "File 2: " + dir.Path("B.BIN") +
                           "\n"
                           "  Begin: 20:27:42 28.05.2026 (Local)\n"
                           "  End:   20:27:43 28.05.2026 (Local)\n"
                           "Linked file: " + dir.Path("L.BIN") +
                           "\n"
                           "  Begin: 20:26:40 28.05.2026 (Local)\n"
                           "  End:   20:27:43 28.05.2026 (Local)\n" +
                           dir.Path("L.BIN") + ": 3 + 2 pings linked\n";
  EXPECT_EQ(r.out, want);
  std::string l = ReadAll(dir.Path("L.BIN"));
  ASSERT_EQ(l.size(), 128u + 5 * kRecord1m);
  EXPECT_EQ(GetU32(l, 128 + 3 * kRecord1m + 8), 1001u);
  EXPECT_EQ(GetU32(l, 128 + 4 * kRecord1m + kFooterAt1m + 4), 1002u);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"A.BIN", "B.BIN", "L.BIN"}));
}

TEST(LinkCommand, QuietPrintsNothing) {
  TempDir dir;
  WriteAll(dir.Path("A.BIN"), LoggedFile(Pings(1, 1, kT0)));
  WriteAll(dir.Path("B.BIN"), LoggedFile(Pings(1, 1, kT0)));
  CliRun r = Zt615(dir, {"link", "--quiet", dir.Path("A.BIN"), dir.Path("B.BIN"), dir.Path("L.BIN")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadAll(dir.Path("L.BIN")).size(), 128u + 2 * kRecord1m);
}

struct Refusal {
  const char* name;
  std::string a, b;
  std::string message;  // the whole stderr line after "zt615: "
};

std::vector<Refusal> Refusals(const TempDir& dir) {
  std::string good = LoggedFile(Pings(2, 1, kT0));
  std::string text = "hello";
  std::string h = PatternedHeader();
  h[100] ^= 1;  // device_id
  auto bad_count = Pings(2, 3, kT0 + 2);
  bad_count[0].sample_count = 0;
  return {
      {"not a logged file first", text, good,
       "Invalid first file: " + dir.Path("A.BIN") + ": not a logged ping file"},
      {"not a logged file second", good, text,
       "Invalid second file: " + dir.Path("B.BIN") + ": not a logged ping file"},
      {"headers differ", good, LoggedFile(Pings(2, 3, kT0 + 2), h),
       "Unable to link files: the file headers differ (first at byte 100): the files were "
       "recorded with different settings"},
      {"seam gap", good, LoggedFile(Pings(2, 3, kT0 + 1 + 301)),
       "Unable to link files: seam gap of 301 s between File 1's last ping and File 2's first "
       "ping (at most 300 s)"},
      {"File 2 first", good, LoggedFile(Pings(2, 3, kT0)),
       "Unable to link files: File 2 begins before File 1 ends (1 s earlier)"},
      {"sample count", good, LoggedFile(bad_count),
       "Unable to link files: File 2's ping at index 0 (ping_number 3) has sample_count 0 where "
       "its range gives 144, so its footer cannot be found"},
  };
}

TEST(LinkCommand, RefusalsExplainThemselvesExitOneAndLeaveNothing) {
  TempDir dir;
  for (const Refusal& c : Refusals(dir)) {
    SCOPED_TRACE(c.name);
    WriteAll(dir.Path("A.BIN"), c.a);
    WriteAll(dir.Path("B.BIN"), c.b);
    CliRun r = Zt615(dir, {"link", dir.Path("A.BIN"), dir.Path("B.BIN"), dir.Path("L.BIN")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zt615: " + c.message + "\n");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"A.BIN", "B.BIN"}));
  }
}

TEST(LinkCommand, NeverOverwritesLinked) {
  TempDir dir;
  WriteAll(dir.Path("A.BIN"), LoggedFile(Pings(1, 1, kT0)));
  WriteAll(dir.Path("B.BIN"), LoggedFile(Pings(1, 2, kT0 + 1)));
  WriteAll(dir.Path("L.BIN"), "old");
  CliRun r = Zt615(dir, {"link", dir.Path("A.BIN"), dir.Path("B.BIN"), dir.Path("L.BIN")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "zt615: " + dir.Path("L.BIN") + ": File exists\n");
  EXPECT_EQ(ReadAll(dir.Path("L.BIN")), "old");
}

TEST(LinkCommand, MissingFileGivesTheSystemText) {
  TempDir dir;
  CliRun r = Zt615(dir, {"link", dir.Path("A.BIN"), dir.Path("B.BIN"), dir.Path("L.BIN")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "zt615: " + dir.Path("A.BIN") + ": No such file or directory\n");
}

TEST(LinkCommand, UsageErrorsExitTwo) {
  TempDir dir;
  for (auto args : std::vector<std::vector<std::string>>{
           {"link"}, {"link", "a", "b"}, {"link", "a", "b", "c", "d"}, {"link", "--fast", "a", "b", "c"}}) {
    CliRun r = Zt615(dir, args);
    EXPECT_EQ(r.status, 2) << args.size();
    EXPECT_NE(r.err.find("usage: zt615 link FILE1.BIN FILE2.BIN LINKED.BIN"), std::string::npos);
  }
}

}  // namespace
}  // namespace zt::test
