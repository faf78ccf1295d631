"""Runs the matrix: for each version and kind, tagmill writes a file that
every reader reads back; and each peer writes a file that tagmill reads.
Writes are batched per writer and reads per reader, so each peer program
starts only a few times."""

import os

from . import audio
from .compare import AGREE, DISAGREE, NA, compare
from .kinds import KINDS, VERSIONS

TAGMILL_WRITES = "tagmill-to-peer"
PEER_WRITES = "peer-to-tagmill"


def _cell(direction, version, kind, peer, status, seen="", note=""):
    return {"direction": direction, "version": version, "kind": kind.name, "peer": peer,
            "status": status, "seen": seen, "note": note}


def _job(path, version, kind):
    return {"path": path, "version": version, "field": kind.field, "value": kind.value}


def _judge(direction, version, kind, peer_name, values):
    if "error" in values:
        return _cell(direction, version, kind, peer_name, DISAGREE, "read failed", values["error"])
    status, seen = compare(kind, values)
    note = ""
    if values.get("version") not in (None, version):
        note = "tag read as ID3v%s" % values["version"]
    return _cell(direction, version, kind, peer_name, status, seen, note)


def tagmill_writes(work_dir, tagmill, readers):
    """tagmill writes each (version, kind) once; every reader reads it."""
    jobs = []
    for version in VERSIONS:
        for kind in KINDS:
            path = os.path.join(work_dir, "tagmill-%s-%s.mp3" % (version, kind.name))
            audio.write_seed(path, version)
            jobs.append((_job(path, version, kind), kind))
    failures = tagmill.write([job for job, _ in jobs])
    written = [job["path"] for job, _ in jobs if failures.get(job["path"]) is None]
    seen_by = {reader.name: reader.read(written) for reader in readers if reader.missing() is None}
    cells = []
    for job, kind in jobs:
        for reader in readers:
            cells.append(_tagmill_cell(job, kind, reader, failures.get(job["path"]), seen_by))
    return cells


def _tagmill_cell(job, kind, reader, failure, seen_by):
    version, path = job["version"], job["path"]
    if reader.missing() is not None:
        return _cell(TAGMILL_WRITES, version, kind, reader.name, NA, note=reader.missing())
    if kind.field not in reader.read_fields:
        return _cell(TAGMILL_WRITES, version, kind, reader.name, NA, note="reader has no such property")
    if failure is not None:
        return _cell(TAGMILL_WRITES, version, kind, reader.name, DISAGREE, "tagmill could not write", failure)
    return _judge(TAGMILL_WRITES, version, kind, reader.name, seen_by[reader.name][path])


def peer_writes(work_dir, writers, tagmill, reference):
    """Each writer writes each (version, kind) it can; tagmill reads them all.
    The reference reader's view of the same file goes into the cell, so a
    disagreement shows what the writer actually stored."""
    cells, pending = [], []
    for writer in writers:
        batch = []
        for version in VERSIONS:
            for kind in KINDS:
                reason = _cannot_write(writer, version, kind)
                if reason:
                    cells.append(_cell(PEER_WRITES, version, kind, writer.name, NA, note=reason))
                    continue
                path = os.path.join(work_dir, "%s-%s-%s.mp3" % (writer.name, version, kind.name))
                audio.write_plain(path)
                batch.append((_job(path, version, kind), kind))
        failures = writer.write([job for job, _ in batch]) if batch else {}
        for job, kind in batch:
            failure = failures.get(job["path"])
            if failure is not None:
                cells.append(_cell(PEER_WRITES, job["version"], kind, writer.name, NA,
                                   note="writer failed: " + failure))
            else:
                pending.append((job, kind, writer.name))
    paths = [job["path"] for job, _, _ in pending]
    seen = tagmill.read(paths)
    stored = reference.read(paths) if reference is not None and reference.missing() is None else {}
    for job, kind, writer_name in pending:
        cell = _judge(PEER_WRITES, job["version"], kind, writer_name, seen[job["path"]])
        if job["path"] in stored and cell["status"] == DISAGREE:
            status, what = compare(kind, stored[job["path"]])
            cell["stored"] = "stored as %s reads it: %s" % (reference.name, "the value written" if status == AGREE else what)
        cells.append(cell)
    return cells


def _cannot_write(writer, version, kind):
    if writer.missing() is not None:
        return writer.missing()
    if version not in writer.write_versions:
        return "writes no ID3v%s tags" % version
    if kind.field not in writer.write_fields:
        return "has no way to write it"
    return None
