#!/usr/bin/env python3
"""Draws the link utility's icon (resources/link_utility.ico): two logged files, side by
side, joined by a link; 32 x 32 and 16 x 16, 32-bit with alpha. Run it again to redraw."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ico_writer import write_icon  # noqa: E402


def pixel(x, y, n):
    """Colour (r, g, b, a) of pixel x, y (top-left origin) of an n x n image."""
    s = n / 32.0
    def inside(x0, y0, x1, y1):
        return x0 * s <= x < x1 * s and y0 * s <= y < y1 * s
    # Rounded navy tile.
    r = 5 * s
    cx = min(max(x + 0.5, r), n - r)
    cy = min(max(y + 0.5, r), n - r)
    if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 > r * r:
        return (0, 0, 0, 0)
    # The link between the files.
    if inside(11, 14, 21, 18):
        return (255, 196, 0, 255)
    # Two files with echo lines on them.
    for fx in (3, 18):
        if inside(fx, 6, fx + 11, 26):
            if inside(fx + 1, 7, fx + 10, 25):
                row = int(y / s)
                if row in (10, 14, 18, 22) and inside(fx + 2, 0, fx + 9, 32):
                    return (40, 120, 200, 255)
                return (245, 245, 245, 255)
            return (20, 40, 80, 255)
    return (24, 58, 110, 255)


def main(path):
    write_icon(path, pixel, (32, 16))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/link_utility.ico")
