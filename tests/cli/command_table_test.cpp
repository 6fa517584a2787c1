// Every command in each program's table, run as the user runs it: its help on stdout, and a
// usage error naming the program and the command, followed by that help, on stderr.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/cli/zt615_runner.h"

#ifndef ZT615_SIM_EXE
#error "ZT615_SIM_EXE must name the simulator under test"
#endif

namespace zt {
namespace {

using test::Ran;
using test::RunProgram;

struct ProgramCase {
  const char* name;  // as its messages name it
  const char* exe;
};

const ProgramCase kPrograms[] = {{"zt615", ZT615_EXE}, {"zt615_logger_sim", ZT615_SIM_EXE}};

// The commands the overview lists, in its order.
std::vector<std::string> ListedCommands(const std::string& overview) {
  std::vector<std::string> names;
  const std::string list = overview.substr(overview.find("commands:\n"));
  const std::regex line("\n  ([a-z]+) +[^\n]+");
  for (std::sregex_iterator it(list.begin(), list.end(), line), end; it != end; ++it)
    names.push_back((*it)[1]);
  return names;
}

TEST(CommandTable, EachCommandHasItsHelpAndItsUsageErrors) {
  for (const ProgramCase& p : kPrograms) {
    SCOPED_TRACE(p.name);
    const Ran overview = RunProgram(p.exe, {"--help"});
    ASSERT_EQ(overview.status, 0) << overview.err;
    const std::vector<std::string> commands = ListedCommands(overview.out);
    EXPECT_GE(commands.size(), 2u) << overview.out;
    for (const std::string& c : commands) {
      SCOPED_TRACE(c);
      const Ran help = RunProgram(p.exe, {c, "--help"});
      EXPECT_EQ(help.status, 0);
      EXPECT_EQ(help.out.rfind(std::string("usage: ") + p.name + " " + c, 0), 0u) << help.out;
      EXPECT_EQ(help.err, "");
      const std::string usage = std::string(p.name) + " " + c + ": ";
      struct Refused {
        std::vector<std::string> args;
        std::string message;
      };
      const Refused refused[] = {
          {{c, "--bogus"}, "unknown option --bogus"},
          {{c, "--bogus=1"}, "unknown option --bogus"},
          {{c, "--bogus", "--help"}, "unknown option --bogus"},
      };
      for (const Refused& r : refused) {
        const Ran ran = RunProgram(p.exe, r.args);
        EXPECT_EQ(ran.status, 2);
        EXPECT_EQ(ran.out, "");
        EXPECT_EQ(ran.err, usage + r.message + "\n\n" + help.out);
      }
      const Ran asked = RunProgram(p.exe, {c, "--help", "--bogus"});
      EXPECT_EQ(asked.status, 0);
      EXPECT_EQ(asked.out, help.out);
    }
  }
}

TEST(CommandTable, UnknownCommandNamesTheProgramAndListsTheCommands) {
  for (const ProgramCase& p : kPrograms) {
    SCOPED_TRACE(p.name);
    const Ran overview = RunProgram(p.exe, {"--help"});
    const Ran ran = RunProgram(p.exe, {"frobnicate"});
    EXPECT_EQ(ran.status, 2);
    EXPECT_EQ(ran.err, std::string(p.name) + ": unknown command 'frobnicate'\n\n" + overview.out);
    const Ran none = RunProgram(p.exe, {});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err, overview.out);
  }
}

}  // namespace
}  // namespace zt
