// Test support: runs the zt615 program under test (ZT615_EXE), or another, with arguments and
// captures its exit status, stdout and stderr; checks of its one-line messages. Header-only.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/logfile/logged_file_builder.h"

#ifndef ZT615_EXE
#error "ZT615_EXE must name the zt615 program under test"
#endif

namespace zt::test {

inline std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

struct Ran {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs a program with the arguments; stdout and stderr are captured outside the work folder
// so that the folder shows exactly what the program left in it.
inline Ran RunProgram(const std::string& program, const std::vector<std::string>& args) {
  static TempDir capture;
  const std::string out = capture.Path("stdout.txt");
  const std::string err = capture.Path("stderr.txt");
  std::string cmd = Quote(program);
  for (const std::string& a : args) cmd += " " + Quote(a);
  cmd += " </dev/null >" + Quote(out) + " 2>" + Quote(err);
  const int raw = std::system(cmd.c_str());
  Ran r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadAll(out);
  r.err = ReadAll(err);
  return r;
}

inline Ran Zt615(const std::vector<std::string>& args) { return RunProgram(ZT615_EXE, args); }

inline size_t Lines(const std::string& s) {
  size_t n = 0;
  for (char c : s) n += c == '\n';
  return n;
}

// One line, ending in a newline, naming `what`.
inline void ExpectOneLineNaming(const std::string& err, const std::string& what) {
  EXPECT_EQ(Lines(err), 1u) << err;
  EXPECT_FALSE(err.empty() || err.back() != '\n') << err;
  EXPECT_NE(err.find(what), std::string::npos) << "stderr: " << err << "\nshould name: " << what;
}

}  // namespace zt::test
