#!/usr/bin/env python3
"""Draws the programs' icons as .ico files: 16 x 16 and 32 x 32, 32-bit with alpha; the viewer's
control panel buttons 20 x 20 with 256 colours.

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

    def px(self, x0, y0, x1, y1, rgba):  # in pixels, for art drawn at one size
        for y in range(y0, y1):
            for x in range(x0, x1):
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
        mask = self.mask()
        header = struct.pack("<IiiHHIIiiII", 40, self.size, self.size * 2, 1, 32, 0,
                             len(rows) + len(mask), 0, 0, 0, 0)
        return header + rows + mask


    def bitmap256(self):  # 8 bits per pixel with a palette; transparency only in the mask
        colours = [(0, 0, 0)]
        for row in self.pixels:
            for (r, g, b, a) in row:
                if a and (r, g, b) not in colours:
                    colours.append((r, g, b))
        assert len(colours) <= 256
        palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in colours)
        palette += bytes(4 * (256 - len(colours)))
        stride = ((self.size * 8 + 31) // 32) * 4
        rows = b""
        for y in reversed(range(self.size)):
            row = bytearray(stride)
            for x, (r, g, b, a) in enumerate(self.pixels[y]):
                row[x] = colours.index((r, g, b)) if a else 0
            rows += bytes(row)
        mask = self.mask()
        header = struct.pack("<IiiHHIIiiII", 40, self.size, self.size * 2, 1, 8, 0,
                             len(rows) + len(mask), 0, 0, 0, 0)
        return header + palette + rows + mask

    def mask(self):
        mask_stride = ((self.size + 31) // 32) * 4
        mask = b""
        for y in reversed(range(self.size)):
            row = bytearray(mask_stride)
            for x in range(self.size):
                if self.pixels[y][x][3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(row)
        return mask


def write_ico(path, draw, sizes=(16, 32), bits=32):
    images = []
    for size in sizes:
        canvas = Canvas(size)
        draw(canvas)
        images.append((size, canvas.bitmap() if bits == 32 else canvas.bitmap256()))
    offset = 6 + 16 * len(images)
    data = struct.pack("<HHH", 0, 1, len(images))
    for size, bitmap in images:
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, bits, len(bitmap), offset)
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


def error(c):  # the screen with a red cross: pictures cannot be taken or sent
    monitor(c, IDLE_SCREEN)
    for i in range(9):
        c.rect(11.5 + i, 9.5 + i, 13.5 + i, 11.5 + i, RED)
        c.rect(18.5 - i, 9.5 + i, 20.5 - i, 11.5 + i, RED)


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


# The control panel's buttons, drawn in pixels at 20 x 20.
DIGITS = {  # 5 x 7 cells, each 2 x 2 pixels
    1: ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    2: [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    3: ["####.", "....#", "....#", ".###.", "....#", "....#", "####."],
    4: ["...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."],
    5: ["#####", "#....", "####.", "....#", "....#", "#...#", ".###."],
}
LIGHT = (200, 205, 215, 255)
PAPER = (255, 250, 220, 255)


def digit(n):
    def draw(c):
        c.px(1, 1, 19, 19, SCREEN)
        c.px(1, 1, 19, 2, DARK)
        c.px(1, 18, 19, 19, DARK)
        c.px(1, 1, 2, 19, DARK)
        c.px(18, 1, 19, 19, DARK)
        for row, cells in enumerate(DIGITS[n]):
            for col, cell in enumerate(cells):
                if cell == "#":
                    c.px(5 + 2 * col, 3 + 2 * row, 7 + 2 * col, 5 + 2 * row, WHITE)
    return draw


def floppy(c):  # save
    c.px(2, 2, 18, 18, DARK)
    c.px(3, 3, 17, 17, SCREEN)
    c.px(6, 2, 14, 8, LIGHT)  # the metal shutter
    c.px(11, 3, 13, 7, DARK)
    c.px(5, 11, 15, 17, WHITE)  # the label
    c.px(6, 13, 14, 14, LIGHT)
    c.px(6, 15, 14, 16, LIGHT)


def note(c):  # memo: a sheet with a clip
    c.px(3, 3, 17, 19, DARK)
    c.px(4, 4, 16, 18, PAPER)
    for y in (8, 11, 14):
        c.px(6, y, 14, y + 1, FRAME)
    c.px(8, 1, 12, 6, FRAME)  # the clip
    c.px(9, 2, 11, 5, PAPER)


def full_screen(c):  # a small window in front of a large screen
    c.px(0, 2, 20, 16, DARK)
    c.px(1, 3, 19, 15, SCREEN)
    c.px(8, 16, 12, 18, FRAME)
    c.px(5, 18, 15, 19, DARK)
    c.px(4, 6, 12, 13, DARK)
    c.px(5, 7, 11, 8, RED)  # the caption bar
    c.px(5, 8, 11, 12, WHITE)


def main():
    write_ico("sender/res/program.ico", program)
    write_ico("sender/res/idle.ico", idle)
    write_ico("sender/res/sending.ico", sending)
    write_ico("sender/res/error.ico", error)
    write_ico("sender/res/capture.ico", capture)
    write_ico("sender/res/channel.ico", channel)
    write_ico("viewer/res/folder.ico", folder)
    write_ico("viewer/res/interval.ico", clock)
    for n in range(1, 6):
        write_ico("viewer/res/channel%d.ico" % n, digit(n), sizes=(20,), bits=8)
    write_ico("viewer/res/save.ico", floppy, sizes=(20,), bits=8)
    write_ico("viewer/res/memo.ico", note, sizes=(20,), bits=8)
    write_ico("viewer/res/fullscreen.ico", full_screen, sizes=(20,), bits=8)


if __name__ == "__main__":
    main()
