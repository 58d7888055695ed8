#!/usr/bin/env python3
"""Draws the updater's two pictures and writes them as 24-bit BMP files:

  assets/update/image2.bmp        115 x 229, the decoration on the dialog's left
  assets/update/cancel_glyph.bmp   16 x 16,  the glyph of the stop button

Run it again after changing the drawing; the BMP files are kept in the repository so
the build needs no Python."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write_bmp(path, width, height, pixel):
    row_size = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up rows
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        data += row
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def mix(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(3))


def image2(x, y):
    # A deep blue to teal gradient with a rising arrow and a ring: "going up".
    top, bottom = (18, 52, 120), (24, 150, 160)
    c = mix(top, bottom, y / 228)
    cx, cy = 57, 100
    d = math.hypot(x - cx, y - cy)
    if 34 <= d <= 40:
        c = mix(c, (255, 255, 255), 0.55)
    # arrow: a triangle head and a shaft
    if 70 <= y <= 100 and abs(x - cx) <= (y - 70) * 0.9:
        c = (250, 200, 60)
    if 100 < y <= 130 and abs(x - cx) <= 7:
        c = (250, 200, 60)
    # a light band at the foot
    if y >= 190:
        c = mix(c, (230, 240, 250), (y - 190) / 60)
    return c


def glyph(x, y):
    # A red stop square with a darker rim on the button face colour.
    face = (212, 208, 200)
    if 2 <= x <= 13 and 2 <= y <= 13:
        if x in (2, 13) or y in (2, 13):
            return (140, 20, 20)
        return (220, 50, 45)
    return face


def main():
    out = os.path.join(HERE, "update")
    os.makedirs(out, exist_ok=True)
    write_bmp(os.path.join(out, "image2.bmp"), 115, 229, image2)
    write_bmp(os.path.join(out, "cancel_glyph.bmp"), 16, 16, glyph)


if __name__ == "__main__":
    main()
