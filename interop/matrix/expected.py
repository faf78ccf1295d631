"""The table of expected differences: disagreements that are understood, each
explained in docs/interop.md under its id. A cell matches an entry when its
direction, version, kind and peer are each listed by the entry ("*" for any)."""

import json

from .compare import DISAGREE


def load(path):
    with open(path, encoding="utf-8") as source:
        entries = json.load(source)
    for entry in entries:
        for key in ("id", "direction", "versions", "kinds", "peers", "summary"):
            if key not in entry:
                raise ValueError("expected difference %r lacks %r" % (entry.get("id"), key))
    return entries


def _listed(allowed, value):
    return allowed == "*" or value in allowed


def explanation(entries, cell):
    for entry in entries:
        if (entry["direction"] == cell["direction"] and _listed(entry["versions"], cell["version"])
                and _listed(entry["kinds"], cell["kind"]) and _listed(entry["peers"], cell["peer"])):
            return entry["id"]
    return None


def annotate(entries, cells):
    """Marks each disagreement with the id that explains it (or None);
    returns the unexplained disagreements and the ids that matched nothing."""
    used = set()
    unexplained = []
    for cell in cells:
        if cell["status"] != DISAGREE:
            continue
        cell["explained"] = explanation(entries, cell)
        if cell["explained"] is None:
            unexplained.append(cell)
        else:
            used.add(cell["explained"])
    unused = [entry["id"] for entry in entries if entry["id"] not in used]
    return unexplained, unused
