// GeoJSON (RFC 7946): one FeatureCollection of Point features, one per ping with a position,
// [longitude, latitude] in WGS 84 degrees with 7 decimals (about a centimetre).
#include <cmath>
#include <memory>

#include "export/science_export.h"
#include "export/text_builder.h"
#include "platform/output_file.h"
#include "platform/time.h"

namespace zt {
namespace {

constexpr size_t kFlushAt = 1 << 20;
constexpr size_t kFeatureRoom = 1024;  // one feature is well under 400 bytes

class GeojsonSink : public PingSink {
 public:
  explicit GeojsonSink(platform::OutputFile& out)
      : out_(out), buf_(new char[kFlushAt + kFeatureRoom]) {}

  bool Start() { return Put("{\"type\":\"FeatureCollection\",\"features\":[\n"); }

  bool Ping(const PingFacts& p) override {
    if (!p.has_position) return true;
    TextBuilder b(buf_.get() + len_, kFeatureRoom);
    if (features_++ > 0) b.Str(",\n");
    b.Str("{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[");
    b.Fixed(p.longitude, 7).Char(',').Fixed(p.latitude, 7);
    char time[40];
    const size_t n = platform::CivilText(platform::UtcCivil(p.time_utc),
                                         "YYYY-MM-DDThh:mm:ss.fffZ",
                                         FractionMilliseconds(p.time_fraction), time, sizeof time);
    b.Str("]},\"properties\":{\"time\":\"").Str(std::string_view(time, n));
    b.Str("\",\"ping\":").Int(p.footer.ping_number);
    Number(b.Str(",\"altitude_m\":"), p.altitude > 0.0f ? p.altitude : NAN, 3);
    Number(b.Str(",\"temperature_c\":"), p.footer.temperature_c, 2);
    Number(b.Str(",\"battery_v\":"), p.footer.battery_v, 2);
    b.Str("}}");
    len_ += b.size();
    return len_ < kFlushAt || Flush();
  }

  // Closes the collection and writes what is left.
  bool Finish() { return Put("\n]}\n") && Flush(); }

 private:
  // JSON has no NaN: a missing or unreadable value is null.
  static void Number(TextBuilder& b, double v, int decimals) {
    if (std::isfinite(v)) b.Fixed(v, decimals);
    else b.Str("null");
  }
  bool Put(std::string_view s) {
    TextBuilder b(buf_.get() + len_, kFeatureRoom);
    b.Str(s);
    len_ += b.size();
    return true;
  }
  bool Flush() {
    const bool ok = out_.WriteAll(buf_.get(), len_);
    len_ = 0;
    if (!ok) {
      why = out_.why();
      error = out_.error();
    }
    return ok;
  }

  platform::OutputFile& out_;
  std::unique_ptr<char[]> buf_;
  size_t len_ = 0;
  uint32_t features_ = 0;
};

}  // namespace

ExportResult ExportGeojson(const EXPORTJOB& job, ExportProgress& progress,
                           const ExportOptions& options) {
  ExportResult res;
  ScienceInput input;
  if (!PrepareScienceExport(job, &input, &res)) return res;
  platform::OutputFile out;
  if (!out.Open(job.output_path, options.atomic_output ? platform::OutputRule::kReplace
                                                       : platform::OutputRule::kInPlace))
    return OutputFailure(res, job, out.why(), out.error());
  GeojsonSink sink(out);
  sink.Start();
  if (!StreamPings(job, input, sink, progress, &res)) {
    // A file written in place keeps the pings before a bad one, as a complete collection.
    if (!options.atomic_output && res.status != ExportStatus::kOutputFailed && sink.Finish() &&
        out.Commit())
      res.message += "; the pings before it are kept in a complete GeoJSON file";
    out.Abandon();
    return res;
  }
  if (!sink.Finish() || !out.Commit()) {
    out.Abandon();
    return sink.why.empty() ? OutputFailure(res, job, out.why(), out.error())
                            : OutputFailure(res, job, sink.why, sink.error);
  }
  progress.SetPos(99);
  return res;
}

}  // namespace zt
