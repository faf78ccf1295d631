"""Peers behind one of the matrix's own job programs (tagmill_peer,
taglib_peer): all jobs of a batch go to one run of the program as JSON."""

import json
import os

from .base import run


def _run_batch(program, jobs):
    output = run([program], stdin=json.dumps(jobs).encode("utf-8"), timeout=120)
    results = json.loads(output.decode("utf-8"))
    if len(results) != len(jobs):
        raise RuntimeError("%s answered %d results for %d jobs" % (program, len(results), len(jobs)))
    return results


def run_jobs(program, jobs):
    """Sends the jobs; returns one result {"ok", "error"?, "values"?} per job.
    When the program dies on the batch, each job is run alone, so the file
    that makes it die shows up as that cell's failure."""
    def died(error):
        return {"ok": False, "error": "%s died: %s" % (os.path.basename(program), error)}
    try:
        return _run_batch(program, jobs)
    except RuntimeError as error:
        if len(jobs) == 1:
            return [died(error)]
    results = []
    for job in jobs:
        try:
            results += _run_batch(program, [job])
        except RuntimeError as error:
            results.append(died(error))
    return results


def write_jobs(program, jobs):
    requests = [dict(job, op="write") for job in jobs]
    results = run_jobs(program, requests) if requests else []
    return {job["path"]: (None if result["ok"] else result["error"])
            for job, result in zip(jobs, results)}


def read_paths(program, paths):
    results = run_jobs(program, [{"op": "read", "path": path} for path in paths]) if paths else []
    return {path: (result["values"] if result["ok"] else {"error": result["error"]})
            for path, result in zip(paths, results)}


def missing_file(path, what):
    if not path:
        return what + " was not built"
    return None if os.access(path, os.X_OK) else what + " not found at " + path
