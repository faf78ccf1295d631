"""kid3-cli: writes ID3v2.3 or 2.4 tags (chosen through its configuration,
kept in a private configuration folder so the user's settings stay alone).
It has frame names for everything but a comment with a description."""

import binascii
import os
import tempfile

from .base import Peer, child_env, missing_program, run, write_each

_NAMES = {"title": "title", "artist": "artist", "album": "album", "track": "tracknumber",
          "disc": "discnumber", "genre": "genre", "date": "date", "url": "website"}


def _quote(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


class Kid3Peer(Peer):
    name = "kid3-cli"
    write_versions = ("2.3", "2.4")
    write_fields = frozenset(list(_NAMES) + ["picture", "musicid", "object", "txxx"])

    def __init__(self, work_dir):
        self.work_dir = work_dir
        self.home = os.path.join(work_dir, "kid3-home")

    def missing(self):
        return missing_program("kid3-cli")

    def write(self, jobs):
        os.makedirs(self.home, exist_ok=True)
        return write_each(self._write_one, jobs)

    def _commands(self, job):
        field, value = job["field"], job["value"]
        if field in _NAMES:
            text = value.get("text", value.get("url", value.get("date")))
            return ["set %s %s" % (_NAMES[field], _quote(text))]
        if field == "picture":
            return ["set %s %s" % (_quote("picture:" + self._blob(job, binascii.unhexlify(value["data"]))),
                                   _quote(""))]
        if field == "musicid":
            data = binascii.unhexlify(value["data"]).decode("ascii")
            return ["set UFID %s" % _quote(data), "set UFID.Owner %s" % _quote(value["owner"])]
        if field == "object":
            blob = self._blob(job, binascii.unhexlify(value["data"]))
            return ["set %s %s" % (_quote("GEOB:" + blob), _quote(value["description"])),
                    "set %s %s" % (_quote("GEOB.MIME Type"), _quote(value["mime"]))]
        if field == "txxx":
            return ["set %s %s" % (_quote(value["description"]), _quote(value["text"]))]
        raise ValueError("unknown field " + field)

    def _blob(self, job, data):
        """kid3 takes binary frame contents from a file."""
        handle, path = tempfile.mkstemp(dir=self.work_dir, suffix=".bin")
        with os.fdopen(handle, "wb") as out:
            out.write(data)
        return path

    def _write_one(self, job):
        # Each run gets its own configuration folder: runs go in parallel.
        config = tempfile.mkdtemp(dir=self.home)
        version = "ID3v2_%s_0" % job["version"][-1]
        arguments = ["-c", "config Tag.id3v2Version " + version]
        for command in self._commands(job):
            arguments += ["-c", command]
        run(["kid3-cli"] + arguments + ["-c", "save", job["path"]],
            env=child_env(HOME=config, XDG_CONFIG_HOME=config, QT_QPA_PLATFORM="offscreen"))
