#!/usr/bin/python3
"""The plain way to send an S-record file: each line with CR LF, then 0x1A."""
import sys

import serial


def main():
    path, port, baud = sys.argv[1], sys.argv[2], int(sys.argv[3])
    bytesize = int(sys.argv[4]) if len(sys.argv) > 4 else 7
    parity = sys.argv[5] if len(sys.argv) > 5 else serial.PARITY_NONE
    with serial.Serial(port, baud, bytesize=bytesize, parity=parity) as line, \
            open(path, "rb") as rom:
        for text in rom:
            if text.strip():
                line.write(text.rstrip(b"\r\n") + b"\r\n")
        line.write(b"\x1a")
        line.flush()


if __name__ == "__main__":
    main()
