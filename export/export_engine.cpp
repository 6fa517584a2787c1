#include "export/export_engine.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "export/block_runner.h"
#include "export/formats.h"
#include "export/text_builder.h"
#include "logfile/logfile.h"
#include "platform/file.h"
#include "platform/output_file.h"
#include "platform/le_bytes.h"
#include "platform/short_number.h"

namespace zt {

namespace {

ExportResult Failed(ExportResult res, ExportStatus status, std::string message, int code = 0) {
  res.status = status;
  res.message = std::move(message);
  res.system_error = code;
  return res;
}

// The input of an export once every refusal made before a ping is read has been made.
struct ExportInput {
  platform::File in;
  LoggedFileInfo info;
  int32_t n0 = 0;  // ping 0's own sample count bounds the scan and the samples of every ping
};

bool OpenExportInput(const EXPORTJOB& job, ExportInput* input, ExportResult* res) {
  // An output that names the input (the same path, another spelling of it, or a link to the
  // same file) would truncate the recording it reads.
  if (platform::OutputIsInput(job.output_path, job.input_path)) {
    *res = Failed(*res, ExportStatus::kRefused,
                  job.output_path + ": is the input file; choose another output");
    return false;
  }
  platform::File& in = input->in;
  if (!in.OpenRead(job.input_path)) {
    *res = Failed(*res, ExportStatus::kInputFailed,
                  job.input_path + ": " + platform::ErrorText(in.last_error()), in.last_error());
    return false;
  }
  std::string why;
  if (!InspectLoggedFile(in, &input->info, &why) || !(why = CheckExportParameters(job)).empty()) {
    *res = Failed(*res, ExportStatus::kRefused, job.input_path + ": " + why);
    return false;
  }
  // The logger's own formats stay as the logger's tools write them: no positions.
  if (job.data_format > kFormatCsv || !job.gps_track_path.empty()) {
    *res = Failed(*res, ExportStatus::kRefused,
                  job.data_format > kFormatCsv
                      ? "the netCDF and GeoJSON formats are written by RunExport"
                      : "a GPS track is for the netCDF and GeoJSON formats; the text, NMEA and "
                        "CSV formats stay as the logger's tools write them");
    return false;
  }
  const LoggedFileInfo& info = input->info;
  res->ping_count = info.ping_count;
  if (info.ping_count == 0) return true;
  std::vector<uint8_t> record(info.record_size, 0);
  const int64_t got = ReadPingSized(in, record.data(), info.record_size, 0);
  if (got != info.record_size) {
    *res = Failed(*res, ExportStatus::kInputFailed,
                  job.input_path + ": ping 0 could not be read" +
                      (got < 0 ? ": " + platform::ErrorText(in.last_error()) : std::string()),
                  got < 0 ? in.last_error() : 0);
    return false;
  }
  input->n0 = LoadI32(record.data() + kRecSampleCount);
  if (input->n0 < 0 || input->n0 > info.samples) {
    *res = Failed(*res, ExportStatus::kCorruptPing,
                  job.input_path + ": ping 0 is corrupt: its sample count " +
                      std::to_string(input->n0) + " does not fit the " +
                      std::to_string(info.samples) + " samples of a record");
    return false;
  }
  return true;
}

}  // namespace

EXPORTJOB JobFromHeader(const TIMERSETTINGS& header, int32_t data_format) {
  EXPORTJOB job;
  job.data_format = data_format;
  job.threshold_pct = header.threshold_pct;
  job.deadzone_m = header.deadzone_m;
  job.sound_speed = header.sound_speed;
  job.amplitude_over_pct = kDefaultAmplitudeOverPct;
  return job;
}

std::string CheckExportParameters(const EXPORTJOB& job) {
  if (job.data_format < kFormatText || job.data_format > kFormatGeojson)
    return "unknown data format " + std::to_string(job.data_format);
  if (!(std::isfinite(job.sound_speed) && job.sound_speed > 0.0f))
    return "sound speed " + ShortNumber(job.sound_speed) + " m/s is not a positive number";
  if (job.threshold_pct < 0 || job.threshold_pct > 100)
    return "threshold " + std::to_string(job.threshold_pct) + " % is outside 0-100";
  if (!(job.deadzone_m >= 0.0f) || std::isinf(job.deadzone_m))
    return "deadzone " + ShortNumber(job.deadzone_m) + " m is not zero or a positive number";
  if (job.amplitude_over_pct < 0 || job.amplitude_over_pct > 100)
    return "amplitude gate " + std::to_string(job.amplitude_over_pct) + " % is outside 0-100";
  return CheckWaterSettings(job.water);
}

ExportResult ExportLoggerFormat(const EXPORTJOB& job, ExportProgress& progress,
                                const ExportOptions& options) {
  // 1. Every refusal made before a ping is read.
  ExportResult res;
  ExportInput input;
  if (!OpenExportInput(job, &input, &res)) return res;
  const LoggedFileInfo& info = input.info;

  // 2. The output: a plain file under a temporary name, renamed when complete; a device or
  //    pipe written through. An interrupted program removes its temporary file. After a
  //    failure what was written is kept (the dialog's behaviour) or, under a temporary
  //    name, nothing is left behind.
  const std::string& target = job.output_path;
  platform::OutputFile out;
  if (!out.Open(target, options.atomic_output ? platform::OutputRule::kReplace
                                              : platform::OutputRule::kInPlace))
    return Failed(res, ExportStatus::kOutputFailed,
                  platform::OutputName(target) + ": " + out.why(), out.error());
  progress.SetRange(1, 99);
  progress.SetStep(1);
  if (job.data_format == kFormatCsv) {
    char line[256];
    TextBuilder b(line, sizeof line);
    PingFormatter(job, info, 0).CsvHeader(b);
    if (!out.WriteAll(b.data(), b.size())) {
      out.Abandon();
      return Failed(res, ExportStatus::kOutputFailed,
                    platform::OutputName(target) + ": " + out.why(), out.error());
    }
  }

  // 3. The pings.
  const uint32_t block_pings =
      options.block_pings > 0 ? options.block_pings : BlockPings(job, info, input.n0);
  const BlocksRun run =
      RunBlocks(job, info, input.n0, block_pings, input.in, out.file(), progress, options.stop);
  res.pings_written = run.pings_written;
  res.sound_speed_fallbacks = run.sound_speed_fallbacks;
  if (run.status != ExportStatus::kOk) {
    out.Abandon();
    return Failed(res, run.status, run.message, run.code);
  }

  // 4. The output complete.
  if (!out.Commit())
    return Failed(res, ExportStatus::kOutputFailed,
                  platform::OutputName(target) + ": " + out.why(), out.error());
  progress.Pings(info.ping_count, info.ping_count, PingOffset(info.record_size, info.ping_count));
  progress.SetPos(99);
  return res;
}

}  // namespace zt
