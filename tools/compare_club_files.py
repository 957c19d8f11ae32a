#!/usr/bin/env python3
"""Compares two club files table by table, e.g. after one cycle of the Linux
and one of the Windows build on the same seed and day.

Left aside: the run log table (times and GUIDs of its own run), the counter
rows' change times (SATZZAEHLER.LAENDERUNG) and the drawn keys of the overview
rows (tblMVAbteilungsuebersicht.uebID). The run log's entry texts and types
are compared in their order. Prints one line per table; exit code 1 when
anything differs.

usage: compare_club_files.py EXPECTED.db ACTUAL.db
"""
import sqlite3
import sys

SKIPPED_TABLES = {"tblALLGReorganisationProtokoll"}
SKIPPED_COLUMNS = {"SATZZAEHLER": {"LAENDERUNG"}, "tblMVAbteilungsuebersicht": {"uebID"}}


def tables(db):
    return sorted(r[0] for r in db.execute(
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%'"))


def rows(db, table):
    columns = [r[1] for r in db.execute(f'PRAGMA table_info("{table}")')
               if r[1] not in SKIPPED_COLUMNS.get(table, set())]
    # quote() renders every value with its storage class: 1, 1.0 and '1' differ.
    select = " || '|' || ".join(f'quote("{c}")' for c in columns)
    return sorted(r[0] for r in db.execute(f'SELECT {select} FROM "{table}"'))


def main(expected_path, actual_path):
    expected = sqlite3.connect(f"file:{expected_path}?mode=ro", uri=True)
    actual = sqlite3.connect(f"file:{actual_path}?mode=ro", uri=True)
    ok = True
    if tables(expected) != tables(actual):
        print(f"tables differ: {tables(expected)} vs {tables(actual)}")
        return 1
    for table in tables(expected):
        if table in SKIPPED_TABLES:
            continue
        want, got = rows(expected, table), rows(actual, table)
        same = want == got
        ok &= same
        note = ""
        if not same:
            diff = [(w, g) for w, g in zip(want, got) if w != g][:1]
            note = f"  first difference: {diff[0] if diff else 'row count'}"
        print(f"{table:32} {len(want):6} / {len(got):6} rows  {'equal' if same else 'DIFFERENT'}{note}")
    log = "SELECT reoEintrag, reoTyp FROM tblALLGReorganisationProtokoll ORDER BY reoID"
    same = list(expected.execute(log)) == list(actual.execute(log))
    ok &= same
    count = expected.execute("SELECT count(*) FROM tblALLGReorganisationProtokoll").fetchone()[0]
    print(f"{'run log entries (text, type)':32} {count:6} rows  {'equal' if same else 'DIFFERENT'}")
    return 0 if ok else 1


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
