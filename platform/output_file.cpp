#include "platform/output_file.h"

#include "platform/interrupt.h"

namespace zt::platform {

OutputFile::OutputFile() = default;
OutputFile::~OutputFile() { Abandon(); }

bool OutputFile::Fail(int code, std::string why) {
  error_ = code;
  why_ = why.empty() ? ErrorText(code) : std::move(why);
  return false;
}

void OutputFile::Reset(const std::string& path, OutputRule rule) {
  Abandon();
  rule_ = rule;
  target_ = path;
  temp_.clear();
  owned_.clear();
  stream_ = false;
  error_ = 0;
  why_.clear();
}

bool OutputFile::Open(const std::string& path, OutputRule rule, bool binary) {
  Reset(path, rule);

  const bool new_only = rule == OutputRule::kNeverReplace || rule == OutputRule::kNewInPlace;
  if (path == kStandardOutputName) {
    if (new_only) return Fail(0, "cannot take a new file; name the file to create");
    if (!file_.OpenStandardStream(1)) return Fail(file_.last_error());
    stream_ = true;
  } else {
    const OutputTarget t = InspectOutput(path);
    const bool exists = t.kind != OutputKind::kMissing || t.is_link;
    if (new_only && t.kind == OutputKind::kStream)
      return Fail(0, "is a device or a pipe, not a file; a new file is needed here");
    if (new_only && exists && t.kind != OutputKind::kUnusable) return Fail(FileExistsError());
    switch (t.kind) {
      case OutputKind::kUnusable:
        return Fail(t.error);
      case OutputKind::kDirectory:
        return Fail(0, "is a folder; name a file to write");
      case OutputKind::kBlockDevice:
        return Fail(0, "is a block device (a disk); name a file on it");
      case OutputKind::kStream:
        if (!(t.std_stream ? file_.OpenStandardStream(t.std_stream) : file_.OpenStream(path)))
          return Fail(file_.last_error());
        stream_ = true;
        break;
      case OutputKind::kPlainFile:
      case OutputKind::kMissing:
        target_ = t.path;
        if (t.std_stream) {  // the file standard output already writes: write through it
          if (!file_.OpenStandardStream(t.std_stream)) return Fail(file_.last_error());
          stream_ = true;
        } else if (rule == OutputRule::kInPlace || rule == OutputRule::kNewInPlace) {
          const bool fresh = rule == OutputRule::kNewInPlace;
          if (!file_.Create(target_, fresh ? CreateMode::kNew : CreateMode::kAlways))
            return Fail(file_.last_error());
          if (fresh) {  // ours alone once created: removed if abandoned or interrupted
            owned_ = target_;
            cleanup_ = std::make_unique<RemoveOnInterrupt>(owned_);
          }
        } else if (!CreateTemp(t)) {
          return false;
        }
        break;
    }
  }
  open_ = true;
  if (binary && file_.IsTerminal()) {
    Abandon();
    return Fail(0, "is a terminal, and the output is binary: redirect it to a file or a pipe");
  }
  return true;
}

bool OutputFile::CreateTemp(const OutputTarget& t) {
  // Armed before the file exists: an interruption at any moment leaves nothing.
  const std::string temp = TempPathBeside(target_);
  cleanup_ = std::make_unique<RemoveOnInterrupt>(temp);
  if (!file_.Create(temp, CreateMode::kNew)) {
    cleanup_.reset();
    return Fail(file_.last_error());
  }
  temp_ = owned_ = temp;
  // A replaced file keeps who may read it; should the system refuse, the new file keeps the
  // usual permissions rather than fail the output.
  if (t.kind == OutputKind::kPlainFile) file_.SetPermissions(t.mode);
  return true;
}

bool OutputFile::OpenForLibrary(const std::string& path, OutputRule rule,
                                std::string* write_path) {
  Reset(path, rule == OutputRule::kNeverReplace || rule == OutputRule::kNewInPlace
                  ? OutputRule::kNeverReplace
                  : OutputRule::kReplace);
  write_path->clear();
  static const char kSeekable[] = "; this format needs a file it can seek in";
  if (path == kStandardOutputName) return Fail(0, std::string("is standard output") + kSeekable);
  const OutputTarget t = InspectOutput(path);
  switch (t.kind) {
    case OutputKind::kUnusable: return Fail(t.error);
    case OutputKind::kDirectory: return Fail(0, "is a folder; name a file to write");
    case OutputKind::kBlockDevice:
      return Fail(0, "is a block device (a disk); name a file on it");
    case OutputKind::kStream:
      return Fail(0, std::string("is a device or a pipe") + kSeekable);
    case OutputKind::kPlainFile:
    case OutputKind::kMissing: break;
  }
  if (t.std_stream) return Fail(0, std::string("is where standard output goes") + kSeekable);
  if (rule_ == OutputRule::kNeverReplace && (t.kind != OutputKind::kMissing || t.is_link))
    return Fail(FileExistsError());
  target_ = t.path;
  if (!CreateTemp(t)) return false;
  // The library opens the file by its name; our handle on it is not needed.
  file_.Close();
  open_ = true;
  *write_path = temp_;
  return true;
}

bool OutputFile::WriteAll(const void* data, size_t n) {
  if (file_.WriteAll(data, n)) return true;
  return Fail(file_.last_error());
}

bool OutputFile::Commit() {
  if (!open_) return Fail(0, "no output is open");
  open_ = false;
  int code = 0;
  if (!file_.Close()) {
    code = file_.last_error();
  } else if (!temp_.empty()) {
    if (rule_ == OutputRule::kNeverReplace) RenameFileNoReplace(temp_, target_, &code);
    else RenameFile(temp_, target_, &code);
  }
  if (code != 0 && !owned_.empty()) RemoveFile(owned_);
  Forget();
  return code == 0 || Fail(code);
}

void OutputFile::Abandon() {
  if (!open_) return;
  open_ = false;
  file_.Close();
  if (!owned_.empty()) RemoveFile(owned_);
  Forget();
}

void OutputFile::Forget() {
  temp_.clear();
  owned_.clear();
  cleanup_.reset();
}

bool WriteOutput(const std::string& path, const void* data, size_t n, OutputRule rule,
                 bool binary, int* error, std::string* why) {
  OutputFile out;
  const bool ok = out.Open(path, rule, binary) && out.WriteAll(data, n) && out.Commit();
  if (!ok) {
    if (error) *error = out.error();
    if (why) *why = out.why();
  }
  return ok;
}

std::string OutputName(const std::string& path) {
  return path == kStandardOutputName ? "standard output" : path;
}

bool IsStandardOutput(const std::string& path) {
  return path == kStandardOutputName || InspectOutput(path).std_stream == 1;
}

bool OutputIsInput(const std::string& path, const std::string& input) {
  if (path != kStandardOutputName) return SameFile(input, path);
  return SameFileAsStandardOutput(input);
}

}  // namespace zt::platform
