"""Files the writers start from: silent MPEG audio, optionally behind a
minimal ID3v2.2 or ID3v2.4 tag built byte by byte.

tagmill creates ID3v2.3 tags only, but edits a tag of any version in place,
so the 2.2 and 2.4 cells give it a file that already has such a tag.
"""

import struct

# MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, mono: 417-byte frames of silence.
_FRAME = bytes([0xFF, 0xFB, 0x90, 0xC0]) + bytes(413)
_FRAME_COUNT = 24


def silent_audio():
    return _FRAME * _FRAME_COUNT


def _syncsafe(value):
    return bytes((value >> shift) & 0x7F for shift in (21, 14, 7, 0))


def _seed_frame(version):
    """A title frame "seed", ISO-8859-1, in the frame layout of the version."""
    payload = b"\x00seed\x00"
    if version == "2.2":
        return b"TT2" + struct.pack(">I", len(payload))[1:] + payload
    return b"TIT2" + _syncsafe(len(payload)) + b"\x00\x00" + payload


def seed_tag(version):
    """An ID3v2 tag of that version holding one title frame and some padding,
    or nothing for 2.3 (tagmill creates that version itself)."""
    if version == "2.3":
        return b""
    major = {"2.2": 2, "2.4": 4}[version]
    body = _seed_frame(version) + bytes(64)
    return b"ID3" + bytes([major, 0, 0]) + _syncsafe(len(body)) + body


def write_seed(path, version):
    with open(path, "wb") as out:
        out.write(seed_tag(version) + silent_audio())


def write_plain(path):
    with open(path, "wb") as out:
        out.write(silent_audio())
