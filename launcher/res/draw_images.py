#!/usr/bin/env python3
"""Draws the launchers' splash bitmaps (69 x 61, 24 bits) and icons (32 x 32, 16 colours).

Run from anywhere; writes beside this script:
  splash_diskette.bmp, splash_folder.bmp, QuorvelBkp.ico, QuorvelRst.ico
Plain standard library so the pictures can be redrawn on any machine.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
BACKGROUND = (230, 230, 230)  # the splash window's brush

# The 16-colour VGA palette used by 4-bit icons.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
       (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
       (255, 0, 255), (0, 255, 255), (255, 255, 255)]


class Canvas:
    def __init__(self, w, h, fill=None):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]  # None = transparent

    def rect(self, x0, y0, x1, y1, c):
        """Fills [x0, x1) x [y0, y1), coordinates in 0..1 of the picture."""
        for y in range(round(y0 * self.h), round(y1 * self.h)):
            for x in range(round(x0 * self.w), round(x1 * self.w)):
                if 0 <= x < self.w and 0 <= y < self.h:
                    self.px[y][x] = c

    def frame(self, x0, y0, x1, y1, c):
        """A one-pixel outline of the same rectangle."""
        X0, Y0 = round(x0 * self.w), round(y0 * self.h)
        X1, Y1 = round(x1 * self.w) - 1, round(y1 * self.h) - 1
        for x in range(X0, X1 + 1):
            self.px[Y0][x] = c
            self.px[Y1][x] = c
        for y in range(Y0, Y1 + 1):
            self.px[y][X0] = c
            self.px[y][X1] = c

    def cut_corner(self, x1, y0, size, c):
        """Paints a diagonal cut at the top-right corner (the diskette's notch)."""
        X1, Y0, n = round(x1 * self.w) - 1, round(y0 * self.h), max(2, round(size * self.w))
        for i in range(n):
            for j in range(n - i):
                self.px[Y0 + i][X1 - j] = c


def diskette(cv, body, shutter, dark, label, ink):
    cv.rect(0.08, 0.05, 0.92, 0.95, body)
    cv.frame(0.08, 0.05, 0.92, 0.95, dark)
    cv.cut_corner(0.92, 0.05, 0.10, cv.px[0][0])
    cv.rect(0.28, 0.05, 0.72, 0.36, shutter)          # metal shutter
    cv.rect(0.56, 0.10, 0.66, 0.31, dark)             # its window
    cv.rect(0.20, 0.50, 0.80, 0.95, label)            # paper label
    for y in (0.60, 0.70, 0.80):
        cv.rect(0.26, y, 0.74, y + 0.03, ink)


def folder(cv, back, front, dark, paper):
    cv.rect(0.06, 0.14, 0.40, 0.24, back)             # tab
    cv.rect(0.06, 0.22, 0.94, 0.90, back)
    cv.rect(0.14, 0.28, 0.86, 0.60, paper)            # a sheet inside
    cv.rect(0.06, 0.40, 0.94, 0.90, front)
    cv.frame(0.06, 0.40, 0.94, 0.90, dark)
    cv.frame(0.06, 0.22, 0.94, 0.90, dark)


def write_bmp(cv, path):
    row = (cv.w * 3 + 3) & ~3
    data = bytearray()
    for y in reversed(range(cv.h)):
        line = bytearray()
        for x in range(cv.w):
            r, g, b = cv.px[y][x] or BACKGROUND
            line += bytes((b, g, r))
        data += line + bytes(row - len(line))
    header = struct.pack('<IiiHHIIiiII', 40, cv.w, cv.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(b'BM' + struct.pack('<IHHI', 14 + len(header) + len(data), 0, 0, 14 + len(header)))
        f.write(header + data)


def write_ico(cv, path):
    """One 32 x 32 image, 4 bits per pixel with the VGA palette and an AND mask."""
    w, h = cv.w, cv.h
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(h)):
        nibbles = [VGA.index(cv.px[y][x]) if cv.px[y][x] else 0 for x in range(w)]
        xor += bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, w, 2))
        bits = [1 if cv.px[y][x] is None else 0 for x in range(w)]
        packed = bytes(sum(bits[i + k] << (7 - k) for k in range(8)) for i in range(0, w, 8))
        mask += packed + bytes((4 - len(packed) % 4) % 4)
    palette = b''.join(bytes((b, g, r, 0)) for r, g, b in VGA)
    header = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + xor + mask
    with open(path, 'wb') as f:
        f.write(struct.pack('<HHH', 0, 1, 1))
        f.write(struct.pack('<BBBBHHII', w, h, 16, 0, 1, 4, len(image), 6 + 16))
        f.write(image)


def main():
    cv = Canvas(69, 61)
    diskette(cv, (40, 70, 150), (190, 195, 200), (20, 30, 70), (250, 250, 250), (120, 130, 160))
    write_bmp(cv, os.path.join(HERE, 'splash_diskette.bmp'))
    cv = Canvas(69, 61)
    folder(cv, (215, 170, 60), (245, 205, 90), (130, 95, 20), (255, 255, 255))
    write_bmp(cv, os.path.join(HERE, 'splash_folder.bmp'))

    cv = Canvas(32, 32)
    diskette(cv, VGA[4], VGA[7], VGA[0], VGA[15], VGA[8])
    write_ico(cv, os.path.join(HERE, 'QuorvelBkp.ico'))
    cv = Canvas(32, 32)
    folder(cv, VGA[3], VGA[11], VGA[0], VGA[15])
    write_ico(cv, os.path.join(HERE, 'QuorvelRst.ico'))


if __name__ == '__main__':
    main()
