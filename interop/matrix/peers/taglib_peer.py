"""TagLib, through the matrix's taglib_peer program (built when libtag is
found): reads every field, writes every field into ID3v2.3 and 2.4 tags."""

from .base import ALL_FIELDS, Peer
from .program_peer import missing_file, read_paths, write_jobs


class TaglibPeer(Peer):
    name = "TagLib"
    write_versions = ("2.3", "2.4")
    write_fields = ALL_FIELDS
    read_fields = ALL_FIELDS

    def __init__(self, program):
        self.program = program

    def missing(self):
        return missing_file(self.program, "taglib_peer (needs libtag1-dev)")

    def write(self, jobs):
        return write_jobs(self.program, jobs)

    def read(self, paths):
        return read_paths(self.program, paths)
