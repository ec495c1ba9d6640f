#!/usr/bin/env python3
"""Draws Ticora's program icon: a red alarm clock, as a 32x32, 256-colour ICO.

The file is committed (src/resources/ticora.ico); run this again only to change the artwork.
Layout of the result: 6-byte header, one 16-byte directory entry, then 2,216 bytes of image
(40-byte BITMAPINFOHEADER, 1,024-byte palette, 32x32 colour indices, 32x32 1-bit mask).
"""
import math
import struct
import sys

SIZE = 32
TRANSPARENT, OUTLINE, BODY, FACE, HAND, BELL, SHINE = range(7)
COLOURS = {
    TRANSPARENT: (0, 0, 0),
    OUTLINE: (60, 20, 20),
    BODY: (214, 48, 49),
    FACE: (250, 247, 235),
    HAND: (40, 40, 48),
    BELL: (242, 177, 52),
    SHINE: (255, 120, 120),
}


def draw():
    px = [[TRANSPARENT] * SIZE for _ in range(SIZE)]
    cx, cy = 15.5, 17.5

    def disc(x0, y0, r, colour):
        for y in range(SIZE):
            for x in range(SIZE):
                if (x - x0) ** 2 + (y - y0) ** 2 <= r * r:
                    px[y][x] = colour

    # bells, then legs, then the body and its face on top
    disc(6.5, 6.5, 5.2, OUTLINE)
    disc(24.5, 6.5, 5.2, OUTLINE)
    disc(6.5, 6.5, 4.2, BELL)
    disc(24.5, 6.5, 4.2, BELL)
    for i in range(4):
        px[28 + i][7 - i] = OUTLINE
        px[28 + i][24 + i] = OUTLINE
    disc(cx, cy, 13.2, OUTLINE)
    disc(cx, cy, 12.2, BODY)
    disc(cx, cy, 9.6, OUTLINE)
    disc(cx, cy, 8.8, FACE)
    px[9][11] = px[10][10] = SHINE

    def hand(angle_deg, length):
        a = math.radians(angle_deg)
        for step in range(int(length * 4)):
            t = step / 4
            x = round(cx + math.sin(a) * t)
            y = round(cy - math.cos(a) * t)
            px[y][x] = HAND

    for h in range(12):  # hour marks
        a = math.radians(h * 30)
        px[round(cy - math.cos(a) * 7.6)][round(cx + math.sin(a) * 7.6)] = HAND
    hand(0, 6.5)
    hand(120, 4.5)
    disc(cx, cy, 1.2, BODY)
    return px


def encode(px):
    palette = b"".join(
        struct.pack("<BBBB", *reversed(COLOURS.get(i, (0, 0, 0))), 0) for i in range(256)
    )
    rows = b"".join(bytes(px[y]) for y in reversed(range(SIZE)))
    mask = b""
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (px[y][x] == TRANSPARENT)
        mask += struct.pack(">I", bits)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0, len(rows) + len(mask), 0, 0, 256, 0)
    image = info + palette + rows + mask
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return header + entry + image


if __name__ == "__main__":
    data = encode(draw())
    assert len(data) == 2238, len(data)
    with open(sys.argv[1] if len(sys.argv) > 1 else "src/resources/ticora.ico", "wb") as f:
        f.write(data)
