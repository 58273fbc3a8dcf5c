#!/usr/bin/python3
"""A PNG of an X display's root window (or a part of it), through libX11
alone: for the screenshots of the windows under Xvfb, where no screenshot
tool is installed.

    DISPLAY=:57 tools/x-screenshot.py out.png [X Y WIDTH HEIGHT]
"""

import ctypes
import struct
import sys
import zlib


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


def grab(x, y, width, height):
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XGetImage.restype = ctypes.POINTER(XImage)
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                              ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XDisplayWidth.argtypes = x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("x-screenshot: no X display")
    if width == 0:
        width, height = x11.XDisplayWidth(display, 0), x11.XDisplayHeight(display, 0)
    image = x11.XGetImage(display, x11.XDefaultRootWindow(display), x, y, width, height, 0xFFFFFFFF, 2)
    if not image or image.contents.bits_per_pixel != 32:
        sys.exit("x-screenshot: no 32-bit image")
    stride = image.contents.bytes_per_line
    raw = ctypes.string_at(image.contents.data, stride * height)
    rows = []
    for row in range(height):
        line = raw[row * stride: row * stride + width * 4]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
        rows.append(b"\0" + bytes(rgb))
    return width, height, b"".join(rows)


def png(width, height, data):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(data, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    area = [int(v) for v in sys.argv[2:6]] if len(sys.argv) >= 6 else [0, 0, 0, 0]
    with open(sys.argv[1], "wb") as out:
        out.write(png(*grab(*area)))
