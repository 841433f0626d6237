#!/usr/bin/env python3
"""Draws the two 31 by 31 pictures of the drill-down's Drill button: a
figure's row with an arrow going down into the rows behind it, raised
(drill_up.bmp) and pressed (drill_down.bmp)."""
import struct
import os

SIZE = 31


def picture(pressed):
    background = (160, 160, 160) if pressed else (192, 192, 192)
    shift = 1 if pressed else 0
    pixels = [[background] * SIZE for _ in range(SIZE)]

    def put(x, y, colour):
        x, y = x + shift, y + shift
        if 0 <= x < SIZE and 0 <= y < SIZE:
            pixels[y][x] = colour

    # the figure: a dark bar at the top
    for y in range(3, 7):
        for x in range(4, 27):
            put(x, y, (0, 0, 128))
    # the rows behind it: three thin lines, each shorter
    for n, y in enumerate((20, 24, 28)):
        for x in range(6 + 2 * n, 25 - 2 * n):
            put(x, y, (64, 64, 64))
    # the arrow from the figure down to the rows
    for y in range(8, 14):
        for x in range(13, 18):
            put(x, y, (200, 0, 0))
    for n, y in enumerate(range(14, 19)):
        for x in range(10 + n, 21 - n):
            put(x, y, (200, 0, 0))
    return pixels


def write_bmp(path, pixels):
    row_bytes = (SIZE * 3 + 3) // 4 * 4
    data = bytearray()
    for row in reversed(pixels):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (row_bytes - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + data)


here = os.path.dirname(os.path.abspath(__file__))
write_bmp(os.path.join(here, "drill_up.bmp"), picture(False))
write_bmp(os.path.join(here, "drill_down.bmp"), picture(True))
