#!/usr/bin/env python3
"""Writes the plug-in's logo: a 342 x 342, 8-bit palette BMP of a lit sphere with an
orbit ring around it, on white. Deterministic: the same bytes on every run."""
import math
import struct
import sys

SIZE = 342


def palette():
    # 0: white, 1: black, 2..129: sphere blues dark to light, 130..193: ring golds,
    # 194..255: greys for the shadow.
    pal = [(255, 255, 255), (0, 0, 0)]
    for i in range(128):
        t = i / 127.0
        pal.append((int(20 + 200 * t ** 1.6), int(40 + 190 * t ** 1.2), int(90 + 165 * t)))
    for i in range(64):
        t = i / 63.0
        pal.append((int(150 + 105 * t), int(100 + 110 * t), int(10 + 60 * t)))
    for i in range(62):
        g = int(150 + 100 * i / 61.0)
        pal.append((g, g, g))
    return pal


def pixel(x, y):
    cx, cy, r = SIZE / 2.0, SIZE / 2.0 - 8, 112.0
    # orbit ring: an ellipse tilted by 20 degrees
    a = math.radians(-20)
    dx, dy = x - cx, y - cy
    rx = dx * math.cos(a) - dy * math.sin(a)
    ry = dx * math.sin(a) + dy * math.cos(a)
    ring = (rx / 158.0) ** 2 + (ry / 46.0) ** 2
    on_ring = abs(ring - 1.0) < 0.07
    in_front = ry > 0
    d2 = dx * dx + dy * dy
    if on_ring and in_front:
        return 130 + int(63 * (1 - abs(ring - 1.0) / 0.07))
    if d2 <= r * r:
        nz = math.sqrt(r * r - d2) / r
        nx, ny = dx / r, dy / r
        light = max(0.0, -0.45 * nx - 0.55 * ny + 0.70 * nz)
        return 2 + min(127, int(127 * (0.15 + 0.85 * light)))
    if on_ring:
        return 130 + int(40 * (1 - abs(ring - 1.0) / 0.07))
    # soft shadow under the sphere
    sx, sy = (x - cx) / 120.0, (y - (cy + 142)) / 16.0
    s = sx * sx + sy * sy
    if s < 1.0:
        return 194 + int(61 * s)
    return 0


def main(path):
    pal = palette()
    row = SIZE + (-SIZE) % 4
    pixels = bytearray()
    for y in range(SIZE - 1, -1, -1):  # bottom-up rows
        line = bytes(pixel(x, y) for x in range(SIZE))
        pixels += line + b"\0" * (row - SIZE)
    header_size = 14 + 40 + 256 * 4
    data = bytearray()
    data += struct.pack("<2sIHHI", b"BM", header_size + len(pixels), 0, 0, header_size)
    data += struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    for r, g, b in pal:
        data += struct.pack("<BBBB", b, g, r, 0)
    data += pixels
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
