#!/usr/bin/env python3
"""Seed corpora for the fuzz targets, made from the real databases of
tests/data/odb and the damage corpus built from them.

    python3 fuzz/make_seeds.py OUTDIR

Writes OUTDIR/scan_extract_fuzzer/ (the databases and every damaged file),
OUTDIR/manifest_fuzzer/ (their manifests, whole and cut short) and
OUTDIR/writer_fuzzer/ (folder descriptions holding each database's files).
Deterministic: the same inputs give the same seeds.
"""

import os
import shutil
import struct
import subprocess
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
ODB = os.path.join(TOP, "tests", "data", "odb")


def databases():
    return sorted(os.path.join(ODB, f) for f in os.listdir(ODB) if f.endswith(".odb"))


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def scan_seeds(out):
    folder = os.path.join(out, "scan_extract_fuzzer")
    os.makedirs(folder, exist_ok=True)
    for path in databases():
        shutil.copy(path, os.path.join(folder, os.path.basename(path)))
    damage = os.path.join(out, "damage")
    subprocess.run([sys.executable, os.path.join(TOP, "tests", "corpus", "make_damage.py"), damage],
                   check=True, stdout=subprocess.DEVNULL)
    for name in sorted(os.listdir(damage)):
        if name.endswith(".odb"):
            shutil.copy(os.path.join(damage, name), os.path.join(folder, name))


def manifest_seeds(out):
    folder = os.path.join(out, "manifest_fuzzer")
    for path in databases():
        with zipfile.ZipFile(path) as z:
            text = z.read("META-INF/manifest.xml")
        stem = os.path.basename(path)[:-4]
        write(folder, stem + ".xml", text)
        for cut in (len(text) // 3, len(text) // 2, len(text) - 20):
            write(folder, "%s_cut%d.xml" % (stem, cut), text[:cut])


def description(entries, tuning=0x7F, limit=0):
    """The writer target's input: settings, then one file record per entry."""
    data = bytes([tuning]) + struct.pack("<H", limit)
    for name, content in entries:
        raw = name.encode("utf-8")[:255]
        content = content[:0xFFFF]
        data += bytes([0, len(raw)]) + raw + struct.pack("<H", len(content)) + content + b"\0"
    return data


def writer_seeds(out):
    folder = os.path.join(out, "writer_fuzzer")
    for path in databases():
        with zipfile.ZipFile(path) as z:
            entries = [(i.filename, z.read(i.filename)[:4096]) for i in z.infolist()]
        stem = os.path.basename(path)[:-4]
        write(folder, stem + ".desc", description(entries))
        write(folder, stem + "_tight.desc", description(entries, tuning=0x43, limit=40))
    links = description([("content.xml", b"<x/>")]) + bytes([1, 8]) + b"link.xml" + bytes([2, 5]) + b"Forms"
    write(folder, "links.desc", links)


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    out = argv[1]
    scan_seeds(out)
    manifest_seeds(out)
    writer_seeds(out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
