#!/usr/bin/env python3
"""Draws StopQuorvel's application icon (a red stop octagon with a white square) at 16x16 and
32x32 and writes stop.ico beside this script. 16 colours, so Windows 98/ME show it as drawn.

    python3 make_icon.py
"""
import os
import struct

# The standard 16-colour palette; only a few entries are used.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
DARK_RED, RED, WHITE = 1, 9, 15
TRANSPARENT = None


def inside_octagon(x, y, size, inset):
    """True when pixel (x, y) lies in an octagon inset `inset` pixels from the icon's edges."""
    lo, hi = inset, size - 1 - inset
    if x < lo or x > hi or y < lo or y > hi:
        return False
    cut = (hi - lo + 1) * 0.29  # corner cut of a regular octagon
    dx = min(x - lo, hi - x)
    dy = min(y - lo, hi - y)
    return dx + dy >= cut - 0.5


def draw(size):
    outline = 1 if size <= 16 else 2
    square = size // 5  # half the side of the white square
    c0, c1 = size // 2 - square, size // 2 + square - 1
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            if not inside_octagon(x, y, size, 0):
                row.append(TRANSPARENT)
            elif not inside_octagon(x, y, size, outline):
                row.append(DARK_RED)
            elif c0 <= x <= c1 and c0 <= y <= c1:
                row.append(WHITE)
            else:
                row.append(RED)
        pixels.append(row)
    return pixels


def row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def encode(pixels):
    """One icon image: BITMAPINFOHEADER, palette, 4-bit colour rows and the 1-bit AND mask,
    both bottom-up."""
    size = len(pixels)
    xor_stride, and_stride = row_bytes(size * 4), row_bytes(size)
    xor, mask = bytearray(), bytearray()
    for row in reversed(pixels):
        line = bytearray(xor_stride)
        mline = bytearray(and_stride)
        for x, p in enumerate(row):
            index = 0 if p is TRANSPARENT else p
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if p is TRANSPARENT:
                mline[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += mline
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def main():
    sizes = [16, 32]
    images = [encode(draw(s)) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s, s, 16, 0, 1, 4, len(img), offset)
        offset += len(img)
    out += b''.join(images)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'stop.ico')
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
