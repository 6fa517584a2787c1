// The science formats in the core: the netCDF file read back with netCDF-C (each variable's
// group, dimensions and units, a few values), the GeoJSON's features, and the refusals made
// before any output exists.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "export/science_export.h"
#include "tests/export/export_job.h"
#include "tests/logfile/logged_file_builder.h"

#ifdef ZT_TEST_NETCDF
#include <netcdf.h>
#endif

namespace zt {
namespace {

constexpr uint32_t kT0 = 1768472430;  // 2026-01-15 10:20:30 UTC

// Three pings of the 1 m range, the second with a bottom echo at sample 50: the first on the
// track's first point, the second half a second (and a tick) later, the third past its end.
std::string ThreePings(test::TempDir& dir) {
  test::LoggedFileBuilder b(test::PlainHeader());
  for (int k = 0; k < 3; ++k) {
    test::PingSpec p;
    p.ping_number = 7 + k;
    p.time_utc = kT0 + (k == 2 ? 2u : 0u);
    p.time_fraction = k == 1 ? 0x8001 : 0;
    p.ping_in_series = k + 1;
    p.samples = k == 1 ? test::Samples(144, 3, {{49, 90}, {50, 900}, {51, 900}, {52, 900},
                                               {53, 900}, {54, 900}, {55, 900}, {56, 900}})
                       : test::Samples(144, 3, {{0, 1023}});
    p.temperature_c = 8.5f + k;
    p.battery_v = 12.25f;
    p.pitch_deg = 1.5f;
    p.roll_deg = -2.5f;
    b.Ping(p);
  }
  b.WriteTo(dir.Path("IN.BIN"));
  return dir.Path("IN.BIN");
}

// Two track points a second apart.
std::string Track(test::TempDir& dir) {
  test::WriteAll(dir.Path("TRACK.nmea"),
                 "$GPRMC,102030.00,A,5430.0000,N,01000.0000,E,0.0,0.0,150126,,,A*5C\r\n"
                 "$GPRMC,102031.00,A,5430.6000,N,01000.6000,E,0.0,0.0,150126,,,A*5D\r\n");
  return dir.Path("TRACK.nmea");
}

ExportResult Export(const EXPORTJOB& job) {
  ExportProgress quiet;
  ExportOptions options;
  options.atomic_output = true;
  return RunExport(job, quiet, options);
}

TEST(ScienceExport, RefusedBeforeAnyOutput) {
  test::TempDir dir;
  const std::string in = ThreePings(dir);
  struct Case {
    int32_t format;
    std::string out;
    const char* track;
    int compress;
    double max_gap;
    const char* says;
  };
  const std::vector<Case> cases = {
      {kFormatGeojson, dir.Path("OUT"), nullptr, 4, 10, "needs a GPS track"},
      {kFormatGeojson, dir.Path("OUT"), "MISSING.gpx", 4, 10, "MISSING.gpx"},
      {kFormatGeojson, dir.Path("OUT"), "TRACK.nmea", 4, 0, "largest track gap 0"},
      {kFormatGeojson, in, "TRACK.nmea", 4, 10, "is the input file"},
      {kFormatNetcdf, dir.Path("OUT"), nullptr, 10, 10,
       kNetcdfSupported ? "compression level 10" : "netCDF library"},
      {kFormatCsv, dir.Path("OUT"), "TRACK.nmea", 4, 10, "stay as the logger's tools"},
      {kFormatNetcdf, "-", nullptr, 4, 10, kNetcdfSupported ? "seek" : "netCDF library"},
  };
  Track(dir);
  for (const Case& c : cases) {
    EXPORTJOB job = test::JobFor(test::PlainHeader(), c.format, in, c.out);
    if (c.track) job.gps_track_path = dir.Path(c.track);
    job.compress_level = c.compress;
    job.max_gap_s = c.max_gap;
    const ExportResult r = Export(job);
    EXPECT_FALSE(r.ok()) << c.says;
    EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
  }
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"IN.BIN", "TRACK.nmea"}));
}

TEST(ScienceExport, GeojsonHasAFeaturePerPingWithAPosition) {
  test::TempDir dir;
  EXPORTJOB job = test::JobFor(test::PlainHeader(), kFormatGeojson, ThreePings(dir),
                               dir.Path("OUT.geojson"));
  job.gps_track_path = Track(dir);
  const ExportResult r = Export(job);
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(r.pings_without_position, 1u);
  const std::string text = test::ReadAll(dir.Path("OUT.geojson"));
  EXPECT_EQ(text.substr(0, 41), "{\"type\":\"FeatureCollection\",\"features\":[\n");
  EXPECT_NE(text.find("\"coordinates\":[10.0000000,54.5000000]},\"properties\":{\"time\":"
                      "\"2026-01-15T10:20:30.000Z\",\"ping\":7,\"altitude_m\":null,"
                      "\"temperature_c\":8.50,\"battery_v\":12.25}}"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("[10.0050002,54.5050002]},\"properties\":{\"time\":\"2026-01-15T10:20:30.500Z\",\"ping\":8"),
            std::string::npos) << text;
  EXPECT_EQ(text.find("\"ping\":9"), std::string::npos) << "past the track's end: " << text;
  EXPECT_EQ(text.substr(text.size() - 4), "\n]}\n");
}

#ifdef ZT_TEST_NETCDF
// Reads one variable of a group path ("Sonar/Beam_group1") with netCDF-C.
class NcFile {
 public:
  explicit NcFile(const std::string& path) { EXPECT_EQ(nc_open(path.c_str(), NC_NOWRITE, &id_), NC_NOERR); }
  ~NcFile() { nc_close(id_); }
  bool Find(const std::string& group, const std::string& var, int* grp, int* varid) const {
    return nc_inq_grp_full_ncid(id_, group.c_str(), grp) == NC_NOERR &&
           nc_inq_varid(*grp, var.c_str(), varid) == NC_NOERR;
  }
  std::string Dims(int grp, int var) const {
    int n = 0, ids[NC_MAX_VAR_DIMS];
    nc_inq_var(grp, var, nullptr, nullptr, &n, ids, nullptr);
    std::string s;
    for (int k = 0; k < n; ++k) {
      char name[NC_MAX_NAME + 1];
      size_t len = 0;
      nc_inq_dim(grp, ids[k], name, &len);
      s += (k ? "," : "") + std::string(name) + "=" + std::to_string(len);
    }
    return s;
  }
  std::string Att(int grp, int var, const char* name) const {
    size_t len = 0;
    if (nc_inq_attlen(grp, var, name, &len) != NC_NOERR) return "(none)";
    std::string s(len, '\0');
    nc_get_att_text(grp, var, name, s.data());
    return s;
  }
  int id() const { return id_; }

 private:
  int id_ = -1;
};

TEST(ScienceExport, NetcdfVariablesDimensionsUnitsAndValues) {
  test::TempDir dir;
  EXPORTJOB job = test::JobFor(test::PlainHeader(), kFormatNetcdf, ThreePings(dir),
                               dir.Path("OUT.nc"));
  job.gps_track_path = Track(dir);
  job.water.model = kSoundSpeedMackenzie;
  const ExportResult r = Export(job);
  ASSERT_TRUE(r.ok()) << r.message;
  NcFile nc(dir.Path("OUT.nc"));
  struct Case {
    const char* group;
    const char* var;
    const char* dims;
    const char* units;
    double value1;  // the value of ping 1 (index 1 along ping_time; first element otherwise)
  };
  // The nearest nanosecond to the tick: 0x8001 x 10^9 / 65536 = 500015258.79.
  const long long ns1 = kT0 * 1000000000LL + 500015259;
  const std::vector<Case> cases = {
      {"Sonar/Beam_group1", "ping_time", "ping_time=3", "nanoseconds since 1970-01-01T00:00:00Z", 0},
      {"Sonar/Beam_group1", "backscatter_r", "channel=1,ping_time=3,range_sample=144", "count", 3},
      {"Sonar/Beam_group1", "sample_count", "ping_time=3", "(none)", 144},
      {"Sonar/Beam_group1", "sample_interval", "channel=1,ping_time=3", "s", 1e-5},
      {"Sonar/Beam_group1", "detected_bottom_range", "ping_time=3", "m", 0.61467},
      {"Environment", "temperature", "time1=3", "degree_C", 9.5},
      {"Environment", "sound_speed_indicative", "time1=3", "m/s", 1487.99},
      {"Platform", "tilt_x", "time1=3", "arc_degree", 1.5},
      {"Platform", "tilt_y", "time1=3", "arc_degree", -2.5},
      {"Platform", "latitude", "time1=3", "degrees_north", 54.505},
      {"Platform", "longitude", "time1=3", "degrees_east", 10.005},
      {"Vendor_specific", "battery_voltage", "ping_time=3", "V", 12.25},
      {"Vendor_specific", "ping_number", "ping_time=3", "(none)", 8},
      {"Vendor_specific", "ping_in_series", "ping_time=3", "(none)", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.group) + "/" + c.var);
    int grp = -1, var = -1;
    ASSERT_TRUE(nc.Find(c.group, c.var, &grp, &var));
    EXPECT_EQ(nc.Dims(grp, var), c.dims);
    EXPECT_EQ(nc.Att(grp, var, "units"), c.units);
    int ndims = 0;
    nc_inq_varndims(grp, var, &ndims);
    // Ping 1: index 1 of ping_time, behind the channel where there is one.
    size_t at[3] = {ndims == 1 ? 1u : 0u, 1, 0};
    double v = 0;
    if (std::string(c.var) == "ping_time") {
      long long t = 0;
      ASSERT_EQ(nc_get_var1_longlong(grp, var, at, &t), NC_NOERR);
      EXPECT_EQ(t, ns1);
      continue;
    }
    ASSERT_EQ(nc_get_var1_double(grp, var, at, &v), NC_NOERR);
    if (std::isnan(c.value1)) EXPECT_TRUE(std::isnan(v)) << v;
    else EXPECT_NEAR(v, c.value1, std::fabs(c.value1) * 1e-4) << v;
  }
  // The first ping lies on the track's first point; the last has no position.
  int grp = -1, var = -1;
  ASSERT_TRUE(nc.Find("Platform", "latitude", &grp, &var));
  double lat[3] = {};
  nc_get_var_double(grp, var, lat);
  EXPECT_DOUBLE_EQ(lat[0], 54.5);
  EXPECT_TRUE(std::isnan(lat[2])) << lat[2];
  EXPECT_EQ(nc.Att(nc.id(), NC_GLOBAL, "sonar_convention_version"), "1.0");
}
#endif

}  // namespace
}  // namespace zt
