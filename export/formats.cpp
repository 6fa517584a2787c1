#include "export/formats.h"

#include <climits>
#include <cstring>
#include <string_view>

#include "platform/short_number.h"

namespace zt {

namespace {

// The CSV's battery millivolts, rounded as the logger's tools always have (+0.5, then toward
// zero). A damaged footer's value beyond 32 bits, or not a number, gives INT32_MIN, as the x86
// conversion does, instead of undefined behaviour.
int32_t Millivolts(float volts) {
  const double x = static_cast<double>(volts * 1000.0f) + 0.5;
  if (!(x > -2147483649.0 && x < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(x);
}

// "%04d%02d%02d %02d:%02d:%02d.%0Nd"
void AppendStamp(TextBuilder& b, const platform::CivilTime& c, int fraction, int digits) {
  char text[32];
  const size_t n = platform::CivilText(
      c, digits == 3 ? "YYYYMMDD hh:mm:ss.fff" : "YYYYMMDD hh:mm:ss.ff", fraction, text,
      sizeof text);
  b.Str(std::string_view(text, n));
}

class Sentence {
 public:
  explicit Sentence(TextBuilder& b) : b_(b) {
    b_.Char('$');
    start_ = b_.size();
  }
  ~Sentence() {
    uint8_t sum = 0;
    if (!b_.overflow()) {
      // Eight bytes at a time, then folded: the XOR of every byte whatever the byte order.
      const char* p = b_.data() + start_;
      size_t n = b_.size() - start_;
      uint64_t wide = 0;
      for (; n >= 8; n -= 8, p += 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        wide ^= w;
      }
      wide ^= wide >> 32;
      wide ^= wide >> 16;
      wide ^= wide >> 8;
      sum = static_cast<uint8_t>(wide);
      for (; n > 0; --n, ++p) sum ^= static_cast<uint8_t>(*p);
    }
    static const char kHex[] = "0123456789ABCDEF";
    b_.Char('*').Char(kHex[sum >> 4]).Char(kHex[sum & 15]).Str("\r\n");
  }

 private:
  TextBuilder& b_;
  size_t start_;
};

}  // namespace

platform::CivilTime LocalClock::Local(int64_t t) {
  int64_t bucket = t >= 0 ? t / 900 : -1 - (-t - 1) / 900;
  if (bucket != bucket_) {
    bucket_ = bucket;
    offset_ = platform::LocalOffsetSeconds(t);
  }
  return platform::UtcCivil(t + offset_);
}

CsvFigures CsvStatistics::Add(float altitude, float peak, int32_t ping_in_series) {
  CsvFigures f;
  f.amp_pct = AmplitudePercent(peak);
  f.gated = AmplitudeGate(altitude, f.amp_pct, gate_);
  f.median = median_.Add(f.gated);
  series_sum_ += f.median;
  if (ping_in_series == ping_count_) {
    f.series_end = true;
    f.series_average = SeriesAverage(series_sum_, ping_count_);
    series_sum_ = 0.0f;
  }
  return f;
}

void PingFormatter::Sentences(TextBuilder& b, const PingView& p, float depth_m) {
  platform::CivilTime u = platform::UtcCivil(p.time_utc);
  {
    Sentence s(b);
    char text[32];
    const size_t n = platform::CivilText(u, "hhmmss.ff,DD,MM,YYYY",
                                         FractionHundredths(p.time_fraction), text, sizeof text);
    b.Str("SDZDA,").Str(std::string_view(text, n)).Char(',').Int(-zone_bias_ / 60, 2, true).Char(',');
    b.Int((zone_bias_ < 0 ? -zone_bias_ : zone_bias_) % 60, 2, true);
  }
  {
    Sentence s(b);
    b.Str("SDXDR,A,").Fixed(p.footer.pitch_deg, 1).Str(",D,PTCH,A,");
    b.Fixed(p.footer.roll_deg, 1).Str(",D,ROLL");
  }
  {
    Sentence s(b);
    b.Str("SDDBT,").Fixed(depth_m / 0.3048, 3).Str(",f,").Fixed(depth_m, 3).Str(",M,");
    b.Fixed(depth_m / 1.8288, 3).Str(",F");
  }
}

void PingFormatter::Text(TextBuilder& b, const PingView& p, float altitude,
                       const uint16_t* samples, int32_t n0) {
  b.Str("#DeviceID ").Int(hdr_.device_id, 6, true).Str(" ZT615 USB/SDCard + Alfat Type\r\n");
  const int hundredths = FractionHundredths(p.time_fraction);
  b.Str("#TimeLocal ");
  AppendStamp(b, clock_.Local(p.time_utc), hundredths, 2);
  b.Str("\r\n#TimeUTC   ");
  AppendStamp(b, platform::UtcCivil(p.time_utc), hundredths, 2);
  b.Str("\r\n#Ping   ").Int(p.footer.ping_number);
  b.Str("\r\n#Ping num in series  ").Int(p.ping_in_series);
  b.Str("\r\n#Altitude,m   ").Fixed(altitude, 3, 6);
  b.Str("\r\n#Temperature,\xB0" "C ").Fixed(p.footer.temperature_c, 2, 5);
  b.Str("\r\n#NSamples ").Int(p.footer.sample_count);
  b.Str("\r\n#Resolution,m ").Fixed(p.sound_speed * 0.5 / 100000, 4, 7);
  b.Str("\r\n#SoundSpeed,mps ").Fixed(p.sound_speed, 2, 7);
  b.Str("\r\n#---------------Parameters---------------\r\n#Tx_Frequency,Hz 450000");
  b.Str("\r\n#Range,m ").Fixed(hdr_.range_mm / 1000.0, 1, 6);
  b.Str("\r\n#Pulse period,sec  ").Fixed(hdr_.period_s, 2, 4);
  b.Str("\r\n#Pulses in series,num  ").Int(hdr_.ping_count);
  b.Str("\r\n#Interval between series,sec  ").Int(hdr_.interval_s);
  b.Str("\r\n#Threshold,%   ").Int(job_.threshold_pct);
  b.Str("\r\n#Offset,m  ").Fixed(hdr_.offset_m, 3, 6);
  b.Str("\r\n#Deadzone,m  ").Fixed(job_.deadzone_m, 3, 5);
  b.Str("\r\n#PulseLength,uks ").Int(hdr_.tx_length_us);
  b.Str("\r\n#TVG_Gain,dB  ").Fixed(hdr_.gain_db, 3, 5, false, true);
  b.Str("\r\n#TVG_Slope,dB/km ").Fixed(hdr_.tvg_slope, 1, 5);
  b.Str("\r\n#TVG_Mode  1\r\n#OutputMode    2");
  b.Str("\r\n#Pitch,deg ").Fixed(p.footer.pitch_deg, 3, 8, true);
  b.Str("\r\n#Roll,deg ").Fixed(p.footer.roll_deg, 3, 8, true);
  b.Str("\r\n\r\n");
  Sentences(b, p, p.footer.altitude_m);
  b.Str("\r\n##DataStart\r\n");
  b.SampleLines(samples, n0);
  b.Str("##DataEnd\r\n\r\n");
}

void PingFormatter::CsvHeader(TextBuilder& b) {
  b.Str(" Date Time,Ping,Altitude [mm],Temperature [Celsius],Battery[mV],Amplitude Raw[%FS],"
        " Ampl>");
  b.Int(job_.amplitude_over_pct, 2, true);
  b.Str("%, Median15, Average Value, NSeries, Interval\r\n");
}

void PingFormatter::CsvRow(TextBuilder& b, const PingView& p, float altitude,
                         const CsvFigures& f) {
  b.Char(' ');
  AppendStamp(b, clock_.Local(p.time_utc), FractionMilliseconds(p.time_fraction), 3);
  b.Char(',').Int(p.footer.ping_number, 7);
  b.Char(',').Fixed(p.footer.altitude_m * 1000.0f, 1, 8);
  b.Char(',').Fixed(p.footer.temperature_c, 2, 7);
  b.Char(',').Int(Millivolts(p.footer.battery_v), 6);
  b.Char(',').Int(f.amp_pct, 4);
  b.Char(',').Fixed(altitude * 1000.0f, 1, 8);
  b.Char(',').Fixed(f.gated * 1000.0f, 1, 8);
  b.Char(',').Fixed(f.median * 1000.0f, 1, 8);
  b.Char(',');
  if (f.series_end) {
    b.Fixed(f.series_average * 1000.0f, 1, 8);
    b.Str(" N:").Int(hdr_.ping_count).Str(" Interval: ").Fixed(1.0f / hdr_.period_s, 1, 4);
  }
  b.Str("\r\n");
}

}  // namespace zt
