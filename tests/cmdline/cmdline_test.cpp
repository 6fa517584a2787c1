// The option parser and the dispatcher of our command-line programs, on a made-up program.
#include "cmdline/cmdline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zt::cmdline {
namespace {

using Args = std::vector<std::string>;

const std::vector<OptionSpec> kOptions = {
    {"value", Takes::kValue}, {"many", Takes::kValues}, {"flag", Takes::kNothing}};

TEST(ParseArgs, OptionsValuesAndPositionals) {
  struct Case {
    const char* behaviour;
    Args args;
    Args positional;
    Args value, many;  // every value kept
    bool help;
    std::string error;
  };
  const Case cases[] = {
      {"value apart or after =", {"--value", "a", "--many=b"}, {}, {"a"}, {"b"}, false, ""},
      {"a value repeated: the last counts", {"--value=a", "--value", "b"}, {}, {"b"}, {}, false,
       ""},
      {"a list keeps every value in order", {"--many", "a", "x", "--many=", "--many", "c"},
       {"x"}, {}, {"a", "", "c"}, false, ""},
      {"a value may look like an option", {"--value", "--flag"}, {}, {"--flag"}, {}, false, ""},
      {"-- ends the options", {"--", "--many", "a", "-h"}, {"--many", "a", "-h"}, {}, {}, false,
       ""},
      {"-, -x and a negative number are words", {"-", "-x", "-5"}, {"-", "-x", "-5"}, {}, {},
       false, ""},
      {"-h and --help ask for help", {"a", "-h"}, {"a"}, {}, {}, true, ""},
      {"help seen before an error", {"--help", "--nope"}, {}, {}, {}, true,
       "unknown option --nope"},
      {"unknown option", {"--nope=1"}, {}, {}, {}, false, "unknown option --nope"},
      {"value missing at the end", {"--many", "a", "--many"}, {}, {}, {"a"}, false,
       "option --many needs a value"},
      {"a flag takes no value", {"--flag=1"}, {}, {}, {}, false, "option --flag takes no value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.behaviour);
    const ParsedArgs p = ParseArgs(c.args, kOptions);
    EXPECT_EQ(p.positional, c.positional);
    EXPECT_EQ(p.All("value"), c.value);
    EXPECT_EQ(p.All("many"), c.many);
    EXPECT_EQ(p.Get("many"), c.many.empty() ? "" : c.many.back());
    EXPECT_EQ(p.help, c.help);
    EXPECT_EQ(p.error, c.error);
  }
}

// The made-up program's one command: refuses no words, fails on "fail", and notes its call.
std::string g_seen;

int RunEcho(const Call& call) {
  g_seen = "ran";
  for (const std::string& p : call.args.positional) g_seen += " " + p;
  for (const std::string& v : call.args.All("many")) g_seen += " many=" + v;
  if (call.args.positional.empty()) return call.Usage("needs a word");
  if (call.args.positional[0] == "fail") return call.Fail("it failed");
  return 5;
}

const char kEchoHelp[] = "usage: demo echo WORD [--many X]\n";

const Program kDemo{"demo", "9.9", "Does little.\n\n", "Closing words.\n", false,
                    {{"echo", "repeat the words", kEchoHelp, kOptions, RunEcho},
                     {"other", "never run", "usage: demo other\n", {}, nullptr}}};

const char kOverview[] =
    "usage: demo COMMAND [ARGS...]\n\nDoes little.\n\ncommands:\n"
    "  echo     repeat the words\n  other    never run\n\nClosing words.\n";

TEST(RunProgram, TheDispatcherWritesHelpAndUsageErrorsOnce) {
  struct Case {
    const char* behaviour;
    Args args;
    int status;
    std::string out, err;
    std::string seen;  // what the command was given; "" when it did not run
  };
  const std::string usage_error = "demo echo: needs a word\n\n" + std::string(kEchoHelp);
  const Case cases[] = {
      {"no command: the overview on stderr", {}, 2, "", kOverview, ""},
      {"--help: the overview on stdout", {"--help"}, 0, kOverview, "", ""},
      {"the word help only where the program takes it", {"help"}, 2, "",
       std::string("demo: unknown command 'help'\n\n") + kOverview, ""},
      {"--version", {"--version"}, 0, "demo 9.9\n", "", ""},
      {"unknown command", {"ech"}, 2, "",
       std::string("demo: unknown command 'ech'\n\n") + kOverview, ""},
      {"a command's help, not run", {"echo", "a", "-h"}, 0, kEchoHelp, "", ""},
      {"a parse error, not run", {"echo", "a", "--nope"}, 2, "",
       "demo echo: unknown option --nope\n\n" + std::string(kEchoHelp), ""},
      {"run with what was parsed", {"echo", "a", "--many", "1", "b", "--many=2"}, 5, "", "",
       "ran a b many=1 many=2"},
      {"the command's own usage error", {"echo"}, 2, "", usage_error, "ran"},
      {"the command's failure", {"echo", "fail"}, 1, "", "demo: it failed\n", "ran fail"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.behaviour);
    g_seen.clear();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = RunProgram(kDemo, c.args);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(out, c.out);
    EXPECT_EQ(err, c.err);
    EXPECT_EQ(g_seen, c.seen);
  }
}

}  // namespace
}  // namespace zt::cmdline
