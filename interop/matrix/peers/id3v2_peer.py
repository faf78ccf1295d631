"""id3v2, the command-line editor: writes ID3v2.3 tags only, text and URL
frames through its per-frame options, no binary frames."""

from .base import Peer, missing_program, run, write_each

_FRAME_OPTIONS = {"title": "--TIT2", "artist": "--TPE1", "album": "--TALB", "track": "--TRCK",
                  "disc": "--TPOS", "genre": "--TCON"}


class Id3v2Peer(Peer):
    name = "id3v2"
    write_versions = ("2.3",)
    write_fields = frozenset(list(_FRAME_OPTIONS) + ["url", "date", "txxx", "comm"])

    def missing(self):
        return missing_program("id3v2")

    def write(self, jobs):
        return write_each(self._write_one, jobs)

    @staticmethod
    def _arguments(field, value):
        if field in _FRAME_OPTIONS:
            return [_FRAME_OPTIONS[field], value["text"]]
        if field == "url":
            return ["--WOAR", value["url"]]
        if field == "date":
            year, month, day = value["date"].split("-")
            return ["--TYER", year, "--TDAT", day + month]  # TDAT is DDMM
        if field == "txxx":
            return ["--TXXX", "%s:%s" % (value["description"], value["text"])]
        if field == "comm":
            return ["--comment", "%s:%s:%s" % (value["description"], value["text"], value["lang"])]
        raise ValueError("unknown field " + field)

    def _write_one(self, job):
        run(["id3v2", "--id3v2-only"] + self._arguments(job["field"], job["value"]) + [job["path"]])
