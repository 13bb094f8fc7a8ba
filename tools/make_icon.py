#!/usr/bin/env python3
"""Draws the program icons and the maker's logo.

    make_icon.py pack|download|logo <out.ico>

pack: Cellwise's battery pack, 16, 32 and 48 pixels square. download: Fetchrun's
pack with an arrow, 16 and 32 pixels. logo: the maker's wordmark of the result
dialogs, 64 x 40 and its 125 % to 250 % scales. Images up to 32 pixels are 32-bit
BMP entries; larger ones are stored as 32-bit PNG, which keeps the programs small."""
import struct
import sys
import zlib

BODY = (0x3C, 0x8C, 0x2E, 0xFF)     # green cells
SHELL = (0x30, 0x30, 0x30, 0xFF)    # dark casing
WHITE = (0xFF, 0xFF, 0xFF, 0xFF)
BRAND = (0x8A, 0x3C, 0x0B, 0xFF)    # the maker's dark blue (BGRA)
ARROW = (0xC8, 0x70, 0x10, 0xFF)    # blue arrow (BGRA)
CLEAR = (0, 0, 0, 0)


SIZES = {
    "pack": [(16, 16), (32, 32), (48, 48)],
    "download": [(16, 16), (32, 32)],
    "logo": [(64, 40), (80, 50), (96, 60), (128, 80), (160, 100)],
}


def canvas(w, h):
    px = [[CLEAR] * w for _ in range(h)]

    def rect(x0, y0, x1, y1, c):
        for y in range(max(0, y0), min(h, y1)):
            for x in range(max(0, x0), min(w, x1)):
                px[y][x] = c
    return px, rect


def draw_logo(w, h):
    """A blue plate with a white "N" whose diagonal ends in a green charge bar."""
    px, rect = canvas(w, h)
    u = w / 64.0
    s = lambda v: int(round(v * u))
    rect(0, s(2), w, h - s(2), BRAND)
    stem = max(2, s(5))
    top, bottom = s(8), h - s(8)
    left, right = s(18), s(46)
    rect(left, top, left + stem, bottom, WHITE)
    rect(right - stem, top, right, bottom, WHITE)
    for y in range(top, bottom):  # the diagonal, from the top left to the bottom right
        x = left + (right - stem - left) * (y - top) // max(1, bottom - top - 1)
        rect(x, y, x + stem, y + 1, WHITE)
    rect(right + s(4), bottom - s(6), w - s(6), bottom, BODY)
    return px


def draw(kind, n):
    px, rect = canvas(n, n)
    u = n / 16.0
    s = lambda v: int(round(v * u))
    # casing with a terminal on the right, cells inside
    rect(s(1), s(4), s(14), s(12), SHELL)
    rect(s(14), s(6), s(15), s(10), SHELL)
    rect(s(2), s(5), s(13), s(11), BODY)
    if kind == "download":
        rect(s(7), s(0), s(9), s(9), ARROW)
        for i in range(s(4)):
            rect(s(8) - s(4) + i, s(9) + i - s(2), s(8) + s(4) - i, s(9) + i - s(2) + 1, ARROW)
    return px


def bmp_entry(px, w, h):
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b"".join(bytes(c for p in px[y] for c in p) for y in reversed(range(h)))
    mask_row = ((w + 31) // 32) * 4
    mask = b"\0" * (mask_row * h)
    return header + rows + mask


def png_entry(px, w, h):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    # rows of RGBA, each after filter byte 0
    raw = b"".join(b"\0" + bytes(c for b, g, r, a in px[y] for c in (r, g, b, a)) for y in range(h))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    kind, out = sys.argv[1], sys.argv[2]
    sizes = SIZES[kind]
    images = []
    for w, h in sizes:
        px = draw_logo(w, h) if kind == "logo" else draw(kind, w)
        images.append(png_entry(px, w, h) if max(w, h) > 32 else bmp_entry(px, w, h))
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (w, h), img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(out, "wb") as f:
        f.write(data + b"".join(images))


if __name__ == "__main__":
    main()
