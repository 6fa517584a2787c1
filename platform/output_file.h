// Every output a user names (an export, an echogram, a timer file, a Linked file) is opened
// here, by what the path is once its links are followed:
//   - nothing yet, or a plain file: written under a temporary name beside it and renamed into
//     place when complete (a replaced file's permission bits kept), so the path never holds a
//     half-written file and an interrupted program leaves nothing behind;
//   - a symbolic link: its target is written by the rule of the target; the link stays;
//   - a character device, pipe, socket or console, and "-" (standard output): written through,
//     as a stream, never replaced by a renamed file;
//   - a folder or a block device (a disk): refused.
// On Windows the reserved device names (NUL, CON, COM1 ... with or without a folder or an
// extension) and the \\.\ namespace are written through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/file.h"

namespace zt::platform {

enum class OutputRule {
  kReplace,       // an existing file is replaced when the new one is complete
  kNeverReplace,  // an existing path of any kind is refused; written beside and renamed
  kNewInPlace,    // an existing path of any kind is refused; created and written where it
                  // is, removed when abandoned
  kInPlace,       // created or truncated and written where it is; kept as far as written
};

// The name of standard output among output paths.
inline constexpr char kStandardOutputName[] = "-";

class RemoveOnInterrupt;
struct OutputTarget;

class OutputFile {
 public:
  OutputFile();
  ~OutputFile();  // an output neither committed nor abandoned is abandoned
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Opens `path` for writing by the rules above. `binary`: refuse a terminal, which would show
  // the bytes as garbage. False with error() and why() set when refused or failed.
  bool Open(const std::string& path, OutputRule rule, bool binary = false);

  // For an output that a library writes by name and seeks in (a netCDF file): resolves `path`
  // as Open does and sets *write_path to a temporary file beside the target for the library
  // to write (it exists, empty); Commit renames it into place and Abandon removes it.
  // Standard output, devices and pipes are refused: such a format needs a file it can seek in.
  // The in-place rules are taken as kReplace and kNeverReplace.
  bool OpenForLibrary(const std::string& path, OutputRule rule, std::string* write_path);

  // Sequential writes only: a stream cannot seek back.
  File& file() { return file_; }
  bool WriteAll(const void* data, size_t n);

  // Closes the output and, for a temporary file, renames it into place. False with error()
  // and why() set when the data did not all arrive; a temporary file is then removed.
  bool Commit();
  // Closes the output; a temporary file is removed (an in-place file keeps what was written).
  void Abandon();

  // True when written through (a device, pipe, socket, console or standard output).
  bool is_stream() const { return stream_; }
  // The system's error code of the failure, 0 for a refusal of our own.
  int error() const { return error_; }
  // What went wrong, in words, without the path.
  const std::string& why() const { return why_; }

 private:
  bool Fail(int code, std::string why = {});
  void Reset(const std::string& path, OutputRule rule);
  bool CreateTemp(const OutputTarget& t);
  void Forget();

  File file_;
  OutputRule rule_ = OutputRule::kReplace;
  std::string target_;  // where the output ends up (a link's target for a link)
  std::string temp_;    // the temporary name renamed into place, empty when written in place
  std::string owned_;   // a file of ours removed when the output fails or is abandoned
  std::unique_ptr<RemoveOnInterrupt> cleanup_;
  bool open_ = false;
  bool stream_ = false;
  int error_ = 0;
  std::string why_;
};

// Writes `n` bytes as the whole output `path` (Open, WriteAll, Commit). False with *error
// (the system's code, 0 for a refusal of ours) and *why (words) on failure.
bool WriteOutput(const std::string& path, const void* data, size_t n, OutputRule rule,
                 bool binary, int* error = nullptr, std::string* why = nullptr);

// How messages name an output: "standard output" for "-", else the path.
std::string OutputName(const std::string& path);

// True when output `path` would write to the program's own standard output ("-",
// /dev/stdout, or the very file standard output is redirected to): messages then go to
// standard error.
bool IsStandardOutput(const std::string& path);

// True when writing output `path` would write into the file at `input` (another spelling,
// a link to it, or standard output redirected to it).
bool OutputIsInput(const std::string& path, const std::string& input);

// --- What the system says a path is: one implementation for POSIX, one for Win32.

enum class OutputKind {
  kMissing,      // nothing there: a new file
  kPlainFile,    // an existing file
  kStream,       // a character device, pipe, socket or console
  kDirectory,
  kBlockDevice,
  kUnusable,     // the system refused to say (error holds its code)
};

struct OutputTarget {
  OutputKind kind = OutputKind::kMissing;
  std::string path;   // where to write: a link's final target, or `path` itself
  bool is_link = false;
  int std_stream = 0; // 1 or 2 when the object is this program's stdout or stderr
  uint32_t mode = 0;  // a plain file's permission bits (POSIX; 0 elsewhere)
  int error = 0;
};

OutputTarget InspectOutput(const std::string& path);

}  // namespace zt::platform
