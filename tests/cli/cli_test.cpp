// The zt615 command line, run as a separate program on generated files: exit status,
// stderr lines, outputs identical to the export engine's, and nothing left behind on failure.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "export/export_engine.h"
#include "tests/cli/zt615_runner.h"
#include "tests/logfile/logged_file_builder.h"

namespace zt {
namespace {

using test::ExpectOneLineNaming;
using test::Lines;
using test::LoggedFileBuilder;
using test::PingSpec;
using test::Quote;
using test::Ran;
using test::TempDir;
using test::Zt615;

constexpr uint32_t kT0 = 1768472430;  // 2026-01-15 10:20:30 UTC

PingSpec EchoPing(int k) {
  PingSpec p;
  p.ping_number = 501 + k;
  p.time_utc = kT0 + static_cast<uint32_t>(k);
  const uint16_t fractions[] = {0x8000, 0x4000, 0xC000};  // .500, .250, .750
  p.time_fraction = fractions[k % 3];
  p.ping_in_series = k + 1;
  p.samples = std::vector<uint16_t>(144, 4);
  const size_t pos = 30 + 5 * static_cast<size_t>(k);
  p.samples[pos - 1] = 90;
  for (size_t j = pos; j < pos + 5; ++j) p.samples[j] = static_cast<uint16_t>(300 + 200 * k);
  p.samples[pos + 6] = 900;
  p.temperature_c = 9.5f;
  p.battery_v = 12.3456f;
  p.altitude_m = 0.3f;
  p.pitch_deg = 1.2f;
  p.roll_deg = -0.4f;
  return p;
}

LoggedFileBuilder GoodFile(int pings = 3) {
  LoggedFileBuilder b(test::PlainHeader());
  for (int k = 0; k < pings; ++k) b.Ping(EchoPing(k));
  return b;
}

std::string EngineExport(const std::string& in, const std::string& out, int32_t format,
                         void (*change)(EXPORTJOB&) = nullptr) {
  EXPORTJOB job = JobFromHeader(test::PlainHeader(), format);
  job.input_path = in;
  job.output_path = out;
  if (change) change(job);
  ExportProgress quiet;
  ExportResult r = ExportLoggerFormat(job, quiet);
  EXPECT_TRUE(r.ok()) << r.message;
  return test::ReadAll(out);
}

// ---- Success ----------------------------------------------------------------------------
TEST(CliExport, EachFormatIsByteIdenticalToTheEngine) {
  struct Case {
    const char* format;  // nullptr: the default
    int32_t data_format;
  };
  const Case cases[] = {{nullptr, kFormatText}, {"text", kFormatText}, {"nmea", kFormatNmea},
                        {"csv", kFormatCsv}};
  TempDir engine;
  const std::string ref_in = engine.Path("IN.BIN");
  GoodFile().WriteTo(ref_in);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format ? c.format : "default format");
    TempDir dir;
    const std::string in = dir.Path("IN.BIN");
    GoodFile().WriteTo(in);
    const std::string out = dir.Path("OUT.LOG");
    std::vector<std::string> args = {"export", in, out, "--quiet"};
    if (c.format) args.insert(args.end(), {"--format", c.format});
    Ran r = Zt615(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    const std::string expected = EngineExport(ref_in, engine.Path("ref.log"), c.data_format);
    ASSERT_FALSE(expected.empty());
    const std::string actual = test::ReadAll(out);
    EXPECT_TRUE(expected == actual) << test::FirstDifference(expected, actual);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"IN.BIN", "OUT.LOG"}));
  }
}

TEST(CliExport, OverridesActLikeTheEngineJobFields) {
  TempDir dir;
  const std::string in = dir.Path("IN.BIN");
  GoodFile().WriteTo(in);
  for (const char* format : {"text", "nmea", "csv"}) {
    SCOPED_TRACE(format);
    const std::string out = dir.Path(std::string("o-") + format + ".log");
    Ran r = Zt615({"export", in, out, "--format", format, "--threshold", "40", "--deadzone",
                   "0.2", "--sound-speed=1480", "--amplitude-over", "90", "--quiet"});
    EXPECT_EQ(r.status, 0) << r.err;
    const int32_t f = std::string(format) == "text" ? kFormatText
                      : std::string(format) == "nmea" ? kFormatNmea
                                                       : kFormatCsv;
    const std::string expected =
        EngineExport(in, dir.Path(std::string("e-") + format + ".log"), f, [](EXPORTJOB& j) {
          j.threshold_pct = 40;
          j.deadzone_m = 0.2f;
          j.sound_speed = 1480.0f;
          j.amplitude_over_pct = 90;
        });
    const std::string actual = test::ReadAll(out);
    EXPECT_TRUE(expected == actual) << test::FirstDifference(expected, actual);
  }
}

TEST(CliExport, ReplacesAnExistingOutput) {
  TempDir dir;
  const std::string in = dir.Path("IN.BIN");
  GoodFile().WriteTo(in);
  const std::string out = dir.Path("OUT.LOG");
  test::WriteAll(out, std::string(200000, 'x'));
  Ran r = Zt615({"export", in, out, "--format", "nmea", "--quiet"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(test::ReadAll(out), EngineExport(in, dir.Path("ref.log"), kFormatNmea));
}

TEST(CliExport, SummaryLineWithoutQuietAndNoProgressBarWhenStderrIsNotATerminal) {
  TempDir dir;
  const std::string in = dir.Path("IN.BIN");
  GoodFile().WriteTo(in);
  Ran r = Zt615({"export", in, dir.Path("OUT.LOG"), "--format", "csv"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Lines(r.out), 1u) << r.out;
  EXPECT_NE(r.out.find("OUT.LOG"), std::string::npos) << r.out;
}

// ---- Refusals and failures: exit 1, one line naming the file, nothing left behind -------
TEST(CliExport, RefusalsExitOneWithOneLineAndLeaveNoOutput) {
  struct Case {
    const char* behaviour;
    void (*damage)(LoggedFileBuilder&);
    std::vector<std::string> options;
    const char* also_names;  // besides the input file, or nullptr
  };
  const std::vector<Case> cases = {
      {"file shorter than its header", [](LoggedFileBuilder& b) { b.bytes().resize(60); }, {},
       nullptr},
      {"empty file", [](LoggedFileBuilder& b) { b.bytes().clear(); }, {}, nullptr},
      {"range not in the table", [](LoggedFileBuilder& b) { test::PutI32(b.bytes(), 52, 2500); },
       {}, "2500"},
      {"sound speed 0 in the file header",
       [](LoggedFileBuilder& b) { test::PutF32(b.bytes(), 88, 0.0f); }, {}, nullptr},
      {"sound speed 0", nullptr, {"--sound-speed", "0"}, nullptr},
      {"negative sound speed", nullptr, {"--sound-speed=-5"}, nullptr},
      {"threshold 101", nullptr, {"--threshold", "101"}, "101"},
      {"threshold -1", nullptr, {"--threshold=-1"}, nullptr},
      {"negative deadzone", nullptr, {"--deadzone=-0.5"}, nullptr},
      {"amplitude gate 101", nullptr, {"--amplitude-over", "101"}, "101"},
      {"amplitude gate -1", nullptr, {"--amplitude-over=-1"}, nullptr},
      {"ping 1 counts more samples than its record holds",
       [](LoggedFileBuilder& b) { test::PutI32(b.bytes(), 128 + 416 + 12, 145); }, {}, "ping 1"},
      {"ping 0 counts more samples than its record holds",
       [](LoggedFileBuilder& b) { test::PutI32(b.bytes(), 128 + 12, 145); }, {}, "ping 0"},
  };
  for (const Case& c : cases) {
    for (const char* format : {"text", "csv"}) {
      SCOPED_TRACE(std::string(c.behaviour) + ", " + format);
      TempDir dir;
      LoggedFileBuilder b = GoodFile();
      if (c.damage) c.damage(b);
      const std::string in = dir.Path("IN.BIN");
      b.WriteTo(in);
      std::vector<std::string> args = {"export", in, dir.Path("OUT.LOG"), "--format", format,
                                       "--quiet"};
      args.insert(args.end(), c.options.begin(), c.options.end());
      Ran r = Zt615(args);
      EXPECT_EQ(r.status, 1);
      ExpectOneLineNaming(r.err, "IN.BIN");
      if (c.also_names) {
        EXPECT_NE(r.err.find(c.also_names), std::string::npos) << r.err;
      }
      EXPECT_EQ(dir.Entries(), std::vector<std::string>{"IN.BIN"});
    }
  }
}

TEST(CliExport, FailedExportLeavesAnExistingOutputAsItWas) {
  TempDir dir;
  LoggedFileBuilder b = GoodFile();
  test::PutI32(b.bytes(), 128 + 2 * 416 + 12, 1000);  // ping 2 is corrupt
  const std::string in = dir.Path("IN.BIN");
  b.WriteTo(in);
  const std::string out = dir.Path("OUT.LOG");
  test::WriteAll(out, "previous export\r\n");
  Ran r = Zt615({"export", in, out, "--quiet"});
  EXPECT_EQ(r.status, 1);
  ExpectOneLineNaming(r.err, "ping 2");
  EXPECT_EQ(test::ReadAll(out), "previous export\r\n");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"IN.BIN", "OUT.LOG"}));
}

TEST(CliExport, MissingInputExitsOneNamingIt) {
  TempDir dir;
  Ran r = Zt615({"export", dir.Path("NOSUCH.BIN"), dir.Path("OUT.LOG"), "--quiet"});
  EXPECT_EQ(r.status, 1);
  ExpectOneLineNaming(r.err, "NOSUCH.BIN");
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(CliExport, UnwritableOutputExitsOneNamingIt) {
  TempDir dir;
  const std::string in = dir.Path("IN.BIN");
  GoodFile().WriteTo(in);
  Ran r = Zt615({"export", in, dir.Path("no-such-folder") + "/OUT.LOG", "--quiet"});
  EXPECT_EQ(r.status, 1);
  ExpectOneLineNaming(r.err, "no-such-folder");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"IN.BIN"});
}

// A disk that fills up mid-export: the shell's file size limit makes writes past 1 KiB fail
// as they would on a full disk (the signal for it is ignored, so the write returns an error).
TEST(CliExport, FullDiskExitsOneAndLeavesNoOutputOrTemporaryFile) {
  TempDir dir;
  const std::string in = dir.Path("IN.BIN");
  GoodFile().WriteTo(in);
  TempDir capture;  // a folder of its own: runs side by side must not share the message file
  const std::string err = capture.Path("stderr.txt");
  const std::string cmd = "trap '' XFSZ; ulimit -f 1; exec " + Quote(ZT615_EXE) + " export " +
                          Quote(in) + " " + Quote(dir.Path("OUT.LOG")) + " --quiet 2>" +
                          Quote(err);
  const int raw = std::system(("bash -c " + Quote(cmd)).c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 1);
  ExpectOneLineNaming(test::ReadAll(err), "OUT.LOG");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"IN.BIN"});
}

TEST(CliExport, ExportingAFileOntoItselfIsRefusedAndKeepsTheInput) {
  TempDir dir;
  const std::string in = dir.Path("IN.BIN");
  GoodFile().WriteTo(in);
  const std::string before = test::ReadAll(in);
  for (const std::string& out : {in, dir.path() + "/./IN.BIN"}) {
    SCOPED_TRACE(out);
    Ran r = Zt615({"export", in, out, "--quiet"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.err), 1u) << r.err;
    EXPECT_EQ(test::ReadAll(in), before);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"IN.BIN"});
  }
}

TEST(CliExport, OutputThatIsAFolderExitsOneAndLeavesNoTemporaryFile) {
  TempDir dir;
  const std::string in = dir.Path("IN.BIN");
  GoodFile().WriteTo(in);
  const std::string folder = dir.Path("OUT.LOG");
  std::filesystem::create_directory(std::filesystem::u8path(folder));
  Ran r = Zt615({"export", in, folder, "--quiet"});
  EXPECT_EQ(r.status, 1);
  ExpectOneLineNaming(r.err, "OUT.LOG");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"IN.BIN", "OUT.LOG"}));
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::u8path(folder)));
}

TEST(CliExport, InputThatIsAFolderExitsOne) {
  TempDir dir;
  const std::string folder = dir.Path("FOLDER.BIN");
  std::filesystem::create_directory(std::filesystem::u8path(folder));
  Ran r = Zt615({"export", folder, dir.Path("OUT.LOG"), "--quiet"});
  EXPECT_EQ(r.status, 1);
  ExpectOneLineNaming(r.err, "FOLDER.BIN");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"FOLDER.BIN"});
}

TEST(CliExport, PathsWithSpacesAndNonAsciiCharacters) {
  TempDir dir;
  const std::string in = dir.Path("Mess\xC3\xB8y fjord \xE2\x80\x94 day 1.BIN");
  GoodFile().WriteTo(in);
  const std::string out = dir.Path("r\xC3\xA9sultat final.csv");
  Ran r = Zt615({"export", in, out, "--format", "csv", "--quiet"});
  EXPECT_EQ(r.status, 0) << r.err;
  TempDir engine;
  const std::string ref_in = engine.Path("IN.BIN");
  GoodFile().WriteTo(ref_in);
  EXPECT_EQ(test::ReadAll(out), EngineExport(ref_in, engine.Path("ref.csv"), kFormatCsv));
}

// ---- Usage errors: exit 2 with the usage text --------------------------------------------
TEST(CliUsage, BadOptionsAndMissingArgumentsExitTwoWithUsage) {
  struct Case {
    const char* behaviour;
    std::vector<std::string> args;  // "IN" and "OUT" are replaced by paths
  };
  const std::vector<Case> cases = {
      {"unknown format", {"export", "IN", "OUT", "--format", "xml"}},
      {"format without a value", {"export", "IN", "OUT", "--format"}},
      {"threshold not a number", {"export", "IN", "OUT", "--threshold", "abc"}},
      {"threshold with a unit", {"export", "IN", "OUT", "--threshold", "10%"}},
      {"sound speed not a number", {"export", "IN", "OUT", "--sound-speed", "fast"}},
      {"deadzone not a number", {"export", "IN", "OUT", "--deadzone", "0.3m"}},
      {"amplitude gate not a number", {"export", "IN", "OUT", "--amplitude-over", "x"}},
      {"unknown option", {"export", "IN", "OUT", "--bogus"}},
      {"output missing", {"export", "IN"}},
      {"no arguments", {"export"}},
      {"one argument too many", {"export", "IN", "OUT", "EXTRA"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.behaviour);
    TempDir dir;
    const std::string in = dir.Path("IN.BIN");
    GoodFile().WriteTo(in);
    std::vector<std::string> args;
    for (const std::string& a : c.args)
      args.push_back(a == "IN" ? in : a == "OUT" ? dir.Path("OUT.LOG") : a);
    Ran r = Zt615(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage:"), std::string::npos) << r.err;
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"IN.BIN"});
  }
}

TEST(CliUsage, UnknownCommandOrNoCommandExitsTwo) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"frobnicate"}, std::vector<std::string>{}}) {
    SCOPED_TRACE(args.empty() ? "no command" : args[0]);
    Ran r = Zt615(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage:"), std::string::npos) << r.err;
  }
}

// ---- Interrupted -------------------------------------------------------------------------

// Starts zt615 with stderr on a terminal whose output is held (as by Ctrl+S): its first
// progress bar then blocks it while its temporary file is being written. Returns the pid.
pid_t StartWithHeldTerminal(const std::vector<std::string>& args, int* master) {
  *master = posix_openpt(O_RDWR | O_NOCTTY);
  if (*master < 0 || grantpt(*master) != 0 || unlockpt(*master) != 0) return -1;
  const int slave = open(ptsname(*master), O_RDWR | O_NOCTTY);
  if (slave < 0 || tcflow(slave, TCOOFF) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    // Whatever the test runner ignores, the program starts with the signals' defaults.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(slave, 2);
    std::vector<char*> argv{const_cast<char*>(ZT615_EXE)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(ZT615_EXE, argv.data());
    _exit(127);
  }
  close(slave);
  return pid;
}

bool HasTemporaryFile(const TempDir& dir) {
  for (const std::string& name : dir.Entries())
    if (name.find(".part-") != std::string::npos) return true;
  return false;
}

TEST(CliInterrupted, ExportAndLinkLeaveNoTemporaryFileAndEndByTheSignal) {
  struct Case {
    const char* command;
    int sig;
  };
  const Case cases[] = {
      {"export", SIGINT}, {"export", SIGTERM}, {"link", SIGINT}, {"link", SIGTERM}};
  // More pings than the export's first progress report (every 1024 pings).
  LoggedFileBuilder one(test::PlainHeader()), two(test::PlainHeader());
  for (int k = 0; k < 1100; ++k) {
    PingSpec p;
    p.ping_number = k + 1;
    p.time_utc = kT0 + static_cast<uint32_t>(k);
    p.ping_in_series = k + 1;
    one.Ping(p);
  }
  PingSpec after;
  after.ping_number = 1;
  after.time_utc = kT0 + 1100;
  two.Ping(after);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " " + strsignal(c.sig));
    TempDir dir;
    one.WriteTo(dir.Path("ONE.BIN"));
    two.WriteTo(dir.Path("TWO.BIN"));
    const std::vector<std::string> inputs{"ONE.BIN", "TWO.BIN"};
    std::vector<std::string> args{c.command, dir.Path("ONE.BIN")};
    if (std::string(c.command) == "link") args.push_back(dir.Path("TWO.BIN"));
    args.push_back(dir.Path("OUT"));
    int master = -1;
    const pid_t pid = StartWithHeldTerminal(args, &master);
    ASSERT_GT(pid, 0) << std::strerror(errno);
    // Under way once its temporary file is there; it cannot finish while its bar is held.
    int raw = 0;
    bool ended = false;
    for (int tries = 0; tries < 20000 && !HasTemporaryFile(dir) && !ended; ++tries) {
      ended = waitpid(pid, &raw, WNOHANG) == pid;
      usleep(1000);
    }
    if (!ended) {
      EXPECT_TRUE(HasTemporaryFile(dir)) << "no temporary file appeared";
      kill(pid, c.sig);
      ASSERT_EQ(waitpid(pid, &raw, 0), pid);
    }
    close(master);
    EXPECT_TRUE(WIFSIGNALED(raw) && WTERMSIG(raw) == c.sig) << "status " << raw;
    EXPECT_EQ(dir.Entries(), inputs);
  }
}

TEST(CliUsage, HelpExitsZeroOnStdout) {
  struct Case {
    std::vector<std::string> args;
    const char* mentions;
  };
  const std::vector<Case> cases = {
      {{"--help"}, "export"},
      {{"export", "--help"}, "--format"},
      {{"export", "--help"}, "--amplitude-over"},
      {{"info", "--help"}, "--json"},
      {{"export", "--help"}, "interrupted export"},
      {{"link", "--help"}, "interrupted"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : std::string()));
    Ran r = Zt615(c.args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("usage:"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(c.mentions), std::string::npos) << r.out;
  }
}

// ---- info --json ------------------------------------------------------------------------
// A small JSON reader: enough to prove the output parses and to look values up.
struct Json {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  bool b = false;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> fields;
  const Json& operator[](const std::string& key) const {
    static const Json missing;
    auto it = fields.find(key);
    return it == fields.end() ? missing : it->second;
  }
};

class JsonParser {
 public:
  explicit JsonParser(const std::string& s) : s_(s) {}
  bool Parse(Json* out) {
    if (!Value(out)) return false;
    Space();
    return pos_ == s_.size();
  }

 private:
  void Space() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }
  bool Eat(char c) {
    Space();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool Word(const char* w) {
    size_t n = std::char_traits<char>::length(w);
    if (s_.compare(pos_, n, w) != 0) return false;
    pos_ += n;
    return true;
  }
  bool String(std::string* out) {
    if (!Eat('"')) return false;
    while (pos_ < s_.size()) {
      char c = s_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        *out += c;
        continue;
      }
      if (pos_ >= s_.size()) return false;
      char e = s_[pos_++];
      switch (e) {
        case '"': case '\\': case '/': *out += e; break;
        case 'b': *out += '\b'; break;
        case 'f': *out += '\f'; break;
        case 'n': *out += '\n'; break;
        case 'r': *out += '\r'; break;
        case 't': *out += '\t'; break;
        case 'u': {
          if (pos_ + 4 > s_.size()) return false;
          for (int k = 0; k < 4; ++k)
            if (!std::isxdigit(static_cast<unsigned char>(s_[pos_ + k]))) return false;
          *out += '?';
          pos_ += 4;
          break;
        }
        default: return false;
      }
    }
    return false;
  }
  bool Value(Json* v) {
    Space();
    if (pos_ >= s_.size()) return false;
    char c = s_[pos_];
    if (c == '{') {
      ++pos_;
      v->kind = Json::kObject;
      if (Eat('}')) return true;
      do {
        std::string key;
        Json item;
        if (!String(&key) || !Eat(':') || !Value(&item)) return false;
        v->fields[key] = item;
      } while (Eat(','));
      return Eat('}');
    }
    if (c == '[') {
      ++pos_;
      v->kind = Json::kArray;
      if (Eat(']')) return true;
      do {
        Json item;
        if (!Value(&item)) return false;
        v->items.push_back(item);
      } while (Eat(','));
      return Eat(']');
    }
    if (c == '"') {
      v->kind = Json::kString;
      return String(&v->text);
    }
    if (Word("true")) {
      v->kind = Json::kBool;
      v->b = true;
      return true;
    }
    if (Word("false")) {
      v->kind = Json::kBool;
      return true;
    }
    if (Word("null")) return true;
    size_t start = pos_;
    if (s_[pos_] == '-') ++pos_;
    while (pos_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[pos_])) ||
                                s_[pos_] == '.' || s_[pos_] == 'e' || s_[pos_] == 'E' ||
                                s_[pos_] == '+' || s_[pos_] == '-'))
      ++pos_;
    if (pos_ == start) return false;
    char* end = nullptr;
    const std::string num = s_.substr(start, pos_ - start);
    v->kind = Json::kNumber;
    v->number = std::strtod(num.c_str(), &end);
    return end && *end == '\0';
  }

  const std::string& s_;
  size_t pos_ = 0;
};

TEST(CliInfo, JsonParsesAndShowsPingCountAndFirstAndLastTimes) {
  TempDir dir;
  const std::string in = dir.Path("IN.BIN");
  GoodFile(3).Trailing(10).WriteTo(in);
  Ran r = Zt615({"info", in, "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  Json j;
  ASSERT_TRUE(JsonParser(r.out).Parse(&j)) << r.out;
  ASSERT_EQ(j.kind, Json::kObject);
  EXPECT_EQ(j["ping_count"].number, 3);
  EXPECT_EQ(j["record_size"].number, 416);
  EXPECT_EQ(j["trailing_bytes"].number, 10);
  EXPECT_EQ(j["first_ping"]["time_utc"].number, kT0);
  EXPECT_EQ(j["last_ping"]["time_utc"].number, kT0 + 2);
  EXPECT_EQ(j["first_ping"]["ping_number"].number, 501);
  EXPECT_EQ(j["last_ping"]["ping_number"].number, 503);
  EXPECT_EQ(j["first_ping"]["utc"].text.substr(0, 23), "2026-01-15T10:20:30.500");
  EXPECT_EQ(j["last_ping"]["utc"].text.substr(0, 23), "2026-01-15T10:20:32.750");
  EXPECT_EQ(j["header"]["range_mm"].number, 1000);
  EXPECT_EQ(j["header"]["device_id"].number, 1234);
}

// A header float that is not a number (an unset or damaged header) is null in the JSON,
// which has no NaN or infinity, and shown as it is in the text.
TEST(CliInfo, NonFiniteHeaderValuesAreNullInJson) {
  struct Case {
    const char* key;
    float TIMERSETTINGS::*field;
  };
  const Case cases[] = {{"period_s", &TIMERSETTINGS::period_s},
                        {"deadzone_m", &TIMERSETTINGS::deadzone_m},
                        {"gain_db", &TIMERSETTINGS::gain_db},
                        {"tvg_slope", &TIMERSETTINGS::tvg_slope},
                        {"sound_speed", &TIMERSETTINGS::sound_speed},
                        {"offset_m", &TIMERSETTINGS::offset_m}};
  TempDir dir;
  const std::string in = dir.Path("IN.BIN");
  for (const Case& c : cases) {
    for (float bad : {std::numeric_limits<float>::quiet_NaN(),
                      -std::numeric_limits<float>::infinity()}) {
      SCOPED_TRACE(std::string(c.key) + " " + std::to_string(bad));
      TIMERSETTINGS h = test::PlainHeader();
      h.*c.field = bad;
      LoggedFileBuilder b(h);
      b.Ping(EchoPing(0));
      b.WriteTo(in);
      Ran r = Zt615({"info", in, "--json"});
      ASSERT_EQ(r.status, 0) << r.err;
      Json j;
      ASSERT_TRUE(JsonParser(r.out).Parse(&j)) << r.out;
      EXPECT_EQ(j["header"][c.key].kind, Json::kNull) << r.out;
      EXPECT_EQ(j["header"]["range_mm"].number, 1000);
      Ran text = Zt615({"info", in});
      EXPECT_NE(text.out.find(std::isnan(bad) ? "nan" : "-inf"), std::string::npos) << text.out;
    }
  }
}

TEST(CliInfo, EmptyFileHasNoFirstOrLastPing) {
  TempDir dir;
  const std::string in = dir.Path("IN.BIN");
  GoodFile(0).WriteTo(in);
  Ran r = Zt615({"info", in, "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  Json j;
  ASSERT_TRUE(JsonParser(r.out).Parse(&j)) << r.out;
  EXPECT_EQ(j["ping_count"].number, 0);
  EXPECT_EQ(j["first_ping"].kind, Json::kNull);
}

TEST(CliInfo, RefusedFileExitsOneWithOneLine) {
  TempDir dir;
  const std::string in = dir.Path("SHORT.BIN");
  LoggedFileBuilder b = GoodFile(1);
  b.bytes().resize(64);
  b.WriteTo(in);
  for (bool json : {false, true}) {
    SCOPED_TRACE(json ? "--json" : "text");
    std::vector<std::string> args = {"info", in};
    if (json) args.push_back("--json");
    Ran r = Zt615(args);
    EXPECT_EQ(r.status, 1);
    ExpectOneLineNaming(r.err, "SHORT.BIN");
  }
}

TEST(CliInfo, TextShowsPingCount) {
  TempDir dir;
  const std::string in = dir.Path("IN.BIN");
  GoodFile(3).WriteTo(in);
  Ran r = Zt615({"info", in});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("2026-01-15 10:20:30.500"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Duration:                 0d 00:00:02.250 (2.250 s)\n"), std::string::npos)
      << r.out;
}

}  // namespace
}  // namespace zt
