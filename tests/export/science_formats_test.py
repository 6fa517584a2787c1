#!/usr/bin/python3
"""The science formats read by real readers: three simulated recordings converted to netCDF
and opened with xarray (times exact to the logger's 1/65536 s, amplitudes equal to the
recording, altitudes equal to the CSV export's, Mackenzie's sound speed per ping), all three
opened at once with xarray.open_mfdataset and dask, and GeoJSON maps from an NMEA and a GPX
track read back with GDAL's ogrinfo.

usage: science_formats_test.py ZT615 ZT615_LOGGER_SIM
"""
import bisect
import os
import re
import subprocess
import sys
import tempfile

try:
    import numpy as np
    import xarray as xr
    import dask  # noqa: F401  (open_mfdataset's chunks)
except ImportError as e:
    print(f"[  SKIPPED ] science formats: {e} (python3-xarray, python3-netcdf4, python3-dask)")
    sys.exit(0)

ZT615, SIM = sys.argv[1], sys.argv[2]
STARTS = ["2026-06-01T23:40:00Z", "2026-06-02T00:00:00Z", "2026-06-02T00:20:00Z"]
EPOCH0 = 1780357200  # 2026-06-01T23:40:00Z
failures = []
checks = [0]


def check(ok, what):
    checks[0] += 1
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def run(*args):
    r = subprocess.run(list(args), capture_output=True, text=True, env=dict(os.environ, TZ="UTC"))
    if r.returncode != 0:
        raise SystemExit(f"{' '.join(args)} failed ({r.returncode}): {r.stderr}")
    return r


def read_bin(path):
    """Times (ticks of 1/65536 s), samples and temperatures, straight from the file layout."""
    data = np.fromfile(path, dtype=np.uint8)
    n = int(data[140:144].view("<i4")[0])  # ping 0's sample count
    size = 2 * n + 128
    recs = data[128:128 + (len(data) - 128) // size * size].reshape(-1, size)
    secs = recs[:, 16:20].copy().view("<u4")[:, 0].astype(np.int64)
    frac = recs[:, 20:22].copy().view("<u2")[:, 0].astype(np.int64)
    samples = recs[:, 64:64 + 2 * n].copy().view("<u2")
    temp = recs[:, 64 + 2 * n + 12:64 + 2 * n + 16].copy().view("<f4")[:, 0]
    return secs * 65536 + frac, samples, temp


def csv_altitudes(path):
    text = open(path, "rb").read().decode("latin-1")
    rows = [line.split(",") for line in text.split("\r\n")[1:] if line]
    return np.array([float(r[6]) for r in rows]) / 1000.0


def mackenzie(t, s=35.0, d=0.0):
    return (1448.96 + 4.591 * t - 5.304e-2 * t**2 + 2.374e-4 * t**3 + 1.340 * (s - 35) +
            1.630e-2 * d + 1.675e-7 * d**2 - 1.025e-2 * t * (s - 35) - 7.139e-13 * t * d**3)


def ticks_of(ns):
    """Nanoseconds since 1970 to the nearest 1/65536 s."""
    return ns // 1000000000 * 65536 + (ns % 1000000000 * 65536 + 500000000) // 1000000000


def check_netcdf(tmp, k, bin_path):
    nc, csv = f"{tmp}/r{k}.nc", f"{tmp}/r{k}.csv"
    run(ZT615, "export", bin_path, nc, "--format", "netcdf", "--quiet")
    run(ZT615, "export", bin_path, csv, "--format", "csv", "--quiet")
    ticks, samples, _ = read_bin(bin_path)
    ds = xr.open_dataset(nc, group="Sonar/Beam_group1")
    ns = ds.ping_time.values.astype("datetime64[ns]").astype(np.int64)
    check(np.array_equal(ticks_of(ns), ticks),
          f"recording {k}: times decode to the logger's 1/65536 s exactly")
    check(np.array_equal(ds.backscatter_r.values[0], samples),
          f"recording {k}: backscatter_r equals the recorded samples")
    ours = np.nan_to_num(ds.detected_bottom_range.values.astype(np.float64))
    check(np.allclose(ours, csv_altitudes(csv), atol=6e-5, rtol=0),
          f"recording {k}: detected_bottom_range equals the CSV export's altitude")
    ds.close()
    return ticks, ours


def check_mackenzie(tmp, bin_path):
    nc = f"{tmp}/mackenzie.nc"
    run(ZT615, "export", bin_path, nc, "--format", "netcdf", "--sound-speed-model", "mackenzie",
        "--salinity", "30", "--quiet")
    _, _, temp = read_bin(bin_path)
    env = xr.open_dataset(nc, group="Environment")
    want = mackenzie(temp.astype(np.float64), 30.0)
    check(np.allclose(env.sound_speed_indicative.values, want, atol=1e-3, rtol=0),
          "Environment/sound_speed_indicative follows each ping's temperature (Mackenzie)")
    env.close()


def check_mfdataset(tmp, all_ticks, all_alt):
    files = [f"{tmp}/r{k}.nc" for k in range(3)]
    ds = xr.open_mfdataset(files, group="Sonar/Beam_group1", combine="nested",
                           concat_dim="ping_time", data_vars="minimal", coords="minimal",
                           compat="override", chunks={"ping_time": 100})
    ns = ds.ping_time.values.astype("datetime64[ns]").astype(np.int64)
    check(np.array_equal(ticks_of(ns), np.concatenate(all_ticks)),
          "open_mfdataset: the three recordings' times, concatenated")
    alt = np.nan_to_num(ds.detected_bottom_range.values.astype(np.float64))
    check(np.array_equal(alt, np.concatenate(all_alt)),
          "open_mfdataset: the three recordings' altitudes, concatenated")
    check(ds.backscatter_r.chunks is not None, "open_mfdataset: backscatter_r is a dask array")
    ds.close()


def nmea(body):
    s = 0
    for c in body.encode():
        s ^= c
    return f"${body}*{s:02X}\r\n"


def track_points():
    """One point a second around the first recording's start, with a 20 s gap over the series
    at 180 s, and a sentence with a bad checksum."""
    pts = []
    for s in list(range(-30, 175)) + list(range(195, 400)):
        t = EPOCH0 + s
        lat, lon = 54.0 + s * 1e-5, 10.0 + s * 2e-5
        pts.append((t * 65536, lat, lon))
    return pts


def write_tracks(tmp, pts):
    nm, gpx = [], ['<?xml version="1.0"?>\n<gpx version="1.1" creator="test" '
                   'xmlns="http://www.topografix.com/GPX/1/1"><trk><trkseg>']
    for ticks, lat, lon in pts:
        t = ticks // 65536
        hms = time_text(t, "%H%M%S")
        la, lo = abs(lat), abs(lon)
        nm.append(nmea(f"GPRMC,{hms}.00,A,{int(la):02d}{(la % 1) * 60:07.4f},N,"
                       f"{int(lo):03d}{(lo % 1) * 60:07.4f},E,0.0,0.0,{time_text(t, '%d%m%y')},,,A"))
        gpx.append(f'<trkpt lat="{lat:.8f}" lon="{lon:.8f}"><time>'
                   f'{time_text(t, "%Y-%m-%dT%H:%M:%SZ")}</time></trkpt>')
    nm.insert(5, "$GPRMC,000000.00,A,5400.0000,N,01000.0000,E,0.0,0.0,010626,,,A*00\r\n")
    gpx.append("</trkseg></trk></gpx>\n")
    open(f"{tmp}/track.nmea", "w").write("".join(nm))
    open(f"{tmp}/track.gpx", "w").write("\n".join(gpx))


def time_text(t, fmt):
    import time
    return time.strftime(fmt, time.gmtime(t))


def expected_positions(pts, ticks):
    times = [p[0] for p in pts]
    out = []
    for t in ticks:
        j = bisect.bisect_right(times, t)
        if j == 0 or (times[j - 1] != t and (j == len(times) or times[j] - times[j - 1] > 10 * 65536)):
            continue
        a = pts[j - 1]
        if a[0] == t:
            out.append((a[2], a[1]))
            continue
        b = pts[j]
        f = (t - a[0]) / (b[0] - a[0])
        out.append((a[2] + f * (b[2] - a[2]), a[1] + f * (b[1] - a[1])))
    return out


def check_geojson(tmp, bin_path, kind, pts):
    out = f"{tmp}/{kind}.geojson"
    r = run(ZT615, "export", bin_path, out, "--format", "geojson", "--gps", f"{tmp}/track.{kind}")
    ticks, _, _ = read_bin(bin_path)
    want = expected_positions(pts, ticks)
    info = run("ogrinfo", "-ro", "-al", "-q", out).stdout
    got = [(float(x), float(y)) for x, y in re.findall(r"POINT \(([-\d.]+) ([-\d.]+)\)", info)]
    check(len(got) == len(want) and len(got) > 0,
          f"{kind} track: ogrinfo reads {len(got)} features, {len(want)} pings have a position")
    check(all(abs(a[0] - b[0]) < 2e-7 and abs(a[1] - b[1]) < 2e-7 for a, b in zip(got, want)),
          f"{kind} track: every feature at the ping's interpolated position")
    check(f"{len(ticks) - len(want)} of {len(ticks)} pings had no position" in r.stderr,
          f"{kind} track: the pings left out are counted on stderr")


def main():
    with tempfile.TemporaryDirectory(prefix="zt615-science-") as tmp:
        bins, all_ticks, all_alt = [], [], []
        for k, start in enumerate(STARTS):
            bins.append(f"{tmp}/r{k}.BIN")
            run(SIM, "record", bins[k], "--range", "5", "--pings", "400", "--start", start,
                "--seed", str(k + 1), "--quiet")
            ticks, alt = check_netcdf(tmp, k, bins[k])
            all_ticks.append(ticks)
            all_alt.append(alt)
        check_mackenzie(tmp, bins[0])
        check_mfdataset(tmp, all_ticks, all_alt)
        pts = track_points()
        write_tracks(tmp, pts)
        for kind in ("nmea", "gpx"):
            check_geojson(tmp, bins[0], kind, pts)
    print(f"{checks[0] - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


sys.exit(main())
