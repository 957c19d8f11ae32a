#!/usr/bin/env python3
"""Compares two club files table by table, e.g. after one cycle of the Linux
and one of the Windows build on the same seed and day.

Values are compared by storage class and exact value (a real by its bits,
a text by its bytes). Left aside: the run log table (times and GUIDs of its
own run), the counter rows' change times (SATZZAEHLER.LAENDERUNG) and the
drawn keys of the overview rows (tblMVAbteilungsuebersicht.uebID), and the
order of the rows. The run log's entry texts and types are compared in their
order. Prints one line per table; exit code 1 when anything differs.

With --exact nothing is left aside: the same schema, then every table's rows
in rowid order. Prints nothing when the files are equal, else where they
first differ (exit code 1). The benchmark checks its replays with it.

usage: compare_club_files.py [--exact] EXPECTED.db ACTUAL.db
"""
import sqlite3
import sys

SKIPPED_TABLES = {"tblALLGReorganisationProtokoll"}
SKIPPED_COLUMNS = {"SATZZAEHLER": {"LAENDERUNG"}, "tblMVAbteilungsuebersicht": {"uebID"}}


def open_read_only(path):
    db = sqlite3.connect(f"file:{path}?mode=ro", uri=True)
    db.text_factory = bytes
    return db


def quoted(name):
    return '"' + name.replace('"', '""') + '"'


def tables(db):
    return sorted(r[0].decode() for r in db.execute(
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%'"))


def rows(db, table, exact):
    skipped = set() if exact else SKIPPED_COLUMNS.get(table, set())
    columns = [r[1].decode() for r in db.execute(f"PRAGMA table_info({quoted(table)})")
               if r[1].decode() not in skipped]
    # Each value with its storage class; a real by its bits.
    select = ", ".join(f"typeof({quoted(c)}), {quoted(c)}" for c in columns)
    order = ""
    if exact:
        without_rowid = db.execute(
            "SELECT sql LIKE '%WITHOUT ROWID%' FROM sqlite_master WHERE name = ?",
            (table,)).fetchone()[0]
        order = " ORDER BY 1" if without_rowid else " ORDER BY rowid"
    found = [tuple(value(v) for v in row)
             for row in db.execute(f"SELECT {select} FROM {quoted(table)}{order}")]
    return columns, (found if exact else sorted(found, key=repr))


def value(v):
    if isinstance(v, float):
        return v.hex()
    # surrogateescape keeps bytes that are not UTF-8 apart.
    return v.decode("utf-8", "surrogateescape") if isinstance(v, bytes) else v


def first_difference(columns, want, got):
    for row, (w, g) in enumerate(zip(want, got)):
        for i, name in enumerate(columns):
            if w[2 * i:2 * i + 2] != g[2 * i:2 * i + 2]:
                return f"row {row}, {name}: {w[2 * i:2 * i + 2]} / {g[2 * i:2 * i + 2]}"
    return f"row count {len(want)} / {len(got)}"


def exact(expected, actual):
    schema = "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name"
    if list(expected.execute(schema)) != list(actual.execute(schema)):
        print("schema differs")
        return 1
    for table in tables(expected):
        (columns, want), (_, got) = rows(expected, table, True), rows(actual, table, True)
        if want != got:
            print(f"{table}: {first_difference(columns, want, got)}")
            return 1
    return 0


def main(args):
    if len(args) not in (2, 3) or (len(args) == 3 and args[0] != "--exact"):
        sys.exit(__doc__)
    expected, actual = open_read_only(args[-2]), open_read_only(args[-1])
    if len(args) == 3:
        return exact(expected, actual)
    ok = True
    if tables(expected) != tables(actual):
        print(f"tables differ: {tables(expected)} vs {tables(actual)}")
        return 1
    for table in tables(expected):
        if table in SKIPPED_TABLES:
            continue
        (columns, want), (_, got) = rows(expected, table, False), rows(actual, table, False)
        same = want == got
        ok &= same
        note = "" if same else "  first difference: " + first_difference(columns, want, got)
        print(f"{table:32} {len(want):6} / {len(got):6} rows  {'equal' if same else 'DIFFERENT'}{note}")
    log = "SELECT reoEintrag, reoTyp FROM tblALLGReorganisationProtokoll ORDER BY reoID"
    same = list(expected.execute(log)) == list(actual.execute(log))
    ok &= same
    count = expected.execute("SELECT count(*) FROM tblALLGReorganisationProtokoll").fetchone()[0]
    print(f"{'run log entries (text, type)':32} {count:6} rows  {'equal' if same else 'DIFFERENT'}")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
