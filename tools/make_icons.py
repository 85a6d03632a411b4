#!/usr/bin/env python3
"""Draws the programs' icons as .ico files (16 x 16 and 32 x 32, 32-bit with alpha).

The icons are checked in; run this only to change them: tools/make_icons.py
"""
import os
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def s(self, v):  # design coordinates are for 32 x 32
        return int(round(v * self.size / 32))

    def rect(self, x0, y0, x1, y1, rgba):
        for y in range(self.s(y0), self.s(y1)):
            for x in range(self.s(x0), self.s(x1)):
                if 0 <= x < self.size and 0 <= y < self.size:
                    self.pixels[y][x] = rgba

    def disc(self, cx, cy, r, rgba, inner=0):
        for y in range(self.size):
            for x in range(self.size):
                d = ((x + 0.5) * 32 / self.size - cx) ** 2 + ((y + 0.5) * 32 / self.size - cy) ** 2
                if inner * inner <= d <= r * r:
                    self.pixels[y][x] = rgba

    def bitmap(self):
        rows = b""
        for y in reversed(range(self.size)):  # bottom-up
            for (r, g, b, a) in self.pixels[y]:
                rows += struct.pack("BBBB", b, g, r, a)
        mask_stride = ((self.size + 31) // 32) * 4
        mask = b""
        for y in reversed(range(self.size)):
            row = bytearray(mask_stride)
            for x in range(self.size):
                if self.pixels[y][x][3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(row)
        header = struct.pack("<IiiHHIIiiII", 40, self.size, self.size * 2, 1, 32, 0,
                             len(rows) + len(mask), 0, 0, 0, 0)
        return header + rows + mask


def write_ico(path, draw):
    images = []
    for size in (16, 32):
        canvas = Canvas(size)
        draw(canvas)
        images.append((size, canvas.bitmap()))
    offset = 6 + 16 * len(images)
    data = struct.pack("<HHH", 0, 1, len(images))
    for size, bitmap in images:
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(bitmap), offset)
        offset += len(bitmap)
    for _, bitmap in images:
        data += bitmap
    with open(os.path.join(ROOT, path), "wb") as f:
        f.write(data)


DARK = (40, 44, 52, 255)
FRAME = (90, 96, 110, 255)
SCREEN = (70, 130, 200, 255)
IDLE_SCREEN = (120, 140, 160, 255)
RED = (220, 40, 40, 255)
ORANGE = (245, 150, 30, 255)
WHITE = (250, 250, 250, 255)
GREEN = (60, 170, 80, 255)


def monitor(c, screen):
    c.rect(3, 5, 29, 23, DARK)
    c.rect(5, 7, 27, 21, screen)
    c.rect(13, 23, 19, 26, FRAME)
    c.rect(9, 26, 23, 28, DARK)


def program(c):
    monitor(c, SCREEN)
    c.disc(16, 14, 6, WHITE, inner=4.5)
    c.disc(16, 14, 2.2, WHITE)


def idle(c):
    monitor(c, IDLE_SCREEN)


def sending(c):
    monitor(c, SCREEN)
    c.disc(16, 14, 4, RED)
    c.disc(16, 14, 7.5, ORANGE, inner=6)


def capture(c):  # a camera: the capture settings
    c.rect(4, 10, 28, 26, DARK)
    c.rect(10, 7, 18, 10, DARK)
    c.disc(16, 18, 6, WHITE)
    c.disc(16, 18, 4, SCREEN)
    c.rect(23, 12, 26, 14, ORANGE)


def channel(c):  # an antenna sending waves: the channel settings
    c.rect(15, 12, 17, 29, DARK)
    c.rect(11, 27, 21, 29, DARK)
    c.disc(16, 10, 2.5, RED)
    for r in (6, 10):
        c.disc(16, 10, r, GREEN, inner=r - 1.6)
    c.rect(12, 12.5, 15, 26, (0, 0, 0, 0))  # waves only above and beside the mast top
    c.rect(17, 12.5, 20, 26, (0, 0, 0, 0))


def folder(c):  # the save folder
    c.rect(3, 8, 14, 11, ORANGE)
    c.rect(3, 10, 29, 26, ORANGE)
    c.rect(3, 13, 29, 26, (250, 200, 90, 255))


def clock(c):  # the interval of continuous save
    c.disc(16, 16, 13, DARK)
    c.disc(16, 16, 11, WHITE)
    c.rect(15, 7, 17, 17, DARK)
    c.rect(16, 15, 23, 17, RED)


def main():
    write_ico("sender/res/program.ico", program)
    write_ico("sender/res/idle.ico", idle)
    write_ico("sender/res/sending.ico", sending)
    write_ico("sender/res/capture.ico", capture)
    write_ico("sender/res/channel.ico", channel)
    write_ico("viewer/res/folder.ico", folder)
    write_ico("viewer/res/interval.ico", clock)


if __name__ == "__main__":
    main()
