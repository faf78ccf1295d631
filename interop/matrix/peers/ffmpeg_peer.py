"""ffmpeg: ffprobe reads the tag's metadata dictionary (ffmpeg merges the
date frames into one "date" and names user-defined texts and comments by
their description); the picture is the attached-picture stream, copied out
with ffmpeg. ffmpeg writes the fields it has metadata keys for."""

import binascii
import json
import os

from .base import Peer, child_env, missing_program, read_each, run, write_each

_KEYS = {"title": "title", "artist": "artist", "album": "album", "track": "track",
         "disc": "disc", "genre": "genre", "date": "date"}


class FfmpegPeer(Peer):
    name = "ffmpeg"
    write_versions = ("2.3", "2.4")
    # No metadata key reaches WOAR, UFID or GEOB; "comment" becomes a TXXX.
    write_fields = frozenset(list(_KEYS) + ["picture", "txxx"])
    read_fields = frozenset(list(_KEYS) + ["picture", "txxx", "comm"])

    def __init__(self, picture_file):
        self.picture_file = picture_file

    def missing(self):
        return missing_program("ffmpeg", "ffprobe")

    def write(self, jobs):
        return write_each(self._write_one, jobs)

    def _write_one(self, job):
        path, field, value = job["path"], job["field"], job["value"]
        output = path + ".ffmpeg.mp3"
        command = ["ffmpeg", "-v", "error", "-y", "-i", path]
        if field == "picture":
            command += ["-i", self.picture_file, "-map", "0", "-map", "1",
                        "-disposition:v", "attached_pic", "-metadata:s:v", "comment=Cover (front)"]
        elif field == "txxx":
            command += ["-metadata", "%s=%s" % (value["description"], value["text"])]
        else:
            command += ["-metadata", "%s=%s" % (_KEYS[field], value.get("text", value.get("date")))]
        command += ["-c", "copy", "-id3v2_version", job["version"][-1], "-write_id3v1", "0", output]
        run(command)
        os.replace(output, path)

    def read(self, paths):
        return read_each(self._read_one, paths)

    def _read_one(self, path):
        probe = json.loads(run(["ffprobe", "-v", "error", "-show_entries",
                                "format_tags:stream=codec_type:stream_disposition=attached_pic",
                                "-of", "json", path]).decode("utf-8"))
        tags = probe.get("format", {}).get("tags", {})
        values = {field: tags[key] for field, key in _KEYS.items() if key in tags}
        if "GN_ExtData" in tags:
            values["txxx"] = {"description": "GN_ExtData", "text": tags["GN_ExtData"]}
        if "iTunSMPB" in tags:
            values["comm"] = {"description": "iTunSMPB", "text": tags["iTunSMPB"]}
        if any(s.get("disposition", {}).get("attached_pic") for s in probe.get("streams", [])):
            data = run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:v", "-c", "copy",
                        "-f", "image2pipe", "-"], env=child_env())
            values["picture"] = {"mime": "image/png" if data.startswith(b"\x89PNG") else "?",
                                 "data": binascii.hexlify(data).decode("ascii")}
        return values
