#!/usr/bin/env python3
"""Writes cover.png: a 16x16 RGB picture (a diagonal colour ramp), small enough
to embed in a tag for the demo. Standard library only; the output is
deterministic, so the committed cover.png is exactly what this script makes.
"""

import os
import struct
import zlib

SIZE = 16


def chunk(kind, data):
    """PNG chunk: length, type, data, CRC-32 over type and data."""
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def pixels():
    """One filter byte (0, none) per row, then red, green, blue per pixel."""
    rows = []
    for y in range(SIZE):
        row = bytearray([0])
        for x in range(SIZE):
            row += bytes([x * 255 // (SIZE - 1), y * 255 // (SIZE - 1), 160])
        rows.append(bytes(row))
    return b"".join(rows)


def main():
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0)  # 8-bit RGB
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
           + chunk(b"IDAT", zlib.compress(pixels(), 9)) + chunk(b"IEND", b""))
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "cover.png")
    with open(path, "wb") as out:
        out.write(png)
    print("wrote %s (%d bytes)" % (path, len(png)))


if __name__ == "__main__":
    main()
