#!/usr/bin/env python3
"""Draws the manager's pictures: the logo icons (32x32 and 16x16, 16 colours) with their
state badges, and the About box banner (16 colours). Writes the .ico and .bmp bytes directly.

    python3 manager/shell/res/draw_pictures.py   # rewrites the files beside this script
"""
import math
import os
import struct

# The standard 16-colour palette, as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GRAY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)
CLEAR = None


def blank(w, h, fill=CLEAR):
    return [[fill] * w for _ in range(h)]


def logo(size):
    """A blue disc with a white Q."""
    img = blank(size, size)
    c = (size - 1) / 2.0
    r_out = size / 2.0 - 0.5
    s = size / 32.0
    for y in range(size):
        for x in range(size):
            d = math.hypot(x - c, y - c)
            if d <= r_out:
                img[y][x] = NAVY if d > r_out - 1.2 * max(s, 0.8) else BLUE
            # The Q's ring.
            if 5.2 * s <= d <= 9.6 * s:
                img[y][x] = WHITE
    # The Q's tail: a thick diagonal stroke to the lower right, over the ring.
    for y in range(size):
        for x in range(size):
            along = ((x - c) + (y - c)) / math.sqrt(2)
            across = abs((x - c) - (y - c)) / math.sqrt(2)
            if 6.5 * s <= along <= 13.5 * s and across <= max(1.6 * s, 0.8):
                img[y][x] = WHITE
    return img


def badge(img, kind):
    """A state badge in the lower right quarter: green play, yellow or red square."""
    size = len(img)
    b = size * 7 // 16  # 14 px at 32, 7 px at 16
    x0 = y0 = size - b
    if kind == "play":
        for y in range(b):
            for x in range(b):
                # A triangle pointing right, outlined in dark green.
                half = (b - 1) / 2.0
                reach = (b - 1) * (1 - abs(y - half) / half) if half else 0
                if x <= reach:
                    inner = x >= 1 and x <= reach - 1.5 and 1 <= y <= b - 2
                    img[y0 + y][x0 + x] = LIME if inner else GREEN
        return img
    fill = {"yellow": YELLOW, "red": RED}[kind]
    for y in range(b):
        for x in range(b):
            edge = x in (0, b - 1) or y in (0, b - 1)
            img[y0 + y][x0 + x] = BLACK if edge else fill
    return img


def dib_4bpp(img, with_mask):
    """BITMAPINFOHEADER + palette + 4-bit rows bottom-up (+ AND mask for icons)."""
    h = len(img)
    w = len(img[0])
    row_bytes = ((w * 4 + 31) // 32) * 4
    xor = bytearray()
    for row in reversed(img):
        line = bytearray(row_bytes)
        for x, px in enumerate(row):
            v = 0 if px is None else px
            line[x // 2] |= v << 4 if x % 2 == 0 else v
        xor += line
    mask = bytearray()
    if with_mask:
        mask_row = ((w + 31) // 32) * 4
        for row in reversed(img):
            line = bytearray(mask_row)
            for x, px in enumerate(row):
                if px is None:
                    line[x // 8] |= 0x80 >> (x % 8)
            mask += line
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2 if with_mask else h, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    pal = b"".join(struct.pack("<BBBB", b_, g, r, 0) for (r, g, b_) in PALETTE)
    return header + pal + bytes(xor) + bytes(mask)


def write_ico(path, images):
    entries = b""
    data = b""
    offset = 6 + 16 * len(images)
    for img in images:
        dib = dib_4bpp(img, True)
        size = len(img)
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(dib), offset + len(data))
        data += dib
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)) + entries + data)


def write_bmp(path, img):
    dib = dib_4bpp(img, False)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", 14 + len(dib), 0, 0, 14 + 40 + 64) + dib)


# A 5x7 pixel font for the banner's words.
FONT = {
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "u": ["00000", "00000", "10001", "10001", "10001", "10011", "01101"],
    "o": ["00000", "00000", "01110", "10001", "10001", "10001", "01110"],
    "r": ["00000", "00000", "10110", "11001", "10000", "10000", "10000"],
    "v": ["00000", "00000", "10001", "10001", "10001", "01010", "00100"],
    "e": ["00000", "00000", "01110", "10001", "11111", "10000", "01110"],
    "l": ["01100", "00100", "00100", "00100", "00100", "00100", "01110"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "n": ["00000", "00000", "10110", "11001", "10001", "10001", "10001"],
    "c": ["00000", "00000", "01110", "10000", "10000", "10001", "01110"],
    "i": ["00100", "00000", "01100", "00100", "00100", "00100", "01110"],
    "a": ["00000", "00000", "01110", "00001", "01111", "10001", "01111"],
    "d": ["00001", "00001", "01101", "10011", "10001", "10001", "01111"],
    "s": ["00000", "00000", "01111", "10000", "01110", "00001", "11110"],
    " ": ["00000"] * 7,
}


def text(img, x, y, words, scale, colour, shadow=None):
    for ch in words:
        glyph = FONT[ch]
        for gy, line in enumerate(glyph):
            for gx, bit in enumerate(line):
                if bit != "1":
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        px, py = x + gx * scale + dx, y + gy * scale + dy
                        if shadow is not None and py + 1 < len(img) and px + 1 < len(img[0]):
                            if img[py + 1][px + 1] != colour:
                                img[py + 1][px + 1] = shadow
                        img[py][px] = colour
        x += 6 * scale
    return x


def banner(w=760, h=75):
    # Wider than the About box at Windows' Tahoma metrics, so that larger fonts (Wine's)
    # still find the banner filling the box; the edge that does not fit is plain background.
    img = blank(w, h, NAVY)
    # A lighter band at the bottom and a thin rule above it.
    for y in range(h - 14, h):
        for x in range(w):
            img[y][x] = BLUE
    for x in range(w):
        img[h - 15][x] = AQUA
    mark = logo(32)
    badge(mark, "play")
    for y in range(32):
        for x in range(32):
            if mark[y][x] is not None:
                img[12 + y][16 + x] = mark[y][x]
    text(img, 64, 14, "Quorvel", 4, WHITE, shadow=BLACK)
    text(img, 64 + 7 * 24 + 16, 30, "Gerenciador", 2, SILVER)
    return img


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    icons = {
        "quorvel.ico": None,
        "tray_started.ico": "play",
        "tray_starting.ico": "yellow",
        "tray_stopped.ico": "red",
        "tray_waiting.ico": "yellow",
    }
    for name, kind in icons.items():
        images = []
        for size in (32, 16):
            img = logo(size)
            if kind:
                badge(img, kind)
            images.append(img)
        write_ico(os.path.join(here, name), images)
    write_bmp(os.path.join(here, "banner.bmp"), banner())


if __name__ == "__main__":
    main()
