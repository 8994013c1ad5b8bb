#!/usr/bin/env python3
"""Draws the program icon (a small turned cell grid) as 16x16 and 32x32 PNGs.

Run from this folder to regenerate tavimo16.png and tavimo32.png; the PNGs are
kept in the repository so the build needs no Python.
"""
import math
import struct
import zlib

WHITE = (255, 255, 255, 255)
BLUE = (0, 0, 255, 255)
DARK = (0, 0, 128, 255)
CLEAR = (0, 0, 0, 0)


def draw(size):
    px = [[CLEAR for _ in range(size)] for _ in range(size)]
    # A white sheet with a dark border.
    for y in range(1, size - 1):
        for x in range(1, size - 1):
            edge = x in (1, size - 2) or y in (1, size - 2)
            px[y][x] = DARK if edge else WHITE
    # A block of cells turned by 20 degrees, drawn in blue: 3 x 3 cells on
    # the large icon, 2 x 2 on the small one so the lines stay apart.
    cells = 3 if size >= 32 else 2
    a = math.radians(20)
    side = (size - 6) / (math.cos(a) + math.sin(a))
    ox, oy = 3 + side * math.sin(a), 3
    ux, uy = math.cos(a), math.sin(a)      # along the width, down to the right
    vx, vy = -math.sin(a), math.cos(a)     # along the height
    def line(x0, y0, x1, y1):
        # Bresenham between the rounded ends keeps the lines one pixel thin.
        x0, y0, x1, y1 = (int(round(v)) for v in (x0, y0, x1, y1))
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            if 2 <= x0 <= size - 3 and 2 <= y0 <= size - 3:
                px[y0][x0] = BLUE
            if (x0, y0) == (x1, y1):
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    for i in range(cells + 1):
        t = side * i / cells
        line(ox + ux * t, oy + uy * t, ox + ux * t + vx * side, oy + uy * t + vy * side)
        line(ox + vx * t, oy + vy * t, ox + vx * t + ux * side, oy + vy * t + uy * side)
    return px


def png(px):
    h, w = len(px), len(px[0])
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in px)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    for n in (16, 32):
        with open(f"tavimo{n}.png", "wb") as f:
            f.write(png(draw(n)))
