#!/usr/bin/env python3
"""Writes the player's icon: a lit blue sphere inside a tilted gold orbit with a small moon on
it, the logo's picture reduced to a mark, on a transparent ground. One .ico with 16, 32 and
48 pixel images (32-bit DIBs with alpha) and a 256 pixel one stored as PNG, as Windows
expects from Vista on. Python's standard library only; the same bytes on every run."""
import math
import struct
import sys
import zlib

SIZES = (16, 32, 48, 256)

# The logo's colours: sphere blues from shadow to highlight, the ring's gold.
SPHERE_DARK = (20, 40, 90)
SPHERE_LIGHT = (220, 230, 255)
RING_DARK = (150, 100, 10)
RING_LIGHT = (255, 210, 70)

TILT = math.radians(-20)
RING_A, RING_B = 0.46, 0.16  # the orbit's half axes, in units of the icon's size
SPHERE_R = 0.28
MOON_AT = math.radians(35)   # where on the orbit the moon sits, from its right end
MOON_R = 0.075


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def ring_distance(dx, dy):
    """Approximate distance from the orbit's ellipse, and whether the point is in front."""
    rx = dx * math.cos(TILT) - dy * math.sin(TILT)
    ry = dx * math.sin(TILT) + dy * math.cos(TILT)
    e = (rx / RING_A) ** 2 + (ry / RING_B) ** 2
    gx, gy = 2 * rx / RING_A ** 2, 2 * ry / RING_B ** 2
    return abs(e - 1) / max(math.hypot(gx, gy), 1e-9), ry > 0


def sample(x, y, ring_half_width):
    """(r, g, b, a) of one point of the unit square; a is 0 or 1."""
    dx, dy = x - 0.5, y - 0.5
    ring, in_front = ring_distance(dx, dy)
    on_ring = ring < ring_half_width
    gold = mix(RING_LIGHT, RING_DARK, min(1.0, ring / ring_half_width) * 0.6)
    mx = RING_A * math.cos(MOON_AT)
    my = RING_B * math.sin(MOON_AT)
    moon_x = mx * math.cos(-TILT) - my * math.sin(-TILT)
    moon_y = mx * math.sin(-TILT) + my * math.cos(-TILT)
    moon = math.hypot(dx - moon_x, dy - moon_y) / MOON_R
    if moon <= 1:
        return (*mix(RING_LIGHT, RING_DARK, moon * 0.7), 1)
    if on_ring and in_front:
        return (*gold, 1)
    d2 = dx * dx + dy * dy
    if d2 <= SPHERE_R ** 2:
        nz = math.sqrt(SPHERE_R ** 2 - d2) / SPHERE_R
        nx, ny = dx / SPHERE_R, dy / SPHERE_R
        light = max(0.0, -0.45 * nx - 0.55 * ny + 0.70 * nz)
        return (*mix(SPHERE_DARK, SPHERE_LIGHT, 0.15 + 0.85 * light), 1)
    if on_ring:
        return (*mix(gold, RING_DARK, 0.5), 1)
    return (0, 0, 0, 0)


def image(size):
    """Rows of (r, g, b, a) bytes, top row first, each pixel averaged over a grid of samples."""
    grid = 4 if size <= 48 else 2
    # The ring stays at least a pixel and a half wide however small the icon.
    half_width = max(0.022, 0.75 / size)
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(grid):
                for sx in range(grid):
                    cr, cg, cb, ca = sample((px + (sx + 0.5) / grid) / size, (py + (sy + 0.5) / grid) / size,
                                            half_width)
                    r, g, b, a = r + cr * ca, g + cg * ca, b + cb * ca, a + ca
            if a:
                row += bytes((round(r / a), round(g / a), round(b / a), round(255 * a / grid ** 2)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def png(size, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib(size, rows):
    """A BITMAPINFOHEADER, the BGRA pixels bottom-up, and the AND mask (set where transparent)."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes(v for i in range(0, len(row), 4) for v in (row[i + 2], row[i + 1], row[i], row[i + 3]))
                      for row in reversed(rows))
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x in range(size):
            if row[4 * x + 3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def main(path):
    images = []
    for size in SIZES:
        rows = image(size)
        images.append((size, png(size, rows) if size == 256 else dib(size, rows)))
    data = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, body in images:
        data += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(body), offset)
        offset += len(body)
    for _, body in images:
        data += body
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
