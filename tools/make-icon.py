#!/usr/bin/python3
"""Packs the program's one drawing, packaging/mirvok.svg, into the Windows
icon of mirvok.exe: PNG images at 16, 24, 32, 48, 64 and 256 pixels, rendered
with rsvg-convert (Debian package librsvg2-bin), in one ICO file.

    /usr/bin/python3 tools/make-icon.py packaging/mirvok.svg src/ui/win32/mirvok.ico
"""
import struct
import subprocess
import sys

SIZES = (16, 24, 32, 48, 64, 256)


def render(svg, size):
    return subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), svg],
                          check=True, capture_output=True).stdout


def main(svg, path):
    images = [render(svg, size) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        # A size of 256 is written as 0.
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
