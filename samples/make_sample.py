#!/usr/bin/env python3
"""Writes sample.mp3: one second of silent MPEG-1 Layer III audio carrying an
ID3v2.3 tag at its head and an ID3v1.1 tag at its end, every byte built here.

Run it from anywhere; the file lands next to this script. The output is
deterministic, so the committed sample.mp3 is exactly what this script makes.
"""

import os
import struct

TITLE = "Silent Sample"
ARTIST = "Tagmill Ensemble"
ALBUM = "\u00c9tudes for Silence"
TRACK = "1/1"
GENRE = 37  # "Sound Clip" in the ID3v1 genre list
YEAR = "2024"
COMMENT = "made by make_sample.py"

# MPEG-1 Layer III, no CRC, 128 kbit/s, 44.1 kHz, no padding, mono.
FRAME_HEADER = bytes([0xFF, 0xFB, 0x90, 0xC0])
FRAME_LENGTH = 144 * 128000 // 44100  # 417 bytes
FRAME_COUNT = 38  # 38 * 1152 samples: just under a second
PADDING = 128


def syncsafe(value):
    """ID3v2 tag sizes use 7 bits per byte, so no byte can look like a sync."""
    return bytes([(value >> shift) & 0x7F for shift in (21, 14, 7, 0)])


def latin1_text(text):
    """Text frame payload: encoding 0 (ISO-8859-1), text, terminator."""
    return b"\x00" + text.encode("latin-1") + b"\x00"


def utf16_text(text):
    """Text frame payload: encoding 1, byte-order mark, UTF-16LE text, terminator."""
    return b"\x01\xff\xfe" + text.encode("utf-16-le") + b"\x00\x00"


def frame23(frame_id, payload):
    """ID3v2.3 frame: ID, plain 32-bit big-endian size, two flag bytes, payload."""
    return frame_id.encode("ascii") + struct.pack(">I", len(payload)) + b"\x00\x00" + payload


def id3v2_tag():
    frames = b"".join([
        frame23("TIT2", utf16_text(TITLE)),
        frame23("TPE1", latin1_text(ARTIST)),
        frame23("TALB", utf16_text(ALBUM)),
        frame23("TRCK", latin1_text(TRACK)),
        frame23("TCON", latin1_text("(%d)" % GENRE)),
        frame23("TYER", latin1_text(YEAR)),
    ])
    body = frames + bytes(PADDING)
    return b"ID3\x03\x00\x00" + syncsafe(len(body)) + body


def field(text, width):
    """Fixed-width ID3v1 field, zero-filled."""
    data = text.encode("latin-1")[:width]
    return data + bytes(width - len(data))


def id3v1_tag():
    """128 bytes at the end: ID3v1.1 keeps the track number in the comment's last byte."""
    track = int(TRACK.split("/")[0])
    tag = (b"TAG" + field(TITLE, 30) + field(ARTIST, 30) + field(ALBUM, 30) + field(YEAR, 4)
           + field(COMMENT, 28) + b"\x00" + bytes([track, GENRE]))
    assert len(tag) == 128
    return tag


def silent_frame():
    """A frame whose side information and main data are all zero decodes to silence."""
    return FRAME_HEADER + bytes(FRAME_LENGTH - len(FRAME_HEADER))


def main():
    audio = silent_frame() * FRAME_COUNT
    data = id3v2_tag() + audio + id3v1_tag()
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sample.mp3")
    with open(path, "wb") as out:
        out.write(data)
    print("wrote %s (%d bytes)" % (path, len(data)))


if __name__ == "__main__":
    main()
