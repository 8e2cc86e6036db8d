#!/usr/bin/env python3
"""Writes res/checkboxes.bmp: the check list's box strip, one 11 x 11 cell per check state.

Usage: tools/make_checkboxes.py [output path]
"""
import struct
import sys
from pathlib import Path

CELL = 11
STATES = 3
WIDTH = CELL * STATES
HEIGHT = CELL

# The Windows 16-colour palette, in its usual order.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK = PALETTE.index((0, 0, 0))
GREY = PALETTE.index((128, 128, 128))
SILVER = PALETTE.index((192, 192, 192))
WHITE = PALETTE.index((255, 255, 255))

# (row, first column, last column) of the check mark, counted from the cell's top-left frame pixel.
CHECK_MARK = [
    (2, 8, 8),
    (3, 7, 8),
    (4, 2, 2), (4, 6, 8),
    (5, 2, 3), (5, 5, 7),
    (6, 2, 6),
    (7, 3, 5),
    (8, 4, 4),
]

# state: (interior, mark or None)
CELLS = [
    (WHITE, None),
    (WHITE, BLACK),
    (SILVER, GREY),
]


def check_mark_pixels():
    return {(row, col) for row, first, last in CHECK_MARK for col in range(first, last + 1)}


def cell_pixel(state, row, col):
    interior, mark = CELLS[state]
    if row in (0, CELL - 1) or col in (0, CELL - 1):
        return GREY
    if mark is not None and (row, col) in check_mark_pixels():
        return mark
    return interior


def pixels():
    """Palette indices, top row first."""
    return [[cell_pixel(x // CELL, y, x % CELL) for x in range(WIDTH)] for y in range(HEIGHT)]


def bmp_bytes():
    stride = (WIDTH * 4 + 31) // 32 * 4
    rows = []
    for row in reversed(pixels()):  # bottom-up
        packed = bytearray(stride)
        for x, index in enumerate(row):
            packed[x // 2] |= index << (0 if x % 2 else 4)
        rows.append(bytes(packed))
    image = b"".join(rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 4, 0, len(image), 0, 0, 0, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    return header + info + palette + image


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "res" / "checkboxes.bmp"
    assert len(check_mark_pixels()) == 21
    out.write_bytes(bmp_bytes())


if __name__ == "__main__":
    main()
