#!/usr/bin/env python3
"""Draws the control program's icons: a small echogram on a rounded navy tile (ping columns
with the transmit ring-down at the top, dark water, a fish, the bottom echo and the fading
returns of the seabed under it). resources/control.ico (32 x 32 and 16 x 16, the main
window's icon) and resources/control_small.ico (16 x 16 and 32 x 32, the small icon and the
About box's), 32-bit with alpha. Run it again to redraw:
  scripts/make_control_icon.py [OUT_DIR]        (default resources)"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ico_writer import write_icon  # noqa: E402

# Echogram palette: weak returns blue, strong ones red.
PALETTE = (
    (0.00, (12, 30, 92)),
    (0.30, (0, 120, 210)),
    (0.55, (40, 200, 90)),
    (0.78, (250, 215, 30)),
    (1.00, (235, 45, 30)),
)


def colour(level):
    level = min(max(level, 0.0), 1.0)
    for (l0, c0), (l1, c1) in zip(PALETTE, PALETTE[1:]):
        if level <= l1:
            t = (level - l0) / (l1 - l0)
            return tuple(int(round(a + (b - a) * t)) for a, b in zip(c0, c1)) + (255,)
    return PALETTE[-1][1] + (255,)


def bottom(column):
    """Depth (in 32ths of the tile) of the bottom echo in ping column `column`."""
    return 18.0 + 2.2 * math.sin(column * 0.45 + 0.6)


def pixel(x, y, n):
    """Colour (r, g, b, a) of pixel x, y (top-left origin) of an n x n image."""
    s = 32.0 / n
    u = (x + 0.5) * s  # pixel centre in 32ths of the tile
    v = (y + 0.5) * s
    # Rounded navy tile.
    r = 5.0
    cx = min(max(u, r), 32 - r)
    cy = min(max(v, r), 32 - r)
    if (u - cx) ** 2 + (v - cy) ** 2 > r * r:
        return (0, 0, 0, 0)
    # The echogram panel, with a thin dark frame.
    x0, y0, x1, y1 = 4, 5, 28, 27
    if not (x0 <= u < x1 and y0 <= v < y1):
        return (24, 58, 110, 255)
    if not (x0 + s <= u < x1 - s and y0 + s <= v < y1 - s):
        return (8, 18, 44, 255)
    # One ping per column, two 32ths wide (one pixel at 16 x 16).
    column = int((u - x0) // 2)
    depth = v - y0
    b = bottom(column) - y0
    if depth < 2.0 + s:
        level = 0.98 - depth * 0.08  # transmit ring-down
    elif depth < b:
        level = 0.10  # water, with a little noise where there are pixels for it
        if n >= 32 and (column * 2654435761 + int(depth) * 40503) % 97 < 14:
            level = 0.2
        if column in (3, 4) and 8.0 <= depth < 10.0:
            level = 0.62  # a fish
    elif depth < b + 2.0:
        level = 1.0  # the bottom echo
    else:
        level = 0.82 - (depth - b - 2.0) * 0.085  # returns of the seabed, fading
    return colour(level)


def main(folder):
    write_icon(os.path.join(folder, "control.ico"), pixel, (32, 16))
    write_icon(os.path.join(folder, "control_small.ico"), pixel, (16, 32))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources")
