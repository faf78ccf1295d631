"""What every peer adapter offers, and the helpers they share.

A writer gets jobs {"path", "version", "field", "value"} whose file already
holds silent audio (and, for tagmill, a seed tag) and answers, per path, None
or the reason it failed. A reader gets paths and answers, per path, the values
it sees keyed by field ("title", "date", "picture", ...) or {"error": reason}.
"""

import concurrent.futures
import os
import shutil
import subprocess

ALL_FIELDS = frozenset(["title", "artist", "album", "track", "disc", "genre", "url", "date",
                        "picture", "musicid", "object", "txxx", "comm"])
TEXT_FIELDS = ("title", "artist", "album", "track", "disc", "genre")
# Peers that run one process per file share the two cores with the others.
WORKERS = 4


class Peer:
    name = ""
    write_versions = ()
    write_fields = frozenset()
    read_fields = frozenset()

    def missing(self):
        """None when the peer can run, else why not (shown in the report)."""
        return None

    def write(self, jobs):
        raise NotImplementedError

    def read(self, paths):
        raise NotImplementedError


def missing_program(*programs):
    absent = [p for p in programs if shutil.which(p) is None]
    return "not installed: " + ", ".join(absent) if absent else None


def child_env(**extra):
    """UTF-8 arguments and output whatever the caller's locale."""
    env = dict(os.environ)
    env["LC_ALL"] = "C.UTF-8"
    env.update(extra)
    return env


def run(command, env=None, stdin=None, timeout=60):
    """Runs a command; returns stdout (bytes) or raises RuntimeError with stderr."""
    try:
        done = subprocess.run(command, input=stdin, capture_output=True, env=env or child_env(),
                              timeout=timeout)
    except subprocess.TimeoutExpired:
        raise RuntimeError("timed out: " + " ".join(command[:2]))
    if done.returncode != 0:
        message = done.stderr.decode("utf-8", "replace").strip().splitlines()
        raise RuntimeError("exit %d: %s" % (done.returncode, message[-1] if message else ""))
    return done.stdout


def _on_pool(function, items, key):
    with concurrent.futures.ThreadPoolExecutor(WORKERS) as pool:
        futures = {key(item): pool.submit(function, item) for item in items}
        return {k: f.result() for k, f in futures.items()}


def write_each(write_one, jobs):
    """write_one(job) for every job on a small thread pool, for peers that run
    one process per file; returns {path: None or the reason it failed}."""
    def guarded(job):
        try:
            write_one(job)
            return None
        except Exception as error:  # a peer's failure is a cell's result
            return str(error) or type(error).__name__
    return _on_pool(guarded, jobs, lambda job: job["path"])


def read_each(read_one, paths):
    """read_one(path) for every path on the pool; {path: values or {"error": ...}}."""
    def guarded(path):
        try:
            return read_one(path)
        except Exception as error:
            return {"error": str(error) or type(error).__name__}
    return _on_pool(guarded, paths, lambda path: path)


def split_number_pair(text):
    """"3/12" -> (3, 12); "3" -> (3, None)."""
    head, _, tail = text.partition("/")
    return int(head), (int(tail) if tail else None)
