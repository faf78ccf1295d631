#!/usr/bin/python3
"""Builds the seed corpora of the fuzz targets in a build directory.

    make_seeds.py OUT [CORPUS]

OUT/content (memory and file targets): the files of the peer corpus (when
present; default ../shared/corpus next to the checkout) and small hand-made
contents: ID3v2.2/2.3/2.4 tags, unsynchronisation, extended headers, footers,
ID3v1 tails and AIFF files. OUT/records: frame payloads of the record frames
found in those tags. OUT/text: text frame payloads without their encoding byte.
Nothing is written into the source tree.
"""
import hashlib
import os
import struct
import sys

MAX_SEED = 64 * 1024
RECORD_FRAMES = {b"APIC", b"PIC", b"UFID", b"UFI", b"GEOB", b"GEO", b"TXXX", b"TXX", b"COMM", b"COM"}


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def frame(major, fid, payload, flags=b"\0\0"):
    if major == 2:
        return fid + struct.pack(">I", len(payload))[1:] + payload
    size = syncsafe(len(payload)) if major == 4 else struct.pack(">I", len(payload))
    return fid + size + flags + payload


def tag(major, frames, flags=0, padding=32, ext=b""):
    body = ext + b"".join(frames) + b"\0" * padding
    return b"ID3" + bytes([major, 0, flags]) + syncsafe(len(body)) + body


def unsynchronise(data):
    out = bytearray()
    for i, b in enumerate(data):
        out.append(b)
        if b == 0xFF and (i + 1 == len(data) or data[i + 1] == 0 or data[i + 1] >= 0xE0):
            out.append(0)
    return bytes(out)


def id3v1(title=b"v1 title", track=7, genre=17):
    t = lambda s, n: s[:n].ljust(n, b"\0")
    return b"TAG" + t(title, 30) + t(b"artist", 30) + t(b"album", 30) + b"1999" + t(b"c", 28) + bytes([0, track, genre])


def utf16(s):
    return b"\xff\xfe" + s.encode("utf-16-le")


def records(major):
    three = major == 2
    picture = (b"\0JPG\x03\0" if three else b"\0image/jpeg\0\x03\0") + b"\xff\xd8\xff\xe0" * 8
    return [
        (b"PIC" if three else b"APIC", picture),
        (b"UFI" if three else b"UFID", b"http://owner.example\0" + bytes(range(64))),
        (b"GEO" if three else b"GEOB", b"\0binary\0\0USR_MTDID\0" + b"object data"),
        (b"GEO" if three else b"GEOB", b"\x01application/SMFMF\0" + utf16("") + b"\0\0" + utf16("USR_SMFMF") + b"\0\0data"),
        (b"TXX" if three else b"TXXX", b"\x01" + utf16("GN_ExtData") + b"\0\0" + utf16("value") + b"\0\0"),
        (b"COM" if three else b"COMM", b"\0eng" + b"iTunSMPB\0 00000000 00000210"),
    ]


def texts(major):
    three = major == 2
    ids = {"title": b"TT2" if three else b"TIT2", "artist": b"TP1" if three else b"TPE1",
           "track": b"TRK" if three else b"TRCK", "genre": b"TCO" if three else b"TCON",
           "year": b"TYE" if three else (b"TDRC" if major == 4 else b"TYER"), "url": b"WAR" if three else b"WOAR"}
    frames = [
        (ids["title"], b"\x01" + utf16("Title \u00e9\U0001F600") + b"\0\0"),
        (ids["artist"], b"\0Artist\0Second"),
        (ids["track"], b"\x003/12"),
        (ids["genre"], b"\0(17)Rock"),
        (ids["year"], b"\x002004-05-06T07:08:09" if major == 4 else b"\x002004"),
        (ids["url"], b"http://artist.example/"),
    ]
    if major == 4:
        frames.append((b"TALB", b"\x03Album \xc3\xa9"))
        frames.append((b"TCOM", b"\x02" + "Composer".encode("utf-16-be")))
    else:
        frames.append((b"TAL" if three else b"TALB", b"\0Album"))
    if major == 3:
        frames.append((b"TDAT", b"\x000605"))
        frames.append((b"TIME", b"\x000708"))
    return frames


def hand_made():
    seeds = {}
    for major in (2, 3, 4):
        frames = [frame(major, fid, p) for fid, p in texts(major) + records(major)]
        plain = tag(major, frames)
        seeds["v2%d" % major] = plain
        seeds["v2%d_audio_v1" % major] = plain + b"\xff\xfb\x90\x00" * 64 + id3v1()
        body = b"".join(frames)
        seeds["v2%d_unsync" % major] = b"ID3" + bytes([major, 0, 0x80]) + syncsafe(len(unsynchronise(body))) + unsynchronise(body)
        seeds["v2%d_truncated" % major] = plain[: len(plain) // 2]
    ext23 = struct.pack(">IHI", 6, 0, 32)
    seeds["v23_ext_header"] = tag(3, [frame(3, f, p) for f, p in texts(3)], flags=0x40, ext=ext23)
    ext24 = syncsafe(6) + b"\x01\x00"
    seeds["v24_ext_header"] = tag(4, [frame(4, f, p) for f, p in texts(4)], flags=0x40, ext=ext24)
    t24 = tag(4, [frame(4, f, p) for f, p in texts(4)], flags=0x10, padding=0)
    footer = b"3DI" + t24[3:10]
    seeds["v24_footer_at_end"] = b"\xff\xfb\x90\x00" * 32 + t24 + footer
    seeds["v24_footer_before_v1"] = b"\xff\xfb\x90\x00" * 32 + t24 + footer + id3v1()
    flagged = [frame(3, b"TIT2", b"\0\0\0\0\x10" + b"\0Compressed", b"\0\x80"),
               frame(3, b"TPE1", b"\x01\x05\0Grouped", b"\0\x60"),
               frame(3, b"TALB", b"\0Read only", b"\x20\0")]
    seeds["v23_frame_flags"] = tag(3, flagged)
    seeds["v1_only"] = b"\xff\xfb\x90\x00" * 16 + id3v1()
    seeds["empty_tag"] = tag(3, [], padding=100)
    seeds["nothing"] = b""

    for major in (3, 4):
        inner = tag(major, [frame(major, f, p) for f, p in texts(major)])
        if len(inner) % 2:
            inner += b"\0"
        chunks = b"COMM" + struct.pack(">I", 18) + bytes(18) + b"SSND" + struct.pack(">I", 16) + bytes(16)
        seeds["aiff_v2%d" % major] = b"FORM" + struct.pack(">I", 4 + len(chunks) + 8 + len(inner)) + b"AIFF" + chunks + b"ID3 " + struct.pack(">I", len(inner)) + inner
    chunks = b"FVER" + struct.pack(">I", 4) + bytes(4) + b"COMM" + struct.pack(">I", 18) + bytes(18)
    seeds["aifc_no_id3"] = b"FORM" + struct.pack(">I", 4 + len(chunks)) + b"AIFC" + chunks
    return seeds


def walk_frames(data):
    """Frame (id, payload) pairs of a tag at the start of data; best effort."""
    if len(data) < 10 or data[:3] != b"ID3" or data[3] not in (2, 3, 4):
        return
    major, flags = data[3], data[5]
    size = int.from_bytes(bytes(b & 0x7F for b in data[6:10]), "big")
    body = data[10:10 + size]
    if flags & 0x80:
        body = body.replace(b"\xff\x00", b"\xff")
    p = 0
    if flags & 0x40 and major in (3, 4) and len(body) >= 4:
        p = (struct.unpack(">I", body[:4])[0] + 4) if major == 3 else int.from_bytes(bytes(b & 0x7F for b in body[:4]), "big")
    head = 6 if major == 2 else 10
    while p + head <= len(body):
        fid = body[p:p + (3 if major == 2 else 4)]
        if not fid.strip(b"\0"):
            break
        if major == 2:
            n = int.from_bytes(body[p + 3:p + 6], "big")
        elif major == 3:
            n = struct.unpack(">I", body[p + 4:p + 8])[0]
        else:
            n = int.from_bytes(bytes(b & 0x7F for b in body[p + 4:p + 8]), "big")
        yield fid, body[p + head:p + head + n]
        p += head + n


def save(folder, data):
    os.makedirs(folder, exist_ok=True)
    data = data[:MAX_SEED]
    name = hashlib.sha1(data).hexdigest()
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    here = os.path.dirname(os.path.abspath(__file__))
    corpus = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "..", "..", "shared", "corpus")
    contents = list(hand_made().values())
    if os.path.isdir(corpus):
        for root, _, files in os.walk(corpus):
            for name in sorted(files):
                if name in ("MANIFEST.md", "SHA256SUMS"):
                    continue
                with open(os.path.join(root, name), "rb") as f:
                    contents.append(f.read())
    else:
        print("no peer corpus at %s; hand-made seeds only" % corpus, file=sys.stderr)
    for data in contents:
        save(os.path.join(out, "content"), data)
        for fid, payload in walk_frames(data):
            if fid in RECORD_FRAMES:
                save(os.path.join(out, "records"), payload)
            elif fid[:1] == b"T" and payload:
                save(os.path.join(out, "text"), payload[1:])
    for kind in ("content", "records", "text"):
        folder = os.path.join(out, kind)
        os.makedirs(folder, exist_ok=True)
        print("%s: %d seeds" % (folder, len(os.listdir(folder))))


if __name__ == "__main__":
    main()
