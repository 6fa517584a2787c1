// zt615 link: joins two consecutive logged ping files, as zt615_link_utility does.
#include <cstdio>

#include "cli/cli.h"
#include "link/link.h"
#include "logfile/logfile.h"
#include "platform/file.h"
#include "platform/interrupt.h"
#include "platform/output_file.h"

namespace zt::cli {

const char kLinkHelp[] =
    "usage: zt615 link FILE1.BIN FILE2.BIN LINKED.BIN [--quiet]\n"
    "\n"
    "Joins two consecutive logged ping files into a new Linked file: File 1's header and\n"
    "pings unchanged, then File 2's pings with their ping numbers carried on from File 1's\n"
    "last ping. Both files must have byte-for-byte identical file headers (the same\n"
    "recording settings), and File 2 must begin at most 300 s after File 1 ends.\n"
    "\n"
    "  --quiet   no begin and end times, no progress bar and no summary line\n"
    "\n"
    "LINKED.BIN must not exist: an existing file, link, device or pipe is never replaced or\n"
    "written to, and \"-\" (standard output) is refused: the join makes a new file. It is\n"
    "written under a temporary name in its folder and renamed when complete; a refused or\n"
    "failed join leaves nothing behind, and so does an interrupted one (Ctrl+C, SIGINT or\n"
    "SIGTERM). A progress bar is shown on stderr when it is a terminal.\n"
    "Exit status: 0 done, 1 a file was refused or a read or write failed (one line on\n"
    "stderr), 2 usage error.\n";

namespace {

class BarProgress : public link::LinkProgress {
 public:
  BarProgress(ProgressBar& bar, uint32_t record_size) : bar_(bar), record_size_(record_size) {}
  void Range(uint32_t) override {}
  void Position(uint32_t, uint64_t done, uint64_t total) override {
    bar_.Update(done, total, done * record_size_);
  }

 private:
  ProgressBar& bar_;
  uint64_t record_size_;
};

void PrintTimes(const char* label, const std::string& path, const link::FileTimes& t) {
  std::printf("%s %s\n", label, path.c_str());
  if (t.status == link::TimesStatus::kOk)
    std::printf("  %s\n  %s\n", t.begin.c_str(), t.end.c_str());
  else if (t.status == link::TimesStatus::kNoPings)
    std::printf("  (no pings)\n");
}

}  // namespace

int RunLink(const Call& call) {
  const ParsedArgs& a = call.args;
  if (a.positional.size() != 3)
    return call.Usage("needs FILE1.BIN, FILE2.BIN and the new LINKED.BIN");
  const std::string& path1 = a.positional[0];
  const std::string& path2 = a.positional[1];
  const std::string& linked = a.positional[2];
  const bool quiet = a.Has("quiet");

  link::FileTimes t1 = link::ShowFileTimes(path1);
  link::FileTimes t2 = link::ShowFileTimes(path2);
  if (!quiet) {
    PrintTimes("File 1:", path1, t1);
    PrintTimes("File 2:", path2, t2);
    std::fflush(stdout);
  }

  uint32_t record_size = 0;
  {
    platform::File f;
    if (f.OpenRead(path1)) record_size = zt::GetRecordSize(f);
  }
  platform::InstallInterruptCleanup();
  ProgressBar bar("linking", !quiet);
  BarProgress progress(bar, record_size);
  link::LinkOptions options;
  options.progress = &progress;
  options.write_beside = true;
  link::LinkResult r = link::LinkFiles(path1, path2, linked, options);
  bar.Finish();

  switch (r.outcome) {
    case link::LinkOutcome::kLinked:
      break;
    case link::LinkOutcome::kFile1OpenFailed:
      return Fail(path1 + ": " + r.reason);
    case link::LinkOutcome::kFile1Invalid:
      return Fail("Invalid first file: " + path1 + ": " + r.reason);
    case link::LinkOutcome::kFile2OpenFailed:
      return Fail(path2 + ": " + r.reason);
    case link::LinkOutcome::kFile2Invalid:
      return Fail("Invalid second file: " + path2 + ": " + r.reason);
    case link::LinkOutcome::kLinkedCreateFailed:
      return Fail(platform::OutputName(linked) + ": " + r.reason);
    case link::LinkOutcome::kRefused:
    case link::LinkOutcome::kIoFailed:
      return Fail("Unable to link files: " + r.reason);
  }
  if (!quiet) {
    std::printf("Linked file: %s\n  %s\n  %s\n", linked.c_str(), t1.begin.c_str(),
                t2.end.c_str());
    std::printf("%s: %u + %u pings linked\n", linked.c_str(), r.count1, r.count2);
  }
  return kExitOk;
}

}  // namespace zt::cli
