#!/usr/bin/python3
"""Draws the program icon of mirvok.exe, src/ui/win32/mirvok.ico: the window's
start picture (a green disc with a white "play" triangle) on a chip-card
outline, at 16, 24, 32, 48 and 64 pixels, 32-bit with alpha.

    /usr/bin/python3 tools/make-icon.py src/ui/win32/mirvok.ico
"""
import struct
import sys

SUPERSAMPLE = 4
SIZES = (16, 24, 32, 48, 64)


def inside_triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    d1, d2, d3 = side(a, b), side(b, c), side(c, a)
    return (d1 >= 0 and d2 >= 0 and d3 >= 0) or (d1 <= 0 and d2 <= 0 and d3 <= 0)


def colour_at(x, y):
    """The colour (r, g, b, a) at a point of the unit square."""
    # The card: a light rounded rectangle behind the disc, lower left.
    card = (0.04 <= x <= 0.80 and 0.30 <= y <= 0.92)
    # The disc, upper right, over the card.
    cx, cy, r = 0.60, 0.42, 0.38
    d2 = (x - cx) ** 2 + (y - cy) ** 2
    if d2 <= r * r:
        s = r / 2
        if inside_triangle(x, y, (cx - s * 0.7, cy - s), (cx - s * 0.7, cy + s), (cx + s, cy)):
            return (255, 255, 255, 255)
        if d2 >= (r - 0.045) ** 2:
            return (0, 112, 42, 255)
        return (0, 160, 60, 255)
    if card:
        # The contact plate of the card.
        if 0.10 <= x <= 0.26 and 0.66 <= y <= 0.82:
            return (212, 170, 40, 255)
        edge = x < 0.07 or x > 0.77 or y < 0.33 or y > 0.89
        return (70, 90, 160, 255) if edge else (120, 150, 220, 255)
    return (0, 0, 0, 0)


def render(size):
    """Rows of BGRA pixels, bottom row first, as a DIB holds them."""
    n = size * SUPERSAMPLE
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    r, g, b, a = colour_at((px * SUPERSAMPLE + sx + 0.5) / n, (py * SUPERSAMPLE + sy + 0.5) / n)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] // (SUPERSAMPLE * SUPERSAMPLE)
            if acc[3]:
                row += bytes((acc[2] // acc[3], acc[1] // acc[3], acc[0] // acc[3], alpha))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows[::-1]


def dib(size):
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    mask_row = ((size + 31) // 32) * 4
    return header + b"".join(rows) + bytes(mask_row * size)


def main(path):
    images = [dib(size) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1])
