#!/usr/bin/env python3
"""Writes the benchmark corpus: copies of a ~200 KB MP3 with a realistic tag.

Three variants, each in its own folder under OUT:
  v23/     ID3v2.3: 12 text frames, COMM, TXXX, UFID, a 30 KB APIC, 2 KB padding
  v24/     the same frames as ID3v2.4 (syncsafe sizes, TDRC, UTF-8 text)
  unsync/  the ID3v2.3 tag with the unsynchronisation scheme applied
Every file also carries ~200 KB of MPEG-1 layer III frames and an ID3v1 tag.

usage: make_corpus.py OUT [--count N] [--variant-count M]
"""
import argparse
import os
import random
import struct

FRAME_BYTES = 417  # MPEG-1 layer III, 128 kbit/s, 44.1 kHz, no padding bit
AUDIO_FRAMES = 480


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def latin1(text):
    return b"\x00" + text.encode("latin-1")


def utf16(text):
    return b"\x01" + b"\xff\xfe" + text.encode("utf-16-le")


def utf8(text):
    return b"\x03" + text.encode("utf-8")


def picture(rng):
    # A JPEG-looking payload: SOI, a JFIF segment, then noise (which holds
    # plenty of 0xFF bytes for the unsynchronisation scheme to work on).
    body = bytes(rng.getrandbits(8) for _ in range(30 * 1024 - 20))
    return b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00" + body


def frames(version, rng):
    text = utf8 if version == 4 else utf16
    out = [
        ("TIT2", text("Blue Train (Remastered 2003)")),
        ("TPE1", text("John Coltrane")),
        ("TALB", text("Blue Train")),
        ("TPE2", text("John Coltrane")),
        ("TCON", latin1("Jazz")),
        ("TRCK", latin1("1/5")),
        ("TPOS", latin1("1/1")),
        ("TDRC" if version == 4 else "TYER", latin1("1957")),
        ("TCOM", text("John Coltrane")),
        ("TCOP", text("\u2117 1957 Blue Note Records")),
        ("TENC", latin1("LAME 3.100")),
        ("TSRC", latin1("USBN20300123")),
        ("COMM", b"\x01eng\xff\xfe\x00\x00\xff\xfe" + "Recorded at Van Gelder Studio".encode("utf-16-le")),
        ("TXXX", b"\x00REPLAYGAIN_TRACK_GAIN\x00-6.48 dB"),
        ("UFID", b"http://musicbrainz.org\x00" + b"2f7a1c9e-6b0d-4c55-9d3c-8e1f0b6a4d21"),
        ("APIC", b"\x00image/jpeg\x00\x03Cover\x00" + picture(rng)),
    ]
    return out


def frame_bytes(version, fid, payload):
    size = syncsafe(len(payload)) if version == 4 else struct.pack(">I", len(payload))
    return fid.encode("ascii") + size + b"\x00\x00" + payload


def unsynchronise(data):
    # A zero byte goes after every 0xFF that is followed by a zero byte or by
    # three set top bits (a false MPEG sync), and after a final 0xFF.
    out = bytearray()
    for i, b in enumerate(data):
        out.append(b)
        if b == 0xFF and (i + 1 == len(data) or data[i + 1] == 0 or data[i + 1] >= 0xE0):
            out.append(0)
    return bytes(out)


def tag(version, unsync, rng):
    body = b"".join(frame_bytes(version, fid, p) for fid, p in frames(version, rng))
    flags = 0
    if unsync:
        body = unsynchronise(body)
        flags |= 0x80
    body += b"\x00" * 2048
    return b"ID3" + bytes([version, 0, flags]) + syncsafe(len(body)) + body


def audio(rng):
    header = b"\xff\xfb\x90\x64"
    out = bytearray()
    for _ in range(AUDIO_FRAMES):
        out += header + bytes(rng.getrandbits(8) & 0x7F for _ in range(FRAME_BYTES - 4))
    return bytes(out)


def v1_tag():
    def field(text, width):
        return text.encode("latin-1")[:width].ljust(width, b"\x00")

    return (b"TAG" + field("Blue Train", 30) + field("John Coltrane", 30) + field("Blue Train", 30) +
            b"1957" + field("", 28) + b"\x00\x01" + bytes([8]))


def write_copies(folder, data, count):
    os.makedirs(folder, exist_ok=True)
    for i in range(count):
        with open(os.path.join(folder, "%05d.mp3" % i), "wb") as f:
            f.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("out")
    parser.add_argument("--count", type=int, default=2000, help="copies of the ID3v2.3 file (2000)")
    parser.add_argument("--variant-count", type=int, default=500,
                        help="copies of the ID3v2.4 and unsynchronised files (500)")
    parser.add_argument("--audio-kb", type=int, default=0,
                        help="repeat the audio up to at least this many KB (7600 makes files of about 7.7 MB)")
    args = parser.parse_args()

    rng = random.Random(1957)
    sound = audio(rng)
    sound *= max(1, -(-args.audio_kb * 1024 // len(sound)))
    v1 = v1_tag()
    variants = [("v23", 3, False, args.count), ("v24", 4, False, args.variant_count),
                ("unsync", 3, True, args.variant_count)]
    for name, version, unsync, count in variants:
        data = tag(version, unsync, random.Random(7)) + sound + v1
        write_copies(os.path.join(args.out, name), data, count)
        print("%s: %d files of %d bytes" % (name, count, len(data)))


if __name__ == "__main__":
    main()
