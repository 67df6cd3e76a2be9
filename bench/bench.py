#!/usr/bin/env python3
"""Keelmend's speed and memory benchmark.

Makes its own inputs (deterministic, into $KEELMEND_BENCH_DIR or
/tmp/keelmend-bench): damaged embedded-HSQLDB databases whose entries hold
about 10 MB, 100 MB and 1 GB uncompressed (one big database/data entry of
row-like bytes plus the small entries LibreOffice writes, the central
directory lost and the manifest cut short), and a 1 GB file with no ZIP
header at all.

On the same inputs, in the same run, it times
  * keelmend-cli repair FILE --out DIR --no-media   (repair and save),
  * the peer pipeline: bsdtar -xf FILE, then zip -8 -r -q of what came out,
  * keelmend-cli scan FILE and cat FILE > /dev/null  (the header-less file),
  * the window (keelmend_window_bench, offscreen) on the largest database,
and prints wall time, CPU time (user + sys) and peak memory (max RSS) of
each, the medians of several runs, the ratios and every target as met or not
met. Runs of the tools being compared alternate, so that load from elsewhere
on the machine falls on both.

Usually started by bench/run.sh, which builds the project in Release first.
"""

from __future__ import annotations

import argparse
import os
import shutil
import statistics
import struct
import subprocess
import sys
import time
import zipfile
import zlib
from dataclasses import dataclass, field
from pathlib import Path

TIME = "/usr/bin/time"
BENCH_TMP = Path("/tmp")  # set to the bench folder in main()
MB = 1_000_000
MIB = 1024 * 1024

# Targets.
SCAN_MAX_RATIO = 1.5         # scan of the header-less file against cat
REPAIR_MAX_RATIO = 0.6       # repair and save against bsdtar + zip -8
PEAK_MAX_MIB = 64            # peak memory of keelmend-cli, any input
LINEAR_MAX_GROWTH = 1.25     # time per byte of a larger input against a smaller one
WINDOW_MAX_SLOWDOWN = 1.05   # window job against the CLI on the same file

# ---------------------------------------------------------------------------
# Input generation
# ---------------------------------------------------------------------------

FIRST_NAMES = [
    "Anna", "Bernd", "Carla", "Dieter", "Elena", "Frank", "Greta", "Hans", "Ilse", "Jonas",
    "Karin", "Lukas", "Maria", "Nils", "Olga", "Peter", "Quirin", "Rosa", "Stefan", "Tanja",
    "Uwe", "Vera", "Walter", "Xenia", "Yusuf", "Zoe", "Amelie", "Bruno", "Clara", "David",
]
LAST_NAMES = [
    "Schmidt", "Meyer", "Weber", "Fischer", "Wagner", "Becker", "Hoffmann", "Koch", "Richter",
    "Klein", "Wolf", "Neumann", "Schwarz", "Zimmermann", "Braun", "Hartmann", "Lange", "Krause",
    "Lehmann", "Koehler", "Walter", "Peters", "Moeller", "Jung", "Hahn", "Vogel", "Friedrich",
]
CITIES = [
    "Berlin", "Hamburg", "Muenchen", "Koeln", "Frankfurt am Main", "Stuttgart", "Duesseldorf",
    "Leipzig", "Dortmund", "Essen", "Bremen", "Dresden", "Hannover", "Nuernberg", "Duisburg",
    "Bochum", "Wuppertal", "Bielefeld", "Bonn", "Muenster", "Mannheim", "Karlsruhe", "Augsburg",
]
STREETS = ["Hauptstrasse", "Schulstrasse", "Gartenweg", "Bahnhofstrasse", "Dorfstrasse",
           "Bergstrasse", "Lindenallee", "Kirchweg", "Muehlenweg", "Am Markt", "Ringstrasse"]
NOTE_WORDS = (
    "Lieferung Rechnung offen bezahlt Kunde wuenscht Rueckruf Termin verschoben Ersatzteil bestellt "
    "Garantie abgelaufen Reklamation erledigt Angebot gesendet Mahnung zweite Stufe Skonto Rabatt "
    "Vertrag verlaengert gekuendigt neu Adresse geaendert Telefon Email Fax bitte nicht vor Uhr anrufen "
    "Lager Bestand niedrig nachbestellen Versand per Spedition Paket Abholung Filiale Montag Dienstag "
    "Mittwoch Donnerstag Freitag Samstag dringend Prioritaet hoch mittel niedrig Stammkunde seit Jahren "
    "Zahlung Vorkasse Lastschrift Ueberweisung Kreditkarte Bar Konto Bank IBAN geprueft fehlt Unterschrift"
).split()
PRODUCTS = ["Schraube M6", "Mutter M6", "Unterlegscheibe", "Winkel 90", "Duebel 8mm",
            "Holzschraube 4x40", "Kabelbinder", "Scharnier", "Griff Edelstahl", "Rolle 50mm"]

ROW_BLOCK = 999_983       # distinct row material per block (not a power of two)
ROW_BLOCKS = 12           # distinct blocks; the big entry is tiled from them
DOS_TIME = (14 << 11) | (5 << 5)            # 14:05:00
DOS_DATE = ((2024 - 1980) << 9) | (3 << 5) | 4  # 2024-03-04


class Lcg:
    """A small deterministic generator (the same bytes on every machine)."""

    def __init__(self, seed: int):
        self.state = seed & 0xFFFFFFFFFFFFFFFF

    def next(self) -> int:
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) & 0xFFFFFFFFFFFFFFFF
        return self.state >> 33

    def below(self, n: int) -> int:
        return self.next() % n


def utf(text: str) -> bytes:
    data = text.encode()
    return struct.pack(">H", len(data)) + data


def row_block(seed: int, first_id: int) -> bytes:
    """Rows of a cached HSQLDB table as its data file holds them: a size, the
    AVL node (balance and three file positions), then the columns written the
    Java way (big-endian integers, length-prefixed UTF-8 strings)."""
    rng = Lcg(seed)
    out = bytearray()
    row_id = first_id
    while len(out) < ROW_BLOCK:
        position = (len(out) + seed * ROW_BLOCK) // 8
        body = bytearray()
        body += struct.pack(">iiii", rng.below(3) - 1, position - rng.below(4000),
                            position + rng.below(4000), position - rng.below(100000))
        body += struct.pack(">i", row_id)
        body += utf(FIRST_NAMES[rng.below(len(FIRST_NAMES))])
        body += utf(LAST_NAMES[rng.below(len(LAST_NAMES))])
        body += utf(f"{STREETS[rng.below(len(STREETS))]} {1 + rng.below(120)}")
        body += utf(f"{10000 + rng.below(89999):05d}")
        body += utf(CITIES[rng.below(len(CITIES))])
        body += utf(PRODUCTS[rng.below(len(PRODUCTS))])
        body += struct.pack(">iq", 1 + rng.below(500), 1_577_836_800_000 + rng.below(1 << 31) * 1000)
        body += struct.pack(">qb", rng.below(10_000_000), rng.below(2))
        body += utf(" ".join(NOTE_WORDS[rng.below(len(NOTE_WORDS))] for _ in range(4 + rng.below(16))))
        body += b"\0" * (-(len(body) + 4) % 8)  # rows start on 8-byte positions
        out += struct.pack(">i", len(body) + 4) + body
        row_id += 1
    return bytes(out[:ROW_BLOCK])


@dataclass
class DeflatedBlocks:
    """The distinct row blocks, each also as a raw deflate piece that ends on a
    byte border without ending the stream (a full flush: no match reaches
    into it from outside), so pieces in any order form one valid stream."""

    plain: list[bytes]
    pieces: list[bytes]


def make_row_blocks() -> DeflatedBlocks:
    plain, pieces = [], []
    for i in range(ROW_BLOCKS):
        block = row_block(1000 + i, 1 + i * 20000)
        c = zlib.compressobj(6, zlib.DEFLATED, -15)
        plain.append(block)
        pieces.append(c.compress(block) + c.flush(zlib.Z_FULL_FLUSH))
    return DeflatedBlocks(plain, pieces)


STREAM_END = b"\x03\x00"  # an empty final block with fixed codes


class ZipBuilder:
    """Writes local headers and data the way LibreOffice does (the database
    entries deflated with flag bit 3, zero sizes in the local header and a
    data descriptor after the data). No central directory: it is lost."""

    def __init__(self, out):
        self.out = out

    def header(self, name: str, method: int, flags: int, crc=0, csize=0, usize=0):
        raw = name.encode()
        self.out.write(struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, method, DOS_TIME, DOS_DATE,
                                   crc, csize, usize, len(raw), 0) + raw)

    def stored(self, name: str, data: bytes):
        self.header(name, 0, 0x0800, zlib.crc32(data), len(data), len(data))
        self.out.write(data)

    def deflated(self, name: str, data: bytes):
        c = zlib.compressobj(6, zlib.DEFLATED, -15)
        packed = c.compress(data) + c.flush()
        self.header(name, 8, 0x0808)
        self.out.write(packed)
        self.descriptor(zlib.crc32(data), len(packed), len(data))

    def descriptor(self, crc: int, csize: int, usize: int):
        self.out.write(struct.pack("<IIII", 0x08074B50, crc, csize, usize))


CONTENT_XML = """<?xml version="1.0" encoding="UTF-8"?>
<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" \
xmlns:xlink="http://www.w3.org/1999/xlink" \
xmlns:db="urn:oasis:names:tc:opendocument:xmlns:database:1.0" office:version="1.2">\
<office:body><office:database><db:data-source>\
<db:connection-data><db:connection-resource xlink:href="sdbc:embedded:hsqldb"/>\
<db:login db:is-password-required="false"/></db:connection-data>\
<db:driver-settings db:system-driver-settings="" db:base-dn="" db:parameter-name-substitution="false"/>\
<db:application-connection-settings db:is-table-name-length-limited="false" \
db:append-table-alias-name="false" db:max-row-count="100">\
<db:table-filter><db:table-include-filter><db:table-filter-pattern>%</db:table-filter-pattern>\
</db:table-include-filter></db:table-filter></db:application-connection-settings>\
</db:data-source><db:table-representations><db:table-representation db:name="KUNDEN"/>\
</db:table-representations></office:database></office:body></office:document-content>
"""
SETTINGS_XML = """<?xml version="1.0" encoding="UTF-8"?>
<office:document-settings xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" \
xmlns:config="urn:oasis:names:tc:opendocument:xmlns:config:1.0" office:version="1.2">\
<office:settings/></office:document-settings>
"""
SCRIPT = """SET DATABASE COLLATION "Latin1_General"
CREATE SCHEMA PUBLIC AUTHORIZATION DBA
CREATE CACHED TABLE "KUNDEN"("ID" INTEGER NOT NULL PRIMARY KEY,"VORNAME" VARCHAR(50),\
"NAME" VARCHAR(50),"STRASSE" VARCHAR(80),"PLZ" VARCHAR(5),"ORT" VARCHAR(50),"ARTIKEL" VARCHAR(50),\
"MENGE" INTEGER,"DATUM" TIMESTAMP,"BETRAG" BIGINT,"AKTIV" BOOLEAN,"NOTIZ" VARCHAR(300))
SET TABLE "KUNDEN" INDEX'32 0'
CREATE USER SA PASSWORD ""
GRANT DBA TO SA
SET WRITE_DELAY 60
"""
PROPERTIES = """#HSQL Database Engine 1.8.0.10
version=1.8.0
modified=no
hsqldb.cache_version=1.7.0
hsqldb.original_version=1.8.0
hsqldb.compatible_version=1.8.0
"""
MANIFEST = """<?xml version="1.0" encoding="UTF-8"?>
<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" \
manifest:version="1.2">
 <manifest:file-entry manifest:full-path="/" manifest:media-type="application/vnd.oasis.opendocument.base"/>
 <manifest:file-entry manifest:full-path="settings.xml" manifest:media-type="text/xml"/>
 <manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>
 <manifest:file-entry manifest:full-path="database/data" manifest:media-type=""/>
 <manifest:file-entry manifest:full-path="database/backup" manifest:media-type=""/>
 <manifest:file-entry manifest:full-path="database/script" manifest:media-type=""/>
 <manifest:file-entry manifest:full-path="database/properties" manifest:media-type=""/>
</manifest:manifest>
"""


def small_entries() -> list[tuple[str, bytes]]:
    backup_rng = Lcg(77)
    backup = bytes(backup_rng.below(256) for _ in range(48 * 1024))  # a zip of the data: dense
    return [
        ("settings.xml", SETTINGS_XML.encode()),
        ("content.xml", CONTENT_XML.encode()),
        ("database/backup", backup),
        ("database/script", SCRIPT.encode()),
        ("database/properties", PROPERTIES.encode()),
    ]


@dataclass
class Database:
    label: str
    path: Path
    total: int          # uncompressed bytes of all entries
    data_crc: int       # CRC-32 of database/data
    data_size: int


def write_database(path: Path, total: int, blocks: DeflatedBlocks) -> Database:
    """A damaged database whose entries hold `total` bytes: the central
    directory is lost and the file ends inside the manifest."""
    smalls = small_entries()
    data_size = total - sum(len(d) for _, d in smalls) - len(MANIFEST) - len("application/vnd.oasis.opendocument.base")
    rng = Lcg(total)
    crc = 0
    with open(path, "wb") as f:
        z = ZipBuilder(f)
        z.stored("mimetype", b"application/vnd.oasis.opendocument.base")
        for name, data in smalls[:2]:
            z.deflated(name, data)
        z.header("database/data", 8, 0x0808)
        left, packed = data_size, 0
        while left > 0:
            i = rng.below(ROW_BLOCKS)
            block = blocks.plain[i]
            if left >= len(block):
                piece = blocks.pieces[i]
            else:
                block = block[:left]
                c = zlib.compressobj(6, zlib.DEFLATED, -15)
                piece = c.compress(block) + c.flush(zlib.Z_FULL_FLUSH)
            f.write(piece)
            packed += len(piece)
            crc = zlib.crc32(block, crc)
            left -= len(block)
        f.write(STREAM_END)
        z.descriptor(crc, packed + len(STREAM_END), data_size)
        for name, data in smalls[2:]:
            z.deflated(name, data)
        cut = f.tell()
        z.deflated("META-INF/manifest.xml", MANIFEST.encode())
        f.truncate(cut + 30 + len("META-INF/manifest.xml") + 40)  # cut short inside the manifest
    label = f"{total // MB} MB" if total < 1000 * MB else f"{total // (1000 * MB)} GB"
    return Database(label, path, total, crc, data_size)


def write_headerless(path: Path, size: int):
    """Random-looking bytes without a single "PK\\3\\4": blocks that end in
    three zero bytes, so no signature can straddle two of them either."""
    import random
    rand = random.Random(4242)
    blocks = []
    for _ in range(16):
        b = bytearray(rand.randbytes(MIB - 3)) + b"\0\0\0"
        at = b.find(b"PK\x03\x04")
        while at >= 0:
            b[at + 3] = 0x05
            at = b.find(b"PK\x03\x04", at)
        blocks.append(bytes(b))
    rng = Lcg(size)
    with open(path, "wb") as f:
        left = size
        while left > 0:
            block = blocks[rng.below(len(blocks))][:left]
            f.write(block)
            left -= len(block)


# ---------------------------------------------------------------------------
# Measuring
# ---------------------------------------------------------------------------

@dataclass
class Run:
    wall: float
    cpu: float
    peak_kib: int


@dataclass
class Series:
    runs: list[Run] = field(default_factory=list)

    def add(self, run: Run):
        self.runs.append(run)

    @property
    def wall(self) -> float:
        return statistics.median(r.wall for r in self.runs)

    @property
    def cpu(self) -> float:
        return statistics.median(r.cpu for r in self.runs)

    @property
    def peak_mib(self) -> float:
        return max(r.peak_kib for r in self.runs) / 1024


class CommandFailed(RuntimeError):
    pass


def measure(argv, *, cwd=None, stdout=subprocess.DEVNULL, env=None, ok_codes=(0,)) -> Run:
    """Runs one command under /usr/bin/time: wall time, user + sys time and
    max RSS of the command (and of every process it waited for). The time
    program is a small process of its own, so the RSS of this script, which
    a forked child would report as its own, stays out of the figures."""
    report = BENCH_TMP / "time.txt"
    start = time.perf_counter()
    proc = subprocess.run([TIME, "-f", "%U %S %M", "-o", report, *argv], cwd=cwd, stdout=stdout,
                          stderr=subprocess.PIPE, env=env)
    wall = time.perf_counter() - start
    if proc.returncode not in ok_codes:
        err = proc.stderr.decode(errors="replace")
        raise CommandFailed(f"{' '.join(map(str, argv))} exited with {proc.returncode}:\n{err[-2000:]}")
    user, system, peak = report.read_text().split()[-3:]
    return Run(wall, float(user) + float(system), int(peak))


def combined(*runs: Run) -> Run:
    """Steps run one after the other: times add up, the peak is the largest."""
    return Run(sum(r.wall for r in runs), sum(r.cpu for r in runs), max(r.peak_kib for r in runs))


def warm(path: Path):
    with open(path, "rb") as f:
        while f.read(8 * MIB):
            pass


class Bench:
    def __init__(self, args):
        self.args = args
        self.dir = Path(args.dir)
        self.cli = Path(args.build) / "cli" / "keelmend-cli"
        self.window = Path(args.window) if args.window else None
        self.env = dict(os.environ, TMPDIR=str(self.dir / "tmp"))

    def clear(self, path: Path):
        shutil.rmtree(path, ignore_errors=True)
        path.mkdir(parents=True)

    def keelmend_repair(self, db: Database) -> Run:
        out = self.dir / "out-keelmend"
        self.clear(out)
        with open(self.dir / "keelmend.log", "wb") as log:
            return measure([self.cli, "repair", db.path, "--out", out, "--no-media"], stdout=log, env=self.env)

    def peer_repair(self, db: Database) -> Run:
        work = self.dir / "out-peer"
        self.clear(work)
        (work / "x").mkdir()
        # bsdtar stops with an error at the cut-short manifest; what it got out is packed.
        extract = measure(["bsdtar", "-xf", db.path, "-C", work / "x"], ok_codes=(0, 1))
        pack = measure(["zip", "-8", "-r", "-q", work / "repaired.odb", "."], cwd=work / "x")
        return combined(extract, pack)

    def window_repair(self, db: Database) -> Run:
        out = self.dir / "out-window"
        self.clear(out)
        env = dict(self.env, QT_QPA_PLATFORM="offscreen")
        return measure([self.window, db.path, out], env=env)

    def check_repaired(self, archive: Path, db: Database, who: str):
        """A repair that reports success must have kept every row."""
        with zipfile.ZipFile(archive) as z:
            bad = z.testzip()
            if bad is not None:
                raise CommandFailed(f"{who}: {archive} holds a damaged entry {bad}")
            info = z.getinfo("database/data")
            if info.CRC != db.data_crc or info.file_size != db.data_size:
                raise CommandFailed(f"{who}: {archive} lost rows of database/data")
            if z.namelist()[0] != "mimetype":
                raise CommandFailed(f"{who}: {archive} does not start with mimetype")

    def alternate(self, tools, runs: int):
        """Runs the tools in turn, `runs` rounds; returns one Series each."""
        series = [Series() for _ in tools]
        for _ in range(runs):
            for s, tool in zip(series, tools):
                s.add(tool())
        return series


# ---------------------------------------------------------------------------
# Report
# ---------------------------------------------------------------------------

def cells(label: str, job: str, series: Series, ratio: str = "") -> list[str]:
    """One line of the table; "cores used" is CPU time over wall time."""
    return [label, job, f"{series.wall:.2f}", f"{series.cpu:.2f}", f"{series.cpu / series.wall:.2f}",
            f"{series.peak_mib:.1f}", ratio]


def fmt_row(cells, widths):
    return "| " + " | ".join(str(c).ljust(w) for c, w in zip(cells, widths)) + " |"


def table(rows):
    header = ["input", "job", "wall s", "CPU s", "cores used", "peak MiB", "wall ratio"]
    widths = [max(len(str(r[i])) for r in [header] + rows) for i in range(len(header))]
    lines = [fmt_row(header, widths), "|" + "|".join("-" * (w + 2) for w in widths) + "|"]
    lines += [fmt_row(r, widths) for r in rows]
    return "\n".join(lines)


def verdict(ok: bool) -> str:
    return "met" if ok else "NOT met"


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True, help="build folder holding cli/keelmend-cli")
    parser.add_argument("--window", help="the window benchmark program (keelmend_window_bench)")
    parser.add_argument("--window-skip-reason", default="", help="why the window was not measured")
    parser.add_argument("--dir", default=os.environ.get("KEELMEND_BENCH_DIR", "/tmp/keelmend-bench"),
                        help="folder for the inputs and outputs (removed at the end)")
    parser.add_argument("--runs", type=int, default=3, help="runs of each job per input (median)")
    parser.add_argument("--big-runs", type=int, default=2, help="runs per job on the 1 GB database")
    parser.add_argument("--sizes", default="10,100,1000", help="database sizes in MB")
    parser.add_argument("--headerless-mb", type=int, default=1000, help="size of the header-less file")
    parser.add_argument("--keep", action="store_true", help="keep the inputs and outputs")
    parser.add_argument("--markdown", help="also write the table and verdicts to this file")
    args = parser.parse_args()

    for tool in ("bsdtar", "zip", "cat", TIME):
        if shutil.which(tool) is None:
            print(f"bench: {tool} is missing (apt-get install libarchive-tools zip time)", file=sys.stderr)
            return 2
    bench = Bench(args)
    if not bench.cli.is_file():
        print(f"bench: {bench.cli} not found; build first (bench/run.sh does)", file=sys.stderr)
        return 2
    sizes = [int(s) * MB for s in args.sizes.split(",")]
    bench.dir.mkdir(parents=True, exist_ok=True)
    (bench.dir / "tmp").mkdir(exist_ok=True)
    global BENCH_TMP
    BENCH_TMP = bench.dir
    # bench/run.sh passes the moment it began, so the build counts as well.
    began = os.environ.get("KEELMEND_BENCH_STARTED")
    started = time.perf_counter() - (time.time() - float(began) if began else 0.0)
    try:
        return run(bench, sizes, args, started)
    finally:
        if not args.keep:
            shutil.rmtree(bench.dir, ignore_errors=True)


def run(bench: Bench, sizes, args, started) -> int:
    load_at_start = os.getloadavg()[0]
    print(f"bench: making inputs in {bench.dir} ...", flush=True)
    blocks = make_row_blocks()
    ratio = sum(map(len, blocks.plain)) / sum(map(len, blocks.pieces))
    databases = [write_database(bench.dir / f"damaged_{s // MB}MB.odb", s, blocks) for s in sizes]
    headerless = bench.dir / "no_header.bin"
    write_headerless(headerless, args.headerless_mb * MB)
    print(f"bench: inputs ready ({time.perf_counter() - started:.0f} s; rows compress {ratio:.1f}:1)",
          flush=True)

    rows, verdicts = [], []
    repair = {}
    largest = max(databases, key=lambda d: d.total)
    window = None
    for db in databases:
        warm(db.path)
        big = db is largest and db.total >= 1000 * MB
        runs = args.big_runs if big else args.runs
        tools = [lambda: bench.keelmend_repair(db), lambda: bench.peer_repair(db)]
        with_window = db is largest and bench.window is not None
        if with_window:
            tools.append(lambda: bench.window_repair(db))
        print(f"bench: {db.label} database, {runs} rounds of {len(tools)} jobs ...", flush=True)
        series = bench.alternate(tools, runs)
        ours, peer = series[0], series[1]
        bench.check_repaired(bench.dir / "out-keelmend" / f"VANTRELREP_{db.path.name}", db, "keelmend-cli")
        if with_window:
            window = series[2]
            bench.check_repaired(bench.dir / "out-window" / f"VANTRELREP_{db.path.name}", db, "window")
        repair[db.label] = (db, ours, peer)
        r = ours.wall / peer.wall
        rows.append(cells(db.label, "keelmend-cli repair", ours, f"{r:.2f} x peer"))
        rows.append(cells(db.label, "bsdtar -xf + zip -8 -r -q", peer))
        if with_window:
            w = window.wall / ours.wall
            rows.append(cells(db.label, "window (offscreen) repair + save", window, f"{w:.2f} x CLI"))
        verdicts.append((f"repair and save of the {db.label} database <= {REPAIR_MAX_RATIO} x peer wall",
                         r <= REPAIR_MAX_RATIO, f"{r:.2f}; CPU time {ours.cpu / peer.cpu:.2f} x"))

    print("bench: header-less file ...", flush=True)
    warm(headerless)
    scan, cat = bench.alternate([
        lambda: measure([bench.cli, "scan", headerless]),
        lambda: measure(["sh", "-c", 'cat "$0" > /dev/null', headerless]),
    ], max(args.runs, 5))
    scan_ratio = scan.wall / cat.wall
    label = f"{args.headerless_mb // 1000} GB no header" if args.headerless_mb >= 1000 else \
        f"{args.headerless_mb} MB no header"
    rows.append(cells(label, "keelmend-cli scan", scan, f"{scan_ratio:.2f} x cat"))
    rows.append(cells(label, "cat > /dev/null", cat))
    verdicts.insert(0, (f"scan of the header-less file <= {SCAN_MAX_RATIO} x cat", scan_ratio <= SCAN_MAX_RATIO,
                        f"{scan_ratio:.2f}"))

    peaks = [s.peak_mib for _, s, _ in repair.values()] + [scan.peak_mib]
    verdicts.append((f"peak memory of keelmend-cli <= {PEAK_MAX_MIB} MiB on every input",
                     max(peaks) <= PEAK_MAX_MIB, f"{max(peaks):.1f} MiB"))

    ordered = sorted(repair.values(), key=lambda v: v[0].total)
    for (small, s_ours, _), (big, b_ours, _) in zip(ordered, ordered[1:]):
        growth = (b_ours.wall / big.total) / (s_ours.wall / small.total)
        verdicts.append((f"time per byte, {big.label} against {small.label} <= {LINEAR_MAX_GROWTH} x",
                         growth <= LINEAR_MAX_GROWTH, f"{growth:.2f}"))

    if window is not None:
        w = window.wall / repair[largest.label][1].wall
        verdicts.append((f"window job on the {largest.label} database <= {WINDOW_MAX_SLOWDOWN} x CLI wall",
                         w <= WINDOW_MAX_SLOWDOWN, f"{w:.2f}; CPU time {window.cpu / repair[largest.label][1].cpu:.2f} x"))
    else:
        verdicts.append(("window job against the CLI", None, args.window_skip_reason or "no window program"))

    elapsed = time.perf_counter() - started
    verdicts.append(("the whole benchmark, build included when started by bench/run.sh, under 15 minutes",
                     elapsed < 15 * 60, f"{elapsed / 60:.1f} min"))
    lines = [table(rows), "",
             f"Wall and CPU (user + sys) are medians of {args.runs} runs ({args.big_runs} for the 1 GB database, "
             f"{max(args.runs, 5)} for the scan), the jobs of an input taking turns; peak = the largest max RSS "
             f"of any run. {os.cpu_count()} cores, load average {load_at_start:.1f} at the start and "
             f"{os.getloadavg()[0]:.1f} at the end; "
             f"the benchmark took {elapsed / 60:.1f} min.", ""]
    for text, ok, value in verdicts:
        state = "not measured" if ok is None else verdict(ok)
        lines.append(f"- {text}: {state} ({value})")
    report = "\n".join(lines)
    print()
    print(report)
    if args.markdown:
        Path(args.markdown).write_text(report + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
