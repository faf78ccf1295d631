"""mutagen (python3-mutagen), used in this process: reads every field and
writes every field into ID3v2.3 and 2.4 tags, the way its documentation
suggests (UTF-8 frames, version chosen at save time)."""

import binascii

from .base import ALL_FIELDS, Peer, read_each

_TEXT_FRAMES = {"title": "TIT2", "artist": "TPE1", "album": "TALB", "track": "TRCK",
                "disc": "TPOS", "genre": "TCON"}


def _import():
    try:
        import mutagen.id3
        return mutagen.id3
    except ImportError:
        return None


def _first(tags, frame_id, match=lambda frame: True):
    for frame in tags.getall(frame_id):
        if match(frame):
            return frame
    return None


def _hex(data):
    return binascii.hexlify(data).decode("ascii")


class MutagenPeer(Peer):
    name = "mutagen"
    write_versions = ("2.3", "2.4")
    write_fields = ALL_FIELDS
    read_fields = ALL_FIELDS

    def missing(self):
        return None if _import() else "python3-mutagen is not importable (run with /usr/bin/python3)"

    def write(self, jobs):
        return {job["path"]: self._write_one(job) for job in jobs}

    def _write_one(self, job):
        id3 = _import()
        tags = id3.ID3()
        try:
            tags.add(self._frame(id3, job["field"], job["value"]))
            tags.save(job["path"], v2_version=int(job["version"][-1]), v1=0)
        except Exception as error:
            return str(error)
        return None

    @staticmethod
    def _frame(id3, field, value):
        utf8 = id3.Encoding.UTF8
        if field in _TEXT_FRAMES:
            return getattr(id3, _TEXT_FRAMES[field])(encoding=utf8, text=[value["text"]])
        if field == "date":
            return id3.TDRC(encoding=utf8, text=[value["date"]])
        if field == "url":
            return id3.WOAR(url=value["url"])
        if field == "picture":
            return id3.APIC(encoding=utf8, mime=value["mime"], type=id3.PictureType.COVER_FRONT,
                            desc="", data=binascii.unhexlify(value["data"]))
        if field == "musicid":
            return id3.UFID(owner=value["owner"], data=binascii.unhexlify(value["data"]))
        if field == "object":
            return id3.GEOB(encoding=utf8, mime=value["mime"], filename="", desc=value["description"],
                            data=binascii.unhexlify(value["data"]))
        if field == "txxx":
            return id3.TXXX(encoding=utf8, desc=value["description"], text=[value["text"]])
        if field == "comm":
            return id3.COMM(encoding=utf8, lang=value["lang"], desc=value["description"],
                            text=[value["text"]])
        raise ValueError("unknown field " + field)

    def read(self, paths):
        return read_each(self._read_one, paths)

    @staticmethod
    def _read_one(path):
        id3 = _import()
        try:
            tags = id3.ID3(path)  # upgrades 2.2/2.3 frames (TYER+TDAT -> TDRC)
        except id3.ID3NoHeaderError:
            return {}
        values = {"version": "2.%d" % tags.version[1]}
        for field, frame_id in _TEXT_FRAMES.items():
            frame = _first(tags, frame_id)
            if frame is not None and frame.text:
                values[field] = frame.genres[0] if field == "genre" and frame.genres else str(frame.text[0])
        _read_records(tags, values)
        return values


def _read_records(tags, values):
    date = _first(tags, "TDRC")
    if date is not None and date.text:
        values["date"] = str(date.text[0])
    url = _first(tags, "WOAR")
    if url is not None:
        values["url"] = url.url
    picture = _first(tags, "APIC")
    if picture is not None:
        values["picture"] = {"mime": picture.mime, "type": int(picture.type), "data": _hex(picture.data)}
    music_id = _first(tags, "UFID")
    if music_id is not None:
        values["musicid"] = {"owner": music_id.owner, "data": _hex(music_id.data)}
    obj = _first(tags, "GEOB", lambda frame: frame.desc == "USR_MTDID")
    if obj is not None:
        values["object"] = {"description": obj.desc, "mime": obj.mime, "filename": obj.filename,
                            "data": _hex(obj.data)}
    text = _first(tags, "TXXX", lambda frame: frame.desc == "GN_ExtData")
    if text is not None:
        values["txxx"] = {"description": text.desc, "text": str(text.text[0]) if text.text else ""}
    comment = _first(tags, "COMM", lambda frame: frame.desc == "iTunSMPB")
    if comment is not None:
        values["comm"] = {"description": comment.desc, "lang": comment.lang,
                          "text": str(comment.text[0]) if comment.text else ""}
