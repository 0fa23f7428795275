#!/usr/bin/env python3
"""Draws the program's icons as 8-bit palette PNG files.

    python3 res/icons/make_icons.py [OUTPUT_DIR]

swipetype-32.png, swipetype-16.png  icon 101, the program: a blue card with its
                                    magnetic stripe and a line of typed text.
reading-enabled-16.png              icon 102: a green card, stripe and a check mark.
reading-disabled-16.png             icon 103: a grey card crossed out in red.

Only the standard library is used (zlib for the PNG data), so the pictures can
be made again anywhere; the build embeds the PNG files that are committed.
"""
import os
import struct
import sys
import zlib

# Palette index 0 is transparent (through the tRNS chunk); the rest are opaque.
PALETTE = {
    "clear": (0, 0, 0),
    "outline": (32, 40, 56),
    "blue": (40, 110, 200),
    "light_blue": (150, 190, 240),
    "stripe": (20, 20, 24),
    "white": (250, 250, 250),
    "green": (30, 160, 70),
    "light_green": (170, 230, 180),
    "grey": (150, 150, 150),
    "light_grey": (215, 215, 215),
    "red": (215, 30, 30),
}
NAMES = list(PALETTE)


class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [[0] * size for _ in range(size)]

    def put(self, x, y, colour):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.pixels[y][x] = NAMES.index(colour)

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, colour)

    def card(self, x0, y0, x1, y1, fill, outline):
        """A card with one-pixel rounded corners."""
        self.rect(x0 + 1, y0, x1 - 1, y1, outline)
        self.rect(x0, y0 + 1, x1, y1 - 1, outline)
        self.rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, fill)

    def line(self, x0, y0, x1, y1, colour, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            x = round(x0 + (x1 - x0) * i / steps)
            y = round(y0 + (y1 - y0) * i / steps)
            for dx in range(width):
                for dy in range(width):
                    self.put(x + dx, y + dy, colour)


def png(canvas):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    size = canvas.size
    header = struct.pack(">IIBBBBB", size, size, 8, 3, 0, 0, 0)  # 8-bit palette
    palette = b"".join(bytes(PALETTE[name]) for name in NAMES)
    alpha = bytes([0] + [255] * (len(NAMES) - 1))
    rows = b"".join(b"\x00" + bytes(row) for row in canvas.pixels)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"PLTE", palette)
            + chunk(b"tRNS", alpha) + chunk(b"IDAT", zlib.compress(rows, 9))
            + chunk(b"IEND", b""))


def program_icon(size):
    c = Canvas(size)
    s = size / 32
    c.card(round(1 * s), round(6 * s), round(30 * s), round(25 * s), "blue", "outline")
    c.rect(round(2 * s), round(9 * s), round(29 * s), round(12 * s), "stripe")
    # A line of text as the program types it, and the caret after it.
    c.rect(round(5 * s), round(17 * s), round(19 * s), round(18 * s), "light_blue")
    c.rect(round(5 * s), round(21 * s), round(13 * s), round(21 * s) + (1 if size >= 32 else 0),
           "light_blue")
    c.rect(round(22 * s), round(16 * s), round(23 * s), round(22 * s), "white")
    return c


def enabled_icon():
    c = Canvas(16)
    c.card(0, 2, 15, 13, "green", "outline")
    c.rect(1, 4, 14, 5, "stripe")
    c.line(4, 9, 6, 11, "white", 2)
    c.line(7, 10, 11, 6, "white", 2)
    return c


def disabled_icon():
    c = Canvas(16)
    c.card(0, 2, 15, 13, "light_grey", "grey")
    c.rect(1, 4, 14, 5, "grey")
    c.line(1, 14, 13, 1, "red", 2)
    return c


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    pictures = {
        "swipetype-32.png": program_icon(32),
        "swipetype-16.png": program_icon(16),
        "reading-enabled-16.png": enabled_icon(),
        "reading-disabled-16.png": disabled_icon(),
    }
    for name, canvas in pictures.items():
        with open(os.path.join(folder, name), "wb") as file:
            file.write(png(canvas))


if __name__ == "__main__":
    main()
