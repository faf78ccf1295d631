"""The property kinds of the matrix: which field each one writes, the value
written, and the values a reader may report for it and still agree.

Each kind is written alone into its own file, so one property that a peer
mishandles cannot hide another.
"""

import binascii
import struct
import zlib


def _png_1x1():
    """A complete, valid 1x1 PNG, so that readers which decode it are satisfied."""
    def chunk(kind, data):
        crc = zlib.crc32(kind + data) & 0xFFFFFFFF
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", crc)
    header = struct.pack(">IIBBBBB", 1, 1, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(b"\x00\x20\x40\x60")) + chunk(b"IEND", b""))


PNG = _png_1x1()
MUSIC_ID_OWNER = "http://musicid.tagmill.org"
# The library's music IDs are exactly 64 bytes.
MUSIC_ID_DATA = b"interop-0123456789abcdef0123456789abcdef0123456789abcdef01234567"
OBJECT_DATA = b"\x00\x01\x02 tagmill object \xfe\xff"


def hexed(data):
    return binascii.hexlify(data).decode("ascii")


class Kind:
    """One row of the matrix.

    field: the key under which writers take the value and readers report it.
    value: what the writer is given (text fields: {"text": ...}).
    accept: further reported values that mean the same (genre references).
    """

    def __init__(self, name, label, field, value, accept=()):
        self.name = name
        self.label = label
        self.field = field
        self.value = value
        self.accept = tuple(accept)


KINDS = [
    Kind("text_ascii", "title, ASCII", "title", {"text": "Blue Train"}),
    Kind("text_latin1", "artist, Latin-1", "artist", {"text": "Café Ünïcørn ßø"}),
    Kind("text_nonlatin", "album, non-Latin", "album",
         {"text": "東京 Ωμέγα Москва 🎵"}),
    Kind("track", "track number", "track", {"text": "3/12"}),
    Kind("disc", "disc number", "disc", {"text": "1/2"}),
    Kind("genre_name", "genre, name", "genre", {"text": "Rock"}),
    # "(17)" is the ID3v1 genre 17, whose name is Rock: readers that resolve
    # genre numbers report the name, which is the same genre.
    Kind("genre_number", "genre, (17)", "genre", {"text": "(17)"}, accept=["Rock"]),
    Kind("url", "artist URL (WOAR)", "url", {"url": "https://example.com/artist"}),
    Kind("date", "release date", "date", {"date": "2019-05-03"}),
    Kind("picture", "picture", "picture", {"mime": "image/png", "data": hexed(PNG)}),
    Kind("musicid", "music ID (UFID)", "musicid",
         {"owner": MUSIC_ID_OWNER, "data": hexed(MUSIC_ID_DATA)}),
    Kind("object", "object (GEOB)", "object",
         {"description": "USR_MTDID", "mime": "binary", "data": hexed(OBJECT_DATA)}),
    Kind("txxx", "TXXX GN_ExtData", "txxx", {"description": "GN_ExtData", "text": "ext-data Größe 42"}),
    Kind("comm", "COMM iTunSMPB", "comm",
         {"description": "iTunSMPB", "lang": "eng",
          "text": " 00000000 00000210 000007E0 0000000000A2C9E0"}),
]

KINDS_BY_NAME = {kind.name: kind for kind in KINDS}
VERSIONS = ["2.2", "2.3", "2.4"]
