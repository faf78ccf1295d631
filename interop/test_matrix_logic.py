#!/usr/bin/python3
"""Unit tests of the matrix driver's own logic: when a reported value counts
as the written one, how expected differences match cells, and that
regenerating the document keeps its hand-written text."""

import os
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from matrix import expected, report  # noqa: E402
from matrix.compare import AGREE, DISAGREE, compare  # noqa: E402
from matrix.kinds import KINDS_BY_NAME  # noqa: E402


class CompareTest(unittest.TestCase):
    def check(self, kind, values, status):
        got, seen = compare(KINDS_BY_NAME[kind], values)
        self.assertEqual(got, status, "%s %r -> %s (%s)" % (kind, values, got, seen))

    def test_text_and_numbers(self):
        cases = [
            ("text_nonlatin", {"album": "東京 Ωμέγα Москва 🎵"}, AGREE),
            ("text_nonlatin", {"album": "?? ????? ?????? ?"}, DISAGREE),
            ("text_latin1", {}, DISAGREE),
            ("track", {"track": "03/12"}, AGREE),
            ("track", {"track": "3"}, DISAGREE),
            ("disc", {"disc": "1/3"}, DISAGREE),
            ("genre_number", {"genre": "Rock"}, AGREE),
            ("genre_number", {"genre": "17"}, DISAGREE),
            ("genre_name", {"genre": "(17)"}, DISAGREE),
            ("date", {"date": "2019"}, DISAGREE),
            ("date", {"date": "2019-05-03"}, AGREE),
        ]
        for kind, values, status in cases:
            self.check(kind, values, status)

    def test_records(self):
        picture = dict(KINDS_BY_NAME["picture"].value)
        music_id = dict(KINDS_BY_NAME["musicid"].value)
        comment = dict(KINDS_BY_NAME["comm"].value)
        cases = [
            ("picture", {"picture": dict(picture, mime="PNG", type=0)}, AGREE),
            ("picture", {"picture": dict(picture, data="00" + picture["data"])}, DISAGREE),
            ("picture", {"picture": dict(picture, mime="image/jpeg")}, DISAGREE),
            ("musicid", {"musicid": dict(music_id, data=music_id["data"] + "00")}, DISAGREE),
            ("musicid", {"musicid": dict(music_id, owner="http://example.org")}, DISAGREE),
            ("comm", {"comm": dict(comment, lang="XXX")}, DISAGREE),
            ("comm", {"comm": {"description": "iTunSMPB", "text": comment["text"]}}, AGREE),
        ]
        for kind, values, status in cases:
            self.check(kind, values, status)


def cell(direction="peer-to-tagmill", version="2.3", kind="date", peer="eyeD3", status=DISAGREE):
    return {"direction": direction, "version": version, "kind": kind, "peer": peer, "status": status,
            "seen": "absent", "note": ""}


class ExpectedTest(unittest.TestCase):
    ENTRIES = [
        {"id": "A", "direction": "peer-to-tagmill", "versions": ["2.3"], "kinds": ["date"],
         "peers": ["eyeD3"], "summary": ""},
        {"id": "B", "direction": "tagmill-to-peer", "versions": "*", "kinds": "*", "peers": ["ffmpeg"],
         "summary": ""},
    ]

    def test_matching(self):
        cases = [
            (cell(), "A"),
            (cell(version="2.4"), None),
            (cell(peer="mutagen"), None),
            (cell(direction="tagmill-to-peer"), None),
            (cell(direction="tagmill-to-peer", peer="ffmpeg", kind="picture", version="2.2"), "B"),
        ]
        for one, wanted in cases:
            self.assertEqual(expected.explanation(self.ENTRIES, one), wanted, one)

    def test_annotate_reports_unexplained_and_unused(self):
        cells = [cell(), cell(peer="TagLib"), cell(peer="TagLib", status=AGREE)]
        unexplained, unused = expected.annotate(self.ENTRIES, cells)
        self.assertEqual(unexplained, [cells[1]])
        self.assertEqual(unused, ["B"])
        self.assertEqual(cells[0]["explained"], "A")


class ReportTest(unittest.TestCase):
    def test_update_keeps_hand_written_text(self):
        result = {"peers": {"eyeD3": {"available": True, "version": "1", "reason": ""}},
                  "tagmill_writes": {"program": ["title"], "library": ["comm"]},
                  "cells": [dict(cell(), explained="A")]}
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "doc.md")
            with open(path, "w", encoding="utf-8") as out:
                out.write("intro\n%s\nold table\n%s\nexplanations\n" % (report.BEGIN, report.END))
            report.update_doc(path, result)
            report.update_doc(path, result)
            with open(path, encoding="utf-8") as source:
                text = source.read()
        self.assertTrue(text.startswith("intro\n" + report.BEGIN))
        self.assertTrue(text.endswith(report.END + "\nexplanations\n"))
        self.assertNotIn("old table", text)
        self.assertEqual(text.count(report.BEGIN), 1)
        self.assertIn("| release date | ✗ A |", text)


if __name__ == "__main__":
    unittest.main()
