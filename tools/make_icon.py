#!/usr/bin/env python3
"""Draws the program icons: a battery pack, optionally with a warning mark.

    make_icon.py pack|alert|download <out.ico>

Each icon holds 16 and 32 pixel images as 32-bit BMP entries."""
import struct
import sys

BODY = (0x3C, 0x8C, 0x2E, 0xFF)     # green cells
SHELL = (0x30, 0x30, 0x30, 0xFF)    # dark casing
ALERT = (0x20, 0x20, 0xD8, 0xFF)    # red cells of a pack to replace (BGRA)
WHITE = (0xFF, 0xFF, 0xFF, 0xFF)
ARROW = (0xC8, 0x70, 0x10, 0xFF)    # blue arrow (BGRA)
CLEAR = (0, 0, 0, 0)


def draw(kind, n):
    px = [[CLEAR] * n for _ in range(n)]

    def rect(x0, y0, x1, y1, c):
        for y in range(max(0, y0), min(n, y1)):
            for x in range(max(0, x0), min(n, x1)):
                px[y][x] = c

    u = n / 16.0
    s = lambda v: int(round(v * u))
    # casing with a terminal on the right, cells inside
    rect(s(1), s(4), s(14), s(12), SHELL)
    rect(s(14), s(6), s(15), s(10), SHELL)
    rect(s(2), s(5), s(13), s(11), ALERT if kind == "alert" else BODY)
    if kind == "alert":  # a white "!" on the red cells
        x0, x1 = s(7), s(7) + max(1, s(2) - s(1))
        rect(x0, s(6), x1, s(8), WHITE)
        rect(x0, s(9), x1, s(10), WHITE)
    elif kind == "download":
        rect(s(7), s(0), s(9), s(9), ARROW)
        for i in range(s(4)):
            rect(s(8) - s(4) + i, s(9) + i - s(2), s(8) + s(4) - i, s(9) + i - s(2) + 1, ARROW)
    return px


def bmp_entry(px, n):
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b"".join(bytes(c for p in px[y] for c in p) for y in reversed(range(n)))
    mask_row = ((n + 31) // 32) * 4
    mask = b"\0" * (mask_row * n)
    return header + rows + mask


def main():
    kind, out = sys.argv[1], sys.argv[2]
    sizes = [16, 32]
    images = [bmp_entry(draw(kind, n), n) for n in sizes]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(out, "wb") as f:
        f.write(data + b"".join(images))


if __name__ == "__main__":
    main()
