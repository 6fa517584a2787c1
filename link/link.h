// Joining two consecutive logged ping files into one Linked file: File 1's header and
// pings unchanged, then File 2's pings numbered on from File 1's last ping_number.
// Portable core of zt615_link_utility and `zt615 link`; no window code here.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file.h"

namespace zt::link {

// One ping record at a time would fit; the copy moves as many whole records as fit.
constexpr uint32_t LINK_BUFFER_SIZE = 500000;
// File 2 may begin at most this long after File 1's last ping.
constexpr uint32_t MAX_SEAM_GAP_S = 300;

// --- ShowFileTimes: the begin and end texts of a file's first and last ping.

// "Begin: %02i:%02i:%02i %02i.%02i.%i (Local)" in the PC's local time.
std::string BeginText(uint32_t time_utc);
// "End:   %02i:%02i:%02i %02i.%02i.%i (Local)" (three blanks after the colon).
std::string EndText(uint32_t time_utc);

enum class TimesStatus {
  kOk,
  kOpenFailed,   // the system's text for `error`
  kInvalidFile,  // fails IsLoggedFile, or its range has no record size: "Invalid file"
  kNoPings,      // a logged file without a whole ping: empty texts, no message
};

struct FileTimes {
  TimesStatus status = TimesStatus::kOk;
  int error = 0;       // system error code for kOpenFailed
  std::string begin;   // empty unless kOk
  std::string end;
  uint32_t ping_count = 0;
  uint32_t first_utc = 0;
  uint32_t last_utc = 0;
};

FileTimes ShowFileTimes(const std::string& path);

// --- The join.

// Receives the bar's range once, then its positions. A position is reported at most five
// times a second (when at least two whole tenths of a second passed since the last move),
// and finally at the upper bound.
class LinkProgress {
 public:
  virtual ~LinkProgress() = default;
  // upper = (count1 + count2) / 16, of which a progress bar keeps only the low 16 bits.
  virtual void Range(uint32_t upper) = 0;
  // records_done of records_total copied; bar_pos in the bar's units.
  virtual void Position(uint32_t bar_pos, uint64_t records_done, uint64_t records_total) = 0;
};

// The bar's upper bound for two ping counts: the quotient's low 16 bits.
uint32_t ProgressUpperBound(uint32_t count1, uint32_t count2);

enum class LinkOutcome {
  kLinked,
  kFile1OpenFailed,     // system text ("GetLastError" box)
  kFile1Invalid,        // "Invalid first file"
  kFile2OpenFailed,
  kFile2Invalid,        // "Invalid second file"
  kLinkedCreateFailed,  // system text; an existing file is never touched
  kRefused,             // "Unable to link files"; `reason` says why
  kIoFailed,            // "Unable to link files" with the system's text in `reason`
};

struct LinkResult {
  LinkOutcome outcome = LinkOutcome::kLinked;
  int error = 0;       // system error code for the open, create and I/O failures
  std::string reason;  // why a join was refused or failed, in words
  uint32_t count1 = 0;
  uint32_t count2 = 0;
  bool ok() const { return outcome == LinkOutcome::kLinked; }
};

struct LinkOptions {
  LinkProgress* progress = nullptr;
  // Monotonic milliseconds for the progress rule; the platform's tick counter by default.
  uint64_t (*now_ms)() = nullptr;
  // Write under a temporary name beside the Linked path and rename it into place, never
  // replacing, when complete: the Linked path never holds a partial file. Otherwise the
  // Linked file is created new (never overwriting) and written in place, as the window does.
  bool write_beside = false;
};

// Opens both inputs, creates the Linked file, joins, closes everything. On any failure
// after the Linked file was created it is deleted; an existing Linked path is refused.
LinkResult LinkFiles(const std::string& file1_path, const std::string& file2_path,
                     const std::string& linked_path, const LinkOptions& options);

// The join proper on open files (inputs readable, `linked` empty and writable). The checks of
// headers, record sizes, ping counts and the seam are made before anything is written; File
// 2's sample counts are checked on a thread of their own while File 1 is copied, and all
// before any of File 2 is written. A failed check is reported before any failure of the copy,
// as if it had been made first; the Linked file may then hold part of File 1, which the
// caller deletes (LinkFiles does). Otherwise only a failed read or write, or an input that
// changes while it is copied, stops a join part way. Reading and writing run on two threads,
// joined before it returns. Does not close or delete anything.
LinkResult JoinFiles(platform::File& file1, platform::File& file2, platform::File& linked,
                     const LinkOptions& options);

}  // namespace zt::link
