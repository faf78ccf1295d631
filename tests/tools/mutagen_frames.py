#!/usr/bin/python3
"""Compares `tagmill frames --json` output (file named by the one argument)
with what mutagen finds in the same files: the same frames in the same order,
and for every frame mutagen decodes, the same decoded texts and sizes.
Prints each difference and exits 1 when there is one; 0 when all agree.
With --write FILE, first gives FILE a v2.3 tag written by mutagen holding
every kind of frame people read."""
import json
import struct
import sys

import mutagen
from mutagen.id3 import _tags
from mutagen.id3._util import unsynch

# Files on which the two walks part by design, and why.
KNOWN = {
    "005411.id3": "a v2.4 tag with plain (not synchsafe) frame sizes, read by the size rule of its version",
    "issue_21.id3": "the extended-header flag is set without an extended header; the engine reads one",
}

captured = {}
original_read = _tags.ID3Tags._read


def capture(self, header, data):
    if "header" not in captured:  # not the frames inside a chapter frame
        captured["header"], captured["data"] = header, data
    return original_read(self, header, data)


_tags.ID3Tags._read = capture


def walk(header, data):
    """Every frame header mutagen's reader passes, with the frame it decodes
    (None for the empty, junk and unknown frames it leaves out)."""
    frames = header.known_frames
    if header.version < header._V24 and header.f_unsynch:
        try:
            data = unsynch.decode(data)
        except ValueError:
            pass
    v22 = header.version < header._V23
    bpi = int if header.version < header._V24 else _tags.determine_bpi(data, frames)
    found = []
    while data:
        length = 6 if v22 else 10
        if len(data) < length:
            break
        if v22:
            name, size = data[:3], struct.unpack(">L", b"\0" + data[3:6])[0]
            flags = 0
        else:
            name, size, flags = struct.unpack(">4sLH", data[:10])
            size = bpi(size)
        if name.strip(b"\0") == b"":
            break
        body, data = data[length:length + size], data[length + size:]
        frame = None
        try:
            if size:
                frame = frames[name.decode("ascii")]._fromData(header, flags, body)
        except Exception:
            frame = None
        found.append((name.decode("latin1").rstrip("\0"), frame))
    return found


def expected_fields(frame):
    """The fields of ours that a mutagen frame gives, or None to skip."""
    kind = type(frame).__name__
    if kind in ("TXXX", "TXX"):
        return {"description": frame.desc, "text": [str(t) for t in frame.text]}
    if kind in ("WXXX", "WXX"):
        return {"description": frame.desc, "url": frame.url}
    if kind in ("COMM", "COM"):
        return {"language": frame.lang, "description": frame.desc, "text": [str(t) for t in frame.text]}
    if kind in ("USLT", "ULT"):
        return {"language": frame.lang, "description": frame.desc, "text": frame.text}
    if kind == "APIC":
        return {"mime": frame.mime, "picture_type": int(frame.type), "description": frame.desc,
                "data_size": len(frame.data)}
    if kind == "PIC":
        return {"format": frame.mime, "picture_type": int(frame.type), "description": frame.desc,
                "data_size": len(frame.data)}
    if kind in ("UFID", "UFI"):
        return {"owner": frame.owner, "identifier_hex": frame.data.hex()}
    if kind in ("GEOB", "GEO"):
        return {"mime": frame.mime, "filename": frame.filename, "description": frame.desc,
                "data_size": len(frame.data)}
    if kind == "PRIV":
        return {"owner": frame.owner, "data_size": len(frame.data)}
    if kind in ("POPM", "POP"):
        fields = {"email": frame.email, "rating": frame.rating}
        if hasattr(frame, "count"):
            fields["count"] = frame.count
        return fields
    # Time stamps come back in mutagen's own spelling, lists of people paired.
    if kind.startswith("TD") or kind in ("TORY", "TOR") or hasattr(frame, "people") or not hasattr(frame, "text") and not hasattr(frame, "url"):
        return None
    if hasattr(frame, "url"):
        return {"url": frame.url}
    return {"text": [str(t) for t in frame.text]}


def compare(doc, problems):
    path = doc["file"]
    name = path.rsplit("/", 1)[-1]
    captured.clear()
    try:
        mutagen.File(path)
    except Exception:
        return  # mutagen rejects the file: nothing to compare with
    if "header" not in captured or name in KNOWN:
        return
    theirs = walk(captured["header"], captured["data"])
    ours = doc["frames"]
    if [f["id"] for f in ours] != [t[0] for t in theirs]:
        problems.append("%s: frames %s, mutagen %s" % (path, [f["id"] for f in ours], [t[0] for t in theirs]))
        return
    for mine, (frame_id, frame) in zip(ours, theirs):
        fields = expected_fields(frame) if frame is not None else None
        for key, value in (fields or {}).items():
            if mine.get(key) != value:
                problems.append("%s: %s at %d: %s is %r, mutagen %r" %
                                (path, frame_id, mine["offset"], key, mine.get(key), value))


def write_every_kind(path):
    from mutagen.id3 import ID3, APIC, COMM, GEOB, PRIV, TCON, TIT2, TXXX, USLT, WXXX
    tag = ID3()
    for frame in [TIT2(encoding=1, text=["H\u00e9ld out"]), TCON(encoding=0, text=["(17)"]),
                  COMM(encoding=1, lang="eng", desc="", text=["first"]),
                  COMM(encoding=3, lang="deu", desc="zwei", text=["zweiter"]),
                  USLT(encoding=1, lang="eng", desc="", text="la la\nla"),
                  TXXX(encoding=1, desc="MusicBrainz Album Id", text=["abc"]),
                  TXXX(encoding=0, desc="GN_ExtData", text=["ext"]),
                  WXXX(encoding=0, desc="home", url="http://example.org"),
                  PRIV(owner="WM/MediaClassPrimaryID", data=b"\1\2\3"),
                  GEOB(encoding=1, mime="text/plain", filename="n.txt", desc="notes", data=b"hello"),
                  APIC(encoding=0, mime="image/png", type=3, desc="front", data=b"\x89PNG" + b"x" * 50),
                  APIC(encoding=1, mime="image/jpeg", type=4, desc="back", data=b"\xff\xd8\xff" + b"y" * 70)]:
        tag.add(frame)
    tag.save(path, v2_version=3)


def main():
    if sys.argv[1] == "--write":
        write_every_kind(sys.argv[2])
        return 0
    with open(sys.argv[1], encoding="utf-8") as listing:
        docs = json.load(listing)
    problems = []
    for doc in docs:
        compare(doc, problems)
    print("\n".join(problems) if problems else "%d files agree" % len(docs))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
