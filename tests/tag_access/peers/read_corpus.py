"""Reads the ID3 tags of the corpus files as another tag reader sees them,
adjusted to the intended differences listed in corpus_read_test.cpp.

Arguments: "property:frame ID,..." and then the files. Prints "<file> REJECTED"
when the reader refuses a file, else "<file> <property> <values>" per
property: values as comma-separated UTF-8 hex, "-" for none; a picture as
"<MIME type hex>,<size>"."""
import io
import sys

import mutagen
import mutagen.id3 as id3


def h(text):
    return text.encode("utf-8", "surrogatepass").hex()


def hx(values):
    return ",".join(h(v) for v in values) or "-"


def load(path, data):
    if path.endswith((".aif", ".aiff", ".aifc", ".wav")):
        f = mutagen.File(path)
        return f.tags if f is not None else None
    try:
        return id3.ID3(path, load_v1=False, translate=False)
    except id3.ID3NoHeaderError:
        pass
    # A tag after leading junk, or one found through its footer at the end.
    if data[-10:-7] == b"3DI":
        s = data[-4:]
        start = len(data) - 20 - (s[0] << 21 | s[1] << 14 | s[2] << 7 | s[3])
    else:
        start = data.find(b"ID3")
    return id3.ID3(io.BytesIO(data[start:]), load_v1=False, translate=False) if start >= 0 else None


def from_v1(v1, data, pid):
    key = {"4615": "TIT2", "4624": "TPE1", "4620": "TALB"}.get(pid)
    if key:
        return [str(v1[key])] if key in v1 and str(v1[key]) else []
    if pid == "4616":
        return [] if data[-1] == 148 else ["(%d)" % data[-1]]
    return [str(data[-2])] if pid == "4357" and data[-3] == 0 else []


def picture(tags, frames):
    if not frames or int(frames[0].encoding) > 1:
        return "-"
    f = frames[0]
    mime = f.mime
    if tags.version < (2, 3, 0):
        mime = {"JPG": "image/jpeg", "PNG": "image/png"}.get(f.mime, "")
    return "%s,%d" % (mime.encode("utf-8").hex(), len(f.data))


rows = [r.split(":") for r in sys.argv[1].split(",")]
for path in sys.argv[2:]:
    data = open(path, "rb").read()
    try:
        tags = load(path, data)
    except Exception:
        print(path, "REJECTED")
        continue
    v1 = id3.ParseID3v1(data[-128:]) if data[-128:-125] == b"TAG" else None
    for pid, fid in rows:
        frames = tags.getall(fid) if tags is not None else []
        if fid == "APIC":
            print(path, pid, picture(tags, frames))
            continue
        if fid == "WOAR":
            values = [f.url for f in frames]
        elif frames:
            values = [str(frames[0].text[0])] if frames[0].text and str(frames[0].text[0]) else []
        else:
            values = from_v1(v1, data, pid) if v1 is not None else []
        print(path, pid, hx(values))
