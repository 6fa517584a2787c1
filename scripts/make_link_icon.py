#!/usr/bin/env python3
"""Draws the link utility's icon (resources/link_utility.ico): two logged files, side by
side, joined by a link; 32 x 32 and 16 x 16, 32-bit with alpha. Run it again to redraw."""
import struct
import sys


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


def image(n):
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for y in reversed(range(n)):
        for x in range(n):
            r, g, b, a = pixel(x, y, n)
            xor += bytes((b, g, r, a))
    row = ((n + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(n)):
        bits = bytearray(row)
        for x in range(n):
            if pixel(x, y, n)[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(xor) + bytes(mask)


def main(path):
    sizes = (32, 16)
    images = [image(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/link_utility.ico")
