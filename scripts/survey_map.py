#!/usr/bin/env python3
"""Draws the user guide's survey map (docs/images/survey_map.png) the way a user would make
one: a simulated 30-minute survey, a GPX track of the boat running six lines, the GeoJSON
export of `zt615 export --format geojson --gps`, and the points coloured by altitude.

usage: scripts/survey_map.py BUILD_DIR [OUT.png]    (needs ImageMagick's convert)
"""
import json
import math
import os
import subprocess
import sys
import tempfile
import time

build = sys.argv[1]
out_png = sys.argv[2] if len(sys.argv) > 2 else "docs/images/survey_map.png"
T0 = 1780300800  # 2026-06-01T08:00:00Z
LAT0, LON0 = 54.33, 10.15
M_PER_DEG_LAT = 111320.0
M_PER_DEG_LON = M_PER_DEG_LAT * math.cos(math.radians(LAT0))


def boat(s):
    """The boat's position s seconds into the survey: six 600 m lines 60 m apart at 2 m/s,
    30 s turns between them."""
    line, t = divmod(s, 330)
    x = min(t, 300) * 2.0
    if line % 2:
        x = 600 - x
    y = line * 60 + max(0, t - 300) * 2.0
    return LAT0 + y / M_PER_DEG_LAT, LON0 + x / M_PER_DEG_LON


def gpx(path):
    pts = []
    for s in range(0, 1981, 2):
        if 1200 <= s < 1240:  # a GPS drop-out on the fourth line
            continue
        lat, lon = boat(s)
        stamp = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(T0 + s))
        pts.append(f'<trkpt lat="{lat:.7f}" lon="{lon:.7f}"><time>{stamp}</time></trkpt>')
    open(path, "w").write('<?xml version="1.0"?>\n<gpx version="1.1" creator="survey_map.py" '
                          'xmlns="http://www.topografix.com/GPX/1/1"><trk><trkseg>\n' +
                          "\n".join(pts) + "\n</trkseg></trk></gpx>\n")


def colour(a, lo, hi):
    f = 0.0 if hi <= lo else min(1.0, max(0.0, (a - lo) / (hi - lo)))
    stops = [(0.0, (253, 231, 37)), (0.5, (33, 145, 140)), (1.0, (68, 1, 84))]  # shallow..deep
    for (f0, c0), (f1, c1) in zip(stops, stops[1:]):
        if f <= f1:
            g = (f - f0) / (f1 - f0)
            return "#%02x%02x%02x" % tuple(round(c0[k] + g * (c1[k] - c0[k])) for k in range(3))
    return "#440154"


def main():
    with tempfile.TemporaryDirectory() as tmp:
        rec, track, geo = f"{tmp}/SURVEY.BIN", f"{tmp}/SURVEY.gpx", f"{tmp}/SURVEY.geojson"
        subprocess.run([f"{build}/tools/logger_sim/zt615_logger_sim", "record", rec, "--range", "30",
                        "--pings", "1980", "--period", "1", "--series", "1", "--interval", "1",
                        "--start", str(T0), "--altitude", "14", "--quiet"], check=True)
        gpx(track)
        subprocess.run([f"{build}/cli/zt615", "export", rec, geo, "--format", "geojson", "--gps",
                        track, "--sound-speed-model", "mackenzie", "--quiet"], check=True)
        features = json.load(open(geo))["features"]
    w, h, margin = 900, 560, 60
    xs = [(f["geometry"]["coordinates"][0] - LON0) * M_PER_DEG_LON for f in features]
    ys = [(f["geometry"]["coordinates"][1] - LAT0) * M_PER_DEG_LAT for f in features]
    alts = [f["properties"]["altitude_m"] for f in features]
    # The colour scale spans the 2nd to the 98th percentile: a fish or a spike taken for the
    # bottom does not flatten the rest.
    known = sorted(a for a in alts if a is not None)
    lo, hi = known[len(known) // 50], known[len(known) * 49 // 50]
    scale = min((w - 2 * margin - 120) / 600.0, (h - 2 * margin) / 360.0)
    draw = []
    for x, y, a in zip(xs, ys, alts):
        px, py = margin + x * scale, h - margin - y * scale
        fill = colour(a, lo, hi) if a is not None else "#bbbbbb"
        draw += ["-fill", fill, "-draw", f"circle {px:.1f},{py:.1f} {px + 3:.1f},{py:.1f}"]
    lx = w - 130
    for k in range(101):
        draw += ["-fill", colour(lo + (hi - lo) * k / 100, lo, hi), "-draw",
                 f"rectangle {lx},{margin + k * 3} {lx + 20},{margin + k * 3 + 3}"]
    text = [("%.2f m" % lo, lx + 26, margin + 10), ("%.2f m" % hi, lx + 26, margin + 305),
            ("altitude", lx - 2, margin - 12),
            (f"{len(features)} pings with a position; a GPS drop-out leaves a gap", margin, h - 20),
            ("100 m", margin, h - margin + 28)]
    for t, x, y in text:
        draw += ["-fill", "black", "-draw", f"text {x},{y} '{t}'"]
    draw += ["-stroke", "black", "-draw",
             f"line {margin},{h - margin + 12} {margin + 100 * scale:.0f},{h - margin + 12}"]
    subprocess.run(["convert", "-size", f"{w}x{h}", "xc:white", "-font", "Liberation-Sans",
                    "-pointsize", "14"] + draw + [out_png], check=True)
    print(f"{out_png}: {len(features)} points")


main()
