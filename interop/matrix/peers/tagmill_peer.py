"""tagmill itself: the `tagmill` program writes every kind it has an option
for (`set --title ...`, and `--date`/`--picture` where this build has them)
and shows the string properties (`show --json`); the matrix's tagmill_peer
program, which calls the library the way a host does, covers the rest."""

import binascii
import json

from .base import ALL_FIELDS, Peer, run, write_each
from .program_peer import missing_file, read_paths, write_jobs

# String fields the program writes and shows, with their option/JSON names.
_STRING_FIELDS = {"title": "title", "artist": "artist", "album": "album", "track": "track",
                  "disc": "disc", "genre": "genre", "url": "artist_url"}
# Further fields `set` has options for in newer builds of the program.
_OPTIONAL_FIELDS = {"date": "--date", "picture": "--picture"}


class TagmillPeer(Peer):
    name = "tagmill"
    write_versions = ("2.2", "2.3", "2.4")  # 2.2 and 2.4 only into an existing tag
    write_fields = ALL_FIELDS
    read_fields = ALL_FIELDS

    def __init__(self, cli, program):
        self.cli = cli
        self.program = program
        self._cli_fields = None

    def missing(self):
        return missing_file(self.cli, "the tagmill program") or missing_file(self.program, "tagmill_peer")

    def cli_fields(self):
        """The fields that `tagmill set` can write, asked once from its help."""
        if self._cli_fields is None:
            usage = run([self.cli, "set", "--help"]).decode("utf-8", "replace")
            self._cli_fields = set(_STRING_FIELDS)
            self._cli_fields.update(f for f, option in _OPTIONAL_FIELDS.items() if option in usage.split())
        return self._cli_fields

    def write(self, jobs):
        by_cli = [job for job in jobs if job["field"] in self.cli_fields()]
        results = write_each(self._cli_write, by_cli)
        results.update(write_jobs(self.program, [job for job in jobs if job["field"] not in self.cli_fields()]))
        return results

    def _cli_write(self, job):
        field, value = job["field"], job["value"]
        if field == "date":
            arguments = ["--date", value["date"]]
        elif field == "picture":
            picture = job["path"] + ".png"
            with open(picture, "wb") as out:
                out.write(binascii.unhexlify(value["data"]))
            arguments = ["--picture", picture]
        else:
            arguments = ["--" + _STRING_FIELDS[field].replace("_", "-"), value.get("text", value.get("url"))]
        run([self.cli, "set", job["path"]] + arguments)

    def read(self, paths):
        results = read_paths(self.program, paths)
        if not paths:
            return results
        try:
            shown = {entry["file"]: entry for entry in json.loads(run([self.cli, "show", "--json"] + paths))}
        except RuntimeError as error:
            return {path: {"error": "tagmill show failed: %s" % error} for path in paths}
        for path, values in results.items():
            if "error" in values:
                continue
            strings = shown.get(path, {}).get("strings", {})
            for field, key in _STRING_FIELDS.items():
                values.pop(field, None)
                if strings.get(key):
                    values[field] = strings[key][0]
        return results
