#!/usr/bin/python3
"""Interoperability matrix: tagmill against mutagen, TagLib, ffmpeg, eyeD3,
id3v2 and kid3-cli, for ID3v2.2, 2.3 and 2.4 and every property kind.

    /usr/bin/python3 interop/run_matrix.py --docs     # regenerate docs/interop.{md,json}
    /usr/bin/python3 interop/run_matrix.py --check    # exit 1 on an unexplained disagreement

Run it with /usr/bin/python3: mutagen and eyeD3 are the system's Python
packages. Peers that are not installed are reported and their cells left
out; with no peer at all --check exits 77 (skipped).
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, HERE)

from matrix import expected, kinds, plan, report  # noqa: E402
from matrix.peers.eyed3_peer import Eyed3Peer  # noqa: E402
from matrix.peers.ffmpeg_peer import FfmpegPeer  # noqa: E402
from matrix.peers.id3v2_peer import Id3v2Peer  # noqa: E402
from matrix.peers.kid3_peer import Kid3Peer  # noqa: E402
from matrix.peers.mutagen_peer import MutagenPeer  # noqa: E402
from matrix.peers.taglib_peer import TaglibPeer  # noqa: E402
from matrix.peers.tagmill_peer import TagmillPeer  # noqa: E402

# Debian packages behind each peer, for the versions shown in the report.
PACKAGES = {"mutagen": "python3-mutagen", "TagLib": "libtag1v5", "ffmpeg": "ffmpeg",
            "eyeD3": "python3-eyed3", "id3v2": "id3v2", "kid3-cli": "kid3-cli"}


def parse_arguments():
    build = os.path.join(ROOT, "build")
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--tagmill", default=os.path.join(build, "tools", "tagmill"))
    parser.add_argument("--tagmill-peer", default=os.path.join(build, "interop", "interop_tagmill_peer"))
    parser.add_argument("--taglib-peer", default=os.path.join(build, "interop", "interop_taglib_peer"))
    parser.add_argument("--expected", default=os.path.join(HERE, "expected_differences.json"))
    parser.add_argument("--json", help="write the matrix as JSON here")
    parser.add_argument("--docs", action="store_true",
                        help="update docs/interop.md (generated block) and docs/interop.json")
    parser.add_argument("--check", action="store_true",
                        help="exit 1 when a disagreement is not in the expected differences")
    parser.add_argument("--keep", action="store_true", help="keep the files written (path printed)")
    parser.add_argument("--without", default="", metavar="PEER,...",
                        help="leave these peers out as if they were not installed (e.g. ffmpeg,eyeD3)")
    return parser.parse_args()


def package_versions():
    try:
        listing = subprocess.run(["dpkg-query", "-W", "-f", "${Package} ${Version}\n"] + list(PACKAGES.values()),
                                 capture_output=True, text=True).stdout
    except OSError:
        return {}
    found = dict(line.split(" ", 1) for line in listing.splitlines() if " " in line)
    return {peer: found.get(package, "") for peer, package in PACKAGES.items()}


def leave_out(peers, names):
    wanted = {name.strip() for name in names.split(",") if name.strip()}
    unknown = wanted - {peer.name for peer in peers}
    if unknown:
        sys.exit("interop: --without names no peer: " + ", ".join(sorted(unknown)))
    for peer in peers:
        if peer.name in wanted:
            peer.missing = lambda: "left out with --without"


def describe_peers(peers):
    versions = package_versions()
    described = {}
    for peer in peers:
        reason = peer.missing()
        described[peer.name] = {"available": reason is None, "reason": reason or "",
                                "version": versions.get(peer.name, "")}
    return described


def main():
    args = parse_arguments()
    started = time.monotonic()
    work_dir = tempfile.mkdtemp(prefix="tagmill-interop-")
    # tagmill rewrites a tag through a temporary file: keep those in here too,
    # away from tests that watch the system's temporary folder.
    os.environ["TMPDIR"] = work_dir
    picture = os.path.join(work_dir, "picture.png")
    with open(picture, "wb") as out:
        out.write(kinds.PNG)
    tagmill = TagmillPeer(args.tagmill, args.tagmill_peer)
    if tagmill.missing():
        print("interop: cannot run: " + tagmill.missing(), file=sys.stderr)
        return 2
    mutagen, taglib, ffmpeg, eyed3 = MutagenPeer(), TaglibPeer(args.taglib_peer), FfmpegPeer(picture), Eyed3Peer()
    readers = [tagmill, mutagen, taglib, ffmpeg, eyed3]
    writers = [mutagen, taglib, ffmpeg, eyed3, Id3v2Peer(), Kid3Peer(work_dir)]
    leave_out(writers, args.without)
    peers = describe_peers(writers)
    for name, info in peers.items():
        if not info["available"]:
            print("interop: skipping %s: %s" % (name, info["reason"]), file=sys.stderr)
    try:
        cells = plan.tagmill_writes(work_dir, tagmill, readers)
        cells += plan.peer_writes(work_dir, writers, tagmill, mutagen)
    finally:
        if args.keep:
            print("interop: files kept in " + work_dir, file=sys.stderr)
        else:
            shutil.rmtree(work_dir, ignore_errors=True)
    entries = expected.load(args.expected)
    unexplained, unused = expected.annotate(entries, cells)
    # An entry about a peer that is not here is not stale.
    present = {name for name, info in peers.items() if info["available"]}
    unused = [entry["id"] for entry in entries if entry["id"] in unused
              and (entry["peers"] == "*" or present.intersection(entry["peers"]))]
    by_program = [kind.field for kind in kinds.KINDS if kind.field in tagmill.cli_fields()]
    result = {"peers": peers, "cells": cells,
              "tagmill_writes": {"program": sorted(set(by_program)),
                                 "library": sorted({k.field for k in kinds.KINDS} - set(by_program))}}
    if args.json:
        report.write_json(args.json, result)
    if args.docs:
        report.update_doc(os.path.join(ROOT, "docs", "interop.md"), result)
        report.write_json(os.path.join(ROOT, "docs", "interop.json"), result)
    return finish(args, cells, peers, unexplained, unused, time.monotonic() - started)


def finish(args, cells, peers, unexplained, unused, seconds):
    counts = {s: sum(1 for c in cells if c["status"] == s) for s in ("agree", "disagree", "n-a")}
    print("interop: %d cells in %.0f s: %d agree, %d disagree (%d unexplained), %d n-a"
          % (len(cells), seconds, counts["agree"], counts["disagree"], len(unexplained), counts["n-a"]))
    for cell in unexplained:
        print("  UNEXPLAINED %s ID3v%s %s %s: seen %s %s %s" % (
            cell["direction"], cell["version"], cell["kind"], cell["peer"], cell["seen"],
            cell.get("note", ""), cell.get("stored", "")))
    for entry_id in unused:
        print("  note: expected difference %s matched no cell (fixed, or its peer is missing?)" % entry_id)
    if not args.check:
        return 0
    if not any(info["available"] for info in peers.values()):
        print("interop: SKIPPED: no peer reader or writer is installed "
              "(apt-get install ffmpeg eyed3 id3v2 kid3-cli python3-mutagen libtag1-dev)")
        return 77
    return 1 if unexplained else 0


if __name__ == "__main__":
    sys.exit(main())
