#!/usr/bin/env python3
"""Writes res/customize.ico: a desk phone with a check mark, in 32-bit colour with alpha at every size
Windows asks for between 100 and 400 % scaling (16, 20, 24, 32, 40, 48, 64 and 256 pixels; the 256 one
PNG-compressed), and in 256 colours at the four classic sizes.

Usage: tools/make_icon.py [output path]
"""
import math
import struct
import sys
import zlib
from pathlib import Path

SIZES = [256, 64, 48, 40, 32, 24, 20, 16]
PALETTE_SIZES = [48, 32, 24, 16]
SUBSAMPLES = 4

HANDSET = (31, 78, 140)
BODY = (138, 150, 168)
BODY_EDGE = (64, 76, 96)
SCREEN = (191, 224, 255)
KEYS = (64, 76, 96)
BADGE = (46, 140, 62)
BADGE_EDGE = (255, 255, 255)
TICK = (255, 255, 255)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def polyline(points, width):
    half = width / 2

    def inside(x, y):
        return any(segment_distance(x, y, *points[i], *points[i + 1]) <= half for i in range(len(points) - 1))
    return inside


def shapes(size):
    """Painter's order, in pixel coordinates; lines keep at least one pixel at the smallest size."""
    s = float(size)
    line = max(1.0, s / 24)
    u = lambda v: v * s
    out = []
    # Handset: a bar with ear and mouth pieces hanging down at both ends.
    out.append((rounded_rect(u(0.04), u(0.08), u(0.96), u(0.27), u(0.09)), HANDSET))
    out.append((rounded_rect(u(0.04), u(0.08), u(0.27), u(0.38), u(0.08)), HANDSET))
    out.append((rounded_rect(u(0.73), u(0.08), u(0.96), u(0.38), u(0.08)), HANDSET))
    # Body with its edge, the display and the keys.
    out.append((rounded_rect(u(0.12), u(0.33), u(0.88), u(0.95), u(0.08)), BODY_EDGE))
    out.append((rounded_rect(u(0.12) + line, u(0.33) + line, u(0.88) - line, u(0.95) - line, u(0.06)), BODY))
    out.append((rounded_rect(u(0.22), u(0.42), u(0.78), u(0.57), u(0.02)), SCREEN))
    if size >= 24:
        for row in range(3):
            for col in range(3):
                x = u(0.24 + col * 0.14)
                y = u(0.63 + row * 0.09)
                out.append((rounded_rect(x, y, x + u(0.08), y + u(0.05), 0.0), KEYS))
    # The check badge over the lower right corner.
    cx, cy, r = u(0.74), u(0.74), u(0.25)
    out.append((circle(cx, cy, r + line), BADGE_EDGE))
    out.append((circle(cx, cy, r), BADGE))
    tick = [(cx - r * 0.52, cy + r * 0.02), (cx - r * 0.12, cy + r * 0.42), (cx + r * 0.55, cy - r * 0.38)]
    out.append((polyline(tick, max(1.2, r * 0.32)), TICK))
    return out


def render(size):
    """Rows of (r, g, b, a), top row first; colours not premultiplied."""
    layers = shapes(size)
    n = SUBSAMPLES
    image = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0, 0, 0]
            hits = 0
            for sy in range(n):
                for sx in range(n):
                    px, py = x + (sx + 0.5) / n, y + (sy + 0.5) / n
                    colour = None
                    for inside, c in layers:
                        if inside(px, py):
                            colour = c
                    if colour is not None:
                        hits += 1
                        for i in range(3):
                            acc[i] += colour[i]
            if hits:
                row.append(tuple(round(a / hits) for a in acc) + (round(255 * hits / (n * n)),))
            else:
                row.append((0, 0, 0, 0))
        image.append(row)
    return image


def palette256():
    """The 16 standard colours, a 6 x 6 x 6 cube and a grey ramp: 256 entries."""
    pal = [
        (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
        (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
        (255, 0, 255), (0, 255, 255), (255, 255, 255),
    ]
    steps = [0, 51, 102, 153, 204, 255]
    pal += [(r, g, b) for r in steps for g in steps for b in steps]
    pal += [(v, v, v) for v in range(8, 248, 10)][:256 - len(pal)]
    # The artwork's own colours, exactly, in place of the last greys.
    own = [HANDSET, BODY, BODY_EDGE, SCREEN, BADGE]
    pal[-len(own):] = own
    assert len(pal) == 256
    return pal


def nearest(pal, colour):
    return min(range(len(pal)), key=lambda i: sum((pal[i][k] - colour[k]) ** 2 for k in range(3)))


def and_mask(image, size):
    stride = (size + 31) // 32 * 4
    out = bytearray()
    for row in reversed(image):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bits
    return bytes(out)


def dib_header(size, bpp, image_bytes):
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, image_bytes, 0, 0, 0, 0)


def dib_8bpp(image, size):
    pal = palette256()
    cache = {}
    stride = (size + 3) // 4 * 4
    xor = bytearray()
    for row in reversed(image):
        line = bytearray(stride)
        for x, (r, g, b, a) in enumerate(row):
            if a >= 128:
                key = (r, g, b)
                if key not in cache:
                    cache[key] = nearest(pal, key)
                line[x] = cache[key]
        xor += line
    mask = and_mask(image, size)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in pal)
    return dib_header(size, 8, len(xor) + len(mask)) + colours + bytes(xor) + mask


def dib_32bpp(image, size):
    xor = bytearray()
    for row in reversed(image):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask = and_mask(image, size)
    return dib_header(size, 32, len(xor) + len(mask)) + bytes(xor) + mask


def png(image, size):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in image)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def ico_bytes():
    entries = []
    images = {size: render(size) for size in SIZES}
    for size in PALETTE_SIZES:
        entries.append((size, 8, dib_8bpp(images[size], size)))
    for size in SIZES:
        # A 256-pixel image is stored as PNG, as Windows Vista and later read it.
        data = png(images[size], size) if size == 256 else dib_32bpp(images[size], size)
        entries.append((size, 32, data))
    header = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    directory = b""
    blobs = b""
    for size, bpp, data in entries:
        colours = 0  # 256 colours are written as 0 here
        side = size % 256  # 256 pixels are written as 0
        directory += struct.pack("<BBBBHHII", side, side, colours, 0, 1, bpp, len(data), offset + len(blobs))
        blobs += data
    return header + directory + blobs


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "res" / "customize.ico"
    out.write_bytes(ico_bytes())


if __name__ == "__main__":
    main()
