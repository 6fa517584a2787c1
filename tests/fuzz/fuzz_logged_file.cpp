// A logged ping file made of the input: the reader, the altitude detection on every ping it
// hands out, and one export in each format (text, NMEA, CSV) with the header's settings.
#include <cstdint>
#include <string>
#include <vector>

#include "export/altitude.h"
#include "export/export_engine.h"
#include "logfile/logfile.h"
#include "logfile/record_reader.h"
#include "tests/fuzz/fuzz_util.h"

namespace {

using namespace zt;

void ReadEveryPing(const std::string& path) {
  platform::File file;
  LoggedFileInfo info;
  std::string why;
  if (!OpenLoggedFile(path, &file, &info, &why)) return;
  IsLoggedFile(file);
  if (GetPingCount(file) != info.ping_count) __builtin_trap();  // one rule for the count
  const EXPORTJOB job = JobFromHeader(info.header, kFormatCsv);
  const bool detect = CheckExportParameters(job).empty();  // FindAltitude's own precondition
  MedianOf15 median;
  // Ping by ping here; the exports below read in blocks.
  std::vector<uint16_t> words(info.record_size / 2);
  uint8_t* rec = reinterpret_cast<uint8_t*>(words.data());
  for (uint32_t i = 0; i < info.ping_count; ++i) {
    if (ReadPingSized(file, rec, info.record_size, i) != info.record_size) break;
    const ECHOHEADER h = DecodeEchoHeader(rec);
    if (h.sample_count < 0 || h.sample_count > info.samples) continue;  // a corrupt ping
    DecodeEchoFooter(rec + kEchoHeaderSize + 2 * static_cast<size_t>(h.sample_count));
    if (!detect) continue;
    float peak = 0;
    const float altitude = FindAltitude(RecordReader::SamplesInPlace(rec), h.sample_count,
                                        job.threshold_pct, job.deadzone_m, info.header.offset_m,
                                        job.sound_speed, info.header.tx_length_us, &peak);
    median.Add(AmplitudeGate(altitude, AmplitudePercent(peak), job.amplitude_over_pct));
  }
  if (info.ping_count > 0) ReadPing(file, rec, info.ping_count - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::Scratch& scratch = fuzz::Scratch::Get();
  const std::string in = scratch.Write("DATA0001.BIN", data, size);
  ReadEveryPing(in);

  TIMERSETTINGS header{};
  if (size >= kFileHeaderSize) header = DecodeTimerSettings(data);
  ExportProgress progress;
  for (int32_t format : {kFormatText, kFormatNmea, kFormatCsv}) {
    EXPORTJOB job = JobFromHeader(header, format);
    job.input_path = in;
    job.output_path = scratch.Path("OUT.LOG");
    ExportOptions options;
    options.atomic_output = format == kFormatCsv;  // both ways of writing the output
    ExportLoggerFormat(job, progress, options);
  }
  scratch.Clear();
  return 0;
}
