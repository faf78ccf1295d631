"""eyeD3 (Debian's eyed3 / python3-eyed3), used in this process through its
Python API: reads every field, writes every field into ID3v2.3 and 2.4 tags."""

import binascii
import logging

from .base import ALL_FIELDS, Peer, read_each, split_number_pair


def _import():
    try:
        import eyed3
        import eyed3.core
        import eyed3.id3
    except ImportError:
        return None
    logging.getLogger("eyed3").setLevel(logging.CRITICAL)
    return eyed3


def _hex(data):
    return binascii.hexlify(data).decode("ascii")


def _text(value):
    return value.decode("latin-1") if isinstance(value, bytes) else value


class Eyed3Peer(Peer):
    name = "eyeD3"
    write_versions = ("2.3", "2.4")
    write_fields = ALL_FIELDS
    read_fields = ALL_FIELDS

    def missing(self):
        return None if _import() else "eyeD3 is not importable (apt-get install eyed3)"

    def write(self, jobs):
        return {job["path"]: self._write_one(job) for job in jobs}

    def _write_one(self, job):
        eyed3 = _import()
        version = (2, int(job["version"][-1]), 0)
        try:
            audio = eyed3.load(job["path"])
            audio.initTag(version=version)
            self._set(eyed3, audio.tag, job["field"], job["value"])
            audio.tag.save(version=version)
        except Exception as error:
            return str(error) or type(error).__name__
        return None

    @staticmethod
    def _set(eyed3, tag, field, value):
        if field in ("title", "artist", "album", "genre"):
            setattr(tag, field, value["text"])
        elif field in ("track", "disc"):
            setattr(tag, field + "_num", split_number_pair(value["text"]))
        elif field == "date":
            year, month, day = (int(part) for part in value["date"].split("-"))
            tag.recording_date = eyed3.core.Date(year, month, day)
        elif field == "url":
            tag.artist_url = value["url"]
        elif field == "picture":
            tag.images.set(3, binascii.unhexlify(value["data"]), value["mime"], "")
        elif field == "musicid":
            tag.unique_file_ids.set(binascii.unhexlify(value["data"]), value["owner"].encode("latin-1"))
        elif field == "object":
            tag.objects.set(binascii.unhexlify(value["data"]), value["mime"], value["description"], "")
        elif field == "txxx":
            tag.user_text_frames.set(value["text"], value["description"])
        elif field == "comm":
            tag.comments.set(value["text"], value["description"], value["lang"].encode("latin-1"))
        else:
            raise ValueError("unknown field " + field)

    def read(self, paths):
        return read_each(self._read_one, paths)

    @staticmethod
    def _read_one(path):
        eyed3 = _import()
        audio = eyed3.load(path)
        tag = audio.tag if audio else None
        if tag is None:
            return {}
        values = {"version": "%d.%d" % tag.version[:2]}
        for field in ("title", "artist", "album"):
            if getattr(tag, field):
                values[field] = getattr(tag, field)
        for field in ("track", "disc"):
            count, total = getattr(tag, field + "_num")
            if count is not None:
                values[field] = "%d/%d" % (count, total) if total is not None else str(count)
        if tag.genre is not None:
            values["genre"] = tag.genre.name or tag.genre.id
        _read_records(tag, values)
        return values


def _read_records(tag, values):
    date = tag.recording_date
    if date is not None:
        values["date"] = str(date)
    if tag.artist_url:
        values["url"] = tag.artist_url
    if len(tag.images):
        image = tag.images[0]
        values["picture"] = {"mime": _text(image.mime_type), "type": image.picture_type,
                             "data": _hex(image.image_data or b"")}
    if len(tag.unique_file_ids):
        music_id = tag.unique_file_ids[0]
        values["musicid"] = {"owner": _text(music_id.owner_id), "data": _hex(music_id.uniq_id)}
    obj = tag.objects.get("USR_MTDID")
    if obj is not None:
        values["object"] = {"description": obj.description, "mime": _text(obj.mime_type),
                            "filename": obj.filename, "data": _hex(obj.object_data)}
    text = tag.user_text_frames.get("GN_ExtData")
    if text is not None:
        values["txxx"] = {"description": text.description, "text": text.text}
    for comment in tag.comments:
        if comment.description == "iTunSMPB":
            values["comm"] = {"description": comment.description, "lang": _text(comment.lang),
                              "text": comment.text}
            break
