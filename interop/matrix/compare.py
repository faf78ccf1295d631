"""Whether what a reader reports for a kind is the value that was written,
and a short account of what it reported, for the report's tables."""

import re

AGREE, DISAGREE, NA = "agree", "disagree", "n-a"


def _numbers(text):
    """"03/12" and "3/12" are the same track: compare the numbers."""
    match = re.fullmatch(r"\s*0*(\d+)\s*(?:/\s*0*(\d+))?\s*", text or "")
    return (int(match.group(1)), int(match.group(2)) if match.group(2) else None) if match else text


def _mime(text):
    """Picture formats: "PNG" (ID3v2.2) and "image/png" name the same format."""
    text = (text or "").strip().lower()
    return text if "/" in text else "image/" + text


def _short(text, limit=40):
    text = repr(text) if not isinstance(text, str) else text
    return text if len(text) <= limit else text[:limit - 1] + "…"


def _bytes_note(hex_text):
    return "%d B" % (len(hex_text or "") // 2)


def _record_mismatches(expected, seen, keys):
    return [key for key in keys if seen.get(key) != expected.get(key)]


def compare(kind, values):
    """(status, seen) for one cell: values is what the reader reported."""
    field, expected = kind.field, kind.value
    seen = values.get(field)
    if seen is None:
        return DISAGREE, "absent"
    if field in ("track", "disc"):
        same = _numbers(seen) == _numbers(expected["text"])
        return (AGREE if same else DISAGREE), _short(seen)
    if field in ("title", "artist", "album", "genre"):
        same = seen == expected["text"] or seen in kind.accept
        return (AGREE if same else DISAGREE), _short(seen)
    if field in ("url", "date"):
        return (AGREE if seen == expected[field] else DISAGREE), _short(seen)
    if field == "picture":
        wrong = []
        if _mime(seen.get("mime")) != _mime(expected["mime"]):
            wrong.append("mime " + _short(seen.get("mime"), 20))
        if seen.get("data") != expected["data"]:
            wrong.append("data differs (%s)" % _bytes_note(seen.get("data")))
        note = "%s, %s" % (_short(seen.get("mime"), 20), _bytes_note(seen.get("data")))
        if "type" in seen:
            note += ", type %s" % seen["type"]
        return (DISAGREE, "; ".join(wrong)) if wrong else (AGREE, note)
    if field == "musicid":
        wrong = _record_mismatches(expected, seen, ("owner", "data"))
        note = "%s, %s" % (_short(seen.get("owner"), 30), _bytes_note(seen.get("data")))
        return (DISAGREE if wrong else AGREE), (("differs: " + ", ".join(wrong) + "; ") if wrong else "") + note
    if field == "object":
        wrong = _record_mismatches(expected, seen, ("description", "mime", "data"))
        note = "%s, %s, %s" % (seen.get("description"), _short(seen.get("mime"), 25), _bytes_note(seen.get("data")))
        return (DISAGREE if wrong else AGREE), (("differs: " + ", ".join(wrong) + "; ") if wrong else "") + note
    if field in ("txxx", "comm"):
        keys = ("text", "lang") if field == "comm" and "lang" in seen else ("text",)
        wrong = _record_mismatches(expected, seen, keys)
        note = _short(seen.get("text"))
        if "lang" in seen:
            note += " [%s]" % _short(seen["lang"], 8)
        return (DISAGREE if wrong else AGREE), (("differs: " + ", ".join(wrong) + "; ") if wrong else "") + note
    raise ValueError("unknown field " + field)
