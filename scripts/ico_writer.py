"""Writes a Windows .ico file from a pixel function: 32-bit images with alpha and the AND
mask the older loaders want. Shared by the scripts that draw our programs' icons."""
import struct


def image(pixel, n):
    """One n x n icon image; pixel(x, y, n) gives (r, g, b, a), top-left origin."""
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


def write_icon(path, pixel, sizes):
    images = [image(pixel, n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))
