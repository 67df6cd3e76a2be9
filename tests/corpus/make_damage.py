#!/usr/bin/env python3
"""Deterministic damage corpus made from the real databases of tests/data/odb.

    python3 tests/corpus/make_damage.py OUTDIR [--source DIR]

Writes OUTDIR/<original stem>__<damage>.odb for every damage below and
OUTDIR/cases.json, one record per damaged file:

    {"file": ..., "original": ..., "engine": "hsqldb" | "firebird",
     "damage": ..., "intact": [entry names], "lost": [entry names],
     "must_open": true, "expected_rows": {"T": 300, ...} or {}}

`intact` is computed from byte ranges: an entry survived when no damaged byte
falls inside its local header, data or data descriptor. Rows are expected
when the schema and a copy of the rows survived: for HSQLDB database/script
and database/data or database/backup, for Firebird database/firebird.fbk.
The same input always gives the same bytes (fixed seeds, no clock).
"""

import argparse
import json
import os
import random
import struct
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from make_databases import DATABASES, DEFAULT_OUT  # noqa: E402

LOCAL_SIG = b"PK\x03\x04"
DESCRIPTOR_SIG = b"PK\x07\x08"


class Layout:
    """Where each entry of an intact archive lies, and where its directory is."""

    def __init__(self, data):
        self.size = len(data)
        self.entries = {}  # name -> (start, data_start, data_end, end)
        with zipfile.ZipFile(_BytesFile(data)) as z:
            for info in z.infolist():
                start = info.header_offset
                name_len, extra_len = struct.unpack_from("<HH", data, start + 26)
                data_start = start + 30 + name_len + extra_len
                data_end = data_start + info.compress_size
                end = data_end
                if info.flag_bits & 0x08:
                    end += 16 if data[data_end:data_end + 4] == DESCRIPTOR_SIG else 12
                self.entries[info.filename] = (start, data_start, data_end, end)
        self.end_record = data.rfind(b"PK\x05\x06")
        self.directory = struct.unpack_from("<I", data, self.end_record + 16)[0]

    def ordered(self):
        return sorted(self.entries.items(), key=lambda kv: kv[1][0])


def _BytesFile(data):
    import io
    return io.BytesIO(data)


def junk(seed, length):
    """Random bytes without any "P", so they never look like a ZIP signature."""
    rng = random.Random(seed)
    return bytes(b if b != 0x50 else 0x51 for b in (rng.randrange(256) for _ in range(length)))


# Each damage returns (damaged bytes, destroyed ranges of the original,
# truncation length of the original or None). Inserted junk destroys nothing.
def truncate_at(at):
    return lambda data, lay: (data[:at(lay)], [], at(lay))


def overwrite(where, length, fill):
    def apply(data, lay):
        start = where(lay)
        n = min(length(lay), len(data) - start)
        block = fill(start, n)
        return data[:start] + block + data[start + n:], [(start, start + n)], None
    return apply


def insert(where, length, seed):
    def apply(data, lay):
        at = where(lay)
        return data[:at] + junk(seed, length) + data[at:], [], None
    return apply


def junk_between_all(data, lay):
    out = bytearray()
    last = 0
    for k, (_, (start, _, _, _)) in enumerate(lay.ordered()):
        out += data[last:start]
        if k:
            out += junk(100 + k, 97 + 31 * k)
        last = start
    out += data[last:]
    return bytes(out), [], None


def middle_of(name):
    return lambda lay: (lay.entries[name][1] + lay.entries[name][2]) // 2


def zeros(_start, n):
    return bytes(n)


def damages_for(engine):
    """(label, damage) pairs for one original; the names they touch must exist."""
    common = [
        ("trunc_after_mimetype", truncate_at(lambda l: l.entries["mimetype"][3])),
        ("trunc_in_manifest", truncate_at(middle_of("META-INF/manifest.xml"))),
        ("trunc_before_directory", truncate_at(lambda l: l.directory)),
        ("trunc_quarter", truncate_at(lambda l: l.size // 4)),
        ("trunc_half", truncate_at(lambda l: l.size // 2)),
        ("trunc_three_quarters", truncate_at(lambda l: l.size * 3 // 4)),
        ("garbage_over_directory", overwrite(lambda l: l.directory,
                                             lambda l: l.size - l.directory,
                                             lambda s, n: junk(s, n))),
        ("end_record_gone", truncate_at(lambda l: l.end_record)),
        ("junk_before_first", insert(lambda l: 0, 1000, 7)),
        ("junk_between_entries", junk_between_all),
        ("zeros_in_content", overwrite(middle_of("content.xml"), lambda l: 64, zeros)),
        ("header_of_content_destroyed", overwrite(lambda l: l.entries["content.xml"][0],
                                                  lambda l: 30, lambda s, n: junk(s, n))),
    ]
    if engine == "hsqldb":
        return common + [
            ("trunc_in_data", truncate_at(middle_of("database/data"))),
            ("zeros_in_data", overwrite(middle_of("database/data"), lambda l: 64, zeros)),
            ("zeros_in_backup", overwrite(middle_of("database/backup"), lambda l: 64, zeros)),
            ("header_of_data_destroyed", overwrite(lambda l: l.entries["database/data"][0],
                                                   lambda l: 30, lambda s, n: junk(s, n))),
            ("header_of_script_destroyed", overwrite(lambda l: l.entries["database/script"][0],
                                                     lambda l: 30, lambda s, n: junk(s, n))),
        ]
    return common + [
        ("trunc_in_fbk", truncate_at(middle_of("database/firebird.fbk"))),
        ("zeros_in_fbk", overwrite(middle_of("database/firebird.fbk"), lambda l: 64, zeros)),
        ("header_of_fbk_destroyed", overwrite(lambda l: l.entries["database/firebird.fbk"][0],
                                              lambda l: 30, lambda s, n: junk(s, n))),
    ]


def survivors(lay, destroyed, cut):
    intact = []
    for name, (start, _, _, end) in lay.entries.items():
        if cut is not None and end > cut:
            continue
        if any(a < end and start < b for a, b in destroyed):
            continue
        intact.append(name)
    return intact


def expected_rows(engine, intact, tables):
    kept = set(intact)
    if engine == "hsqldb":
        ok = "database/script" in kept and ({"database/data", "database/backup"} & kept)
    else:
        ok = "database/firebird.fbk" in kept
    return dict(tables) if ok else {}


def check_case(original, lay, damaged, intact):
    """The byte-range verdict against the bytes: an entry counted intact is
    found whole (header, data, descriptor) in the damaged file; a lost one
    is not. Raises AssertionError on a mismatch."""
    for name, (start, _, _, end) in lay.entries.items():
        whole = damaged.find(original[start:end]) >= 0
        if whole != (name in intact):
            raise AssertionError("%s: computed %s, but it is %s in the damaged bytes" % (
                name, "intact" if name in intact else "lost",
                "whole" if whole else "not whole"))


def make_corpus(source, out):
    os.makedirs(out, exist_ok=True)
    cases = []
    for original, spec in DATABASES.items():
        with open(os.path.join(source, original), "rb") as f:
            data = f.read()
        lay = Layout(data)
        stem = os.path.splitext(original)[0]
        for label, damage in damages_for(spec["engine"]):
            damaged, destroyed, cut = damage(data, lay)
            name = "%s__%s.odb" % (stem, label)
            with open(os.path.join(out, name), "wb") as f:
                f.write(damaged)
            intact = sorted(survivors(lay, destroyed, cut))
            check_case(data, lay, damaged, intact)
            cases.append({
                "file": name, "original": original, "engine": spec["engine"],
                "damage": label, "intact": intact,
                "lost": sorted(set(lay.entries) - set(intact)),
                "must_open": True,
                "expected_rows": expected_rows(spec["engine"], intact, spec["tables"]),
            })
    with open(os.path.join(out, "cases.json"), "w") as f:
        json.dump(cases, f, indent=1, sort_keys=True)
    return cases


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--source", default=DEFAULT_OUT)
    args = parser.parse_args(argv[1:])
    cases = make_corpus(args.source, args.out)
    print("%d damaged files in %s" % (len(cases), args.out))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
