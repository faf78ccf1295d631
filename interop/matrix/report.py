"""The matrix as Markdown tables (one per direction and version) and as
JSON. The tables replace the generated block of docs/interop.md; the text
around it, which explains the disagreements, is written by hand."""

import json

from .compare import AGREE, DISAGREE, NA
from .kinds import KINDS, VERSIONS
from .plan import PEER_WRITES, TAGMILL_WRITES

BEGIN = "<!-- BEGIN GENERATED MATRIX (interop/run_matrix.py --docs) -->"
END = "<!-- END GENERATED MATRIX -->"


def _mark(cell):
    if cell["status"] == AGREE:
        return "✓"
    if cell["status"] == NA:
        return "–"
    return "✗ " + (cell.get("explained") or "**unexplained**")


# Column order: tagmill's own reading first, then the peers.
ORDER = ["tagmill", "mutagen", "TagLib", "ffmpeg", "eyeD3", "id3v2", "kid3-cli"]


def _peers(cells):
    names = {cell["peer"] for cell in cells}
    return [name for name in ORDER if name in names] + sorted(names - set(ORDER))


def _table(cells, direction, version):
    chosen = [c for c in cells if c["direction"] == direction and c["version"] == version]
    if all(c["status"] == NA for c in chosen):
        return []
    peers = _peers(chosen)
    by_key = {(c["kind"], c["peer"]): c for c in chosen}
    lines = ["| property | " + " | ".join(peers) + " |", "|---|" + "---|" * len(peers)]
    for kind in KINDS:
        row = [_mark(by_key[(kind.name, peer)]) if (kind.name, peer) in by_key else "" for peer in peers]
        lines.append("| %s | %s |" % (kind.label, " | ".join(row)))
    return lines


def _disagreements(cells):
    lines = []
    for cell in cells:
        if cell["status"] != DISAGREE:
            continue
        detail = cell["seen"] + ("; " + cell["note"] if cell.get("note") else "")
        if cell.get("stored"):
            detail += "; " + cell["stored"]
        lines.append("| %s | ID3v%s | %s | %s | %s |" % (
            "tagmill → " + cell["peer"] if cell["direction"] == TAGMILL_WRITES else cell["peer"] + " → tagmill",
            cell["version"], cell["kind"], cell.get("explained") or "unexplained",
            detail.replace("|", "\\|").replace("\n", " ")))
    if not lines:
        return ["No disagreements."]
    return ["| writer → reader | version | kind | why | seen |", "|---|---|---|---|---|"] + lines


def _summary(cells):
    counts = {status: sum(1 for c in cells if c["status"] == status) for status in (AGREE, DISAGREE, NA)}
    explained = sum(1 for c in cells if c["status"] == DISAGREE and c.get("explained"))
    return ("%d cells: %d agree, %d disagree (%d explained), %d not applicable."
            % (len(cells), counts[AGREE], counts[DISAGREE], explained, counts[NA]))


def markdown(result):
    cells = result["cells"]
    out = [BEGIN, "", _summary(cells), "", "Peers: " + "; ".join(
        "%s %s" % (name, info["version"] if info["available"] else "(missing: %s)" % info["reason"])
        for name, info in result["peers"].items()) + ".", "",
        "tagmill wrote through the `tagmill` program: %s; through the library (interop_tagmill_peer): %s."
        % (", ".join(result["tagmill_writes"]["program"]), ", ".join(result["tagmill_writes"]["library"])), "",
        "✓ agree, ✗ disagree (with the entry that explains it), – not applicable "
        "(the peer cannot write or read that property, or that version).", ""]
    titles = {TAGMILL_WRITES: "tagmill writes, peers read", PEER_WRITES: "peers write, tagmill reads"}
    for direction in (TAGMILL_WRITES, PEER_WRITES):
        for version in VERSIONS:
            table = _table(cells, direction, version)
            out.append("### %s: ID3v%s" % (titles[direction], version))
            out.append("")
            out.extend(table or ["Not applicable: no peer writes ID3v%s tags." % version])
            out.append("")
    out += ["### Every disagreement", ""] + _disagreements(cells) + ["", END]
    return "\n".join(out)


def update_doc(path, result):
    """Replaces the generated block of the document, keeping the rest."""
    with open(path, encoding="utf-8") as source:
        text = source.read()
    if BEGIN not in text or END not in text:
        raise ValueError("%s has no generated block (%s ... %s)" % (path, BEGIN, END))
    head, rest = text.split(BEGIN, 1)
    _, tail = rest.split(END, 1)
    with open(path, "w", encoding="utf-8") as out:
        out.write(head + markdown(result) + tail)


def write_json(path, result):
    """One cell per line, so that a change to the matrix reads as a small diff."""
    def dumped(value):
        return json.dumps(value, ensure_ascii=False, sort_keys=True)
    head = {key: value for key, value in result.items() if key != "cells"}
    lines = ["{"] + ['  "%s": %s,' % (key, dumped(head[key])) for key in sorted(head)]
    lines.append('  "cells": [')
    lines += ["    " + dumped(cell) + ("," if i + 1 < len(result["cells"]) else "")
              for i, cell in enumerate(result["cells"])]
    lines += ["  ]", "}"]
    with open(path, "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")
