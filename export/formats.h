// The text, NMEA and CSV formats of one ping, as the logger's tools write them: the header
// lines and samples of "Echosounder mode + NMEA", the ZDA, XDR and DBT sentences of "NMEA",
// and the rows of "KM250 Full" with their running statistics. The export engine formats
// each ping with these; they know nothing of files or threads.
#pragma once

#include <cstdint>

#include "export/altitude.h"
#include "export/export_engine.h"
#include "export/text_builder.h"
#include "logfile/logfile.h"
#include "platform/time.h"

namespace zt {

// Local time through the PC's time-zone rules. Zone offsets change only at UTC instants
// that are whole quarter hours, so one look-up serves every ping of a quarter hour.
class LocalClock {
 public:
  platform::CivilTime Local(int64_t t);

 private:
  int64_t bucket_ = INT64_MIN;
  int64_t offset_ = 0;
};

// What a format takes from one ping.
struct PingView {
  int64_t time_utc;
  uint16_t time_fraction;
  int32_t ping_in_series;
  ECHOFOOTER footer;
  float sound_speed;  // the one the ping's altitude was found with
};

// The CSV columns that carry from ping to ping (the running median of 15 and the series
// sum), worked out in ping order.
struct CsvFigures {
  int32_t amp_pct = 0;
  float gated = 0.0f;
  float median = 0.0f;
  bool series_end = false;  // the last ping of a series: its row ends with the average
  float series_average = 0.0f;
};

// The CSV's running median of 15 and series sums, fed in ping order.
class CsvStatistics {
 public:
  CsvStatistics(int32_t amplitude_over_pct, int32_t ping_count)
      : gate_(amplitude_over_pct), ping_count_(ping_count) {}

  CsvFigures Add(float altitude, float peak, int32_t ping_in_series);

 private:
  int32_t gate_;
  int32_t ping_count_;
  MedianOf15 median_;
  float series_sum_ = 0.0f;
};

// One ping in each format, appended to a text builder. Each formatter keeps its own
// local-time cache: one per thread.
class PingFormatter {
 public:
  // zone_bias: the PC's standard time-zone bias in minutes, as the ZDA sentence gives it.
  PingFormatter(const EXPORTJOB& job, const LoggedFileInfo& info, int zone_bias)
      : job_(job), hdr_(info.header), zone_bias_(zone_bias) {}

  // "NMEA": the ZDA, XDR and DBT sentences, DBT with `depth_m`.
  void Sentences(TextBuilder& b, const PingView& p, float depth_m);
  // "Echosounder mode + NMEA": the header lines, the sentences with the device's altitude,
  // and the first `n0` samples.
  void Text(TextBuilder& b, const PingView& p, float altitude, const uint16_t* samples,
            int32_t n0);
  // "KM250 Full": the column headings, then one row a ping.
  void CsvHeader(TextBuilder& b);
  void CsvRow(TextBuilder& b, const PingView& p, float altitude, const CsvFigures& f);

 private:
  const EXPORTJOB& job_;
  const TIMERSETTINGS& hdr_;
  int zone_bias_;
  LocalClock clock_;
};

}  // namespace zt
