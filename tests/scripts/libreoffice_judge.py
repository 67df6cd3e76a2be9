#!/usr/bin/python3
"""LibreOffice as the judge of repaired databases.

    /usr/bin/python3 tests/scripts/libreoffice_judge.py --cli build/cli/keelmend-cli \\
        --work build/tests/scripts/libreoffice_judge

1. Makes the damage corpus (tests/corpus/make_damage.py) from the real
   databases of tests/data/odb, and takes the intact originals as well.
2. Repairs all of them with `keelmend-cli repair FILE... --out DIR`
   (or with --repair-cmd, a stand-in taking the same arguments).
3. Opens every rebuilt file in headless LibreOffice (Hidden, Silent,
   RepairPackage=False, an interaction handler that answers nothing) and
   counts the rows of its tables.

The bar:
  - every rebuilt file is a valid package and opens as a database without
    any question (repair prompt, error box) and without killing the office;
  - every case whose schema and rows survived intact opens with all rows;
  - a repaired intact file opens with all rows and its entries hold the same
    bytes as the original's.

Exit code 0 when the bar is met, 1 when it is not, 77 when LibreOffice (or
Python's uno module) is not installed.
"""

import argparse
import json
import os
import shlex
import shutil
import subprocess
import sys
import threading
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "corpus"))
from make_databases import DATABASES, DEFAULT_OUT  # noqa: E402
from make_damage import make_corpus  # noqa: E402

SKIP = 77
OUTPUT_PREFIX = "VANTRELREP_"
OPEN_TIMEOUT = 90  # seconds for one file before the office is killed


def load_office():
    """The office helper, or None when LibreOffice cannot be driven here."""
    if shutil.which("soffice") is None:
        return None
    try:
        import office_session
    except ImportError:
        return None
    return office_session


def intact_cases(source, folder):
    os.makedirs(folder, exist_ok=True)
    cases = []
    for original, spec in DATABASES.items():
        shutil.copyfile(os.path.join(source, original), os.path.join(folder, original))
        with zipfile.ZipFile(os.path.join(source, original)) as z:
            names = sorted(i.filename for i in z.infolist())
        cases.append({"file": original, "original": original, "engine": spec["engine"],
                      "damage": "intact", "intact": names, "lost": [], "must_open": True,
                      "expected_rows": dict(spec["tables"])})
    return cases


def run_repair(command, files, out):
    os.makedirs(out, exist_ok=True)
    args = command + ["repair"] + files + ["--out", out]
    started = time.monotonic()
    try:
        done = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=600)
    except subprocess.TimeoutExpired as exc:
        print("repair of %d files did not finish in %d s" % (len(files), exc.timeout))
        return -1, (exc.output or b"").decode("utf-8", "replace")
    except OSError as exc:
        print("repair command cannot run: %s" % exc)
        return -1, str(exc)
    log = done.stdout.decode("utf-8", "replace")
    print("repair of %d files: exit %d in %.1f s" % (len(files), done.returncode,
                                                      time.monotonic() - started))
    return done.returncode, log


def package_faults(path):
    """What an independent reader finds wrong with a rebuilt package."""
    faults = []
    try:
        with zipfile.ZipFile(path) as z:
            bad = z.testzip()
            if bad is not None:
                faults.append("bad CRC in " + bad)
            infos = z.infolist()
            if not infos or infos[0].filename != "mimetype":
                faults.append("mimetype is not the first entry")
            elif infos[0].compress_type != zipfile.ZIP_STORED:
                faults.append("mimetype is compressed")
            elif z.read("mimetype") != b"application/vnd.oasis.opendocument.base":
                faults.append("mimetype is not the database type")
            if "META-INF/manifest.xml" not in z.namelist():
                faults.append("no META-INF/manifest.xml")
    except (zipfile.BadZipFile, OSError, EOFError) as exc:
        faults.append("not a readable ZIP: %s" % exc)
    return faults


def entries_of(path):
    with zipfile.ZipFile(path) as z:
        return {i.filename: z.read(i.filename) for i in z.infolist() if not i.is_dir()}


def content_differences(original, rebuilt):
    a, b = entries_of(original), entries_of(rebuilt)
    diffs = ["missing " + n for n in sorted(set(a) - set(b))]
    diffs += ["extra " + n for n in sorted(set(b) - set(a))]
    diffs += ["changed " + n for n in sorted(set(a) & set(b)) if a[n] != b[n]]
    return diffs


class Judge:
    def __init__(self, office, fresh_process):
        self.office = office
        self.fresh = fresh_process
        self.session = None

    def _session(self):
        if self.session is None or self.fresh or not self.session.alive():
            if self.session is not None:
                self.session.stop()
            self.session = self.office.OfficeSession().start()
        return self.session

    def open(self, path, tables):
        session = self._session()
        watchdog = threading.Timer(OPEN_TIMEOUT, session.kill)
        watchdog.start()
        try:
            result = self.office.open_and_count(session, path, tables)
        finally:
            watchdog.cancel()
        if result.crashed or self.fresh:
            session.stop()
            self.session = None
        return result

    def close(self):
        if self.session is not None:
            self.session.stop()
            self.session = None


def judge_case(judge, case, rebuilt, original):
    """Returns (verdict lines that fail the bar, informational note)."""
    failures = []
    if not os.path.isfile(rebuilt):
        return ["no rebuilt file"], ""
    failures += package_faults(rebuilt)
    if case["damage"] == "intact" and not failures:
        failures += ["intact file: " + d for d in content_differences(original, rebuilt)]
    tables = sorted(DATABASES[case["original"]]["tables"])
    # LibreOffice writes an embedded HSQLDB database back into the file it
    # opened, even unchanged; it gets a copy, and the rebuilt file stays as
    # the repair wrote it.
    opened = os.path.join(os.path.dirname(os.path.dirname(rebuilt)), "opened",
                          os.path.basename(rebuilt))
    os.makedirs(os.path.dirname(opened), exist_ok=True)
    shutil.copyfile(rebuilt, opened)
    result = judge.open(opened, tables)
    if result.crashed:
        failures.append("LibreOffice died opening it")
    if not result.opened:
        failures.append("does not open as a database: " + result.error)
    if result.requests:
        failures.append("LibreOffice asked: " + "; ".join(result.requests))
    expected = case["expected_rows"]
    if expected:
        if not result.connected:
            failures.append("database does not connect: " + result.error)
        got = {t: result.rows.get(t) for t in expected}
        if got != expected:
            failures.append("rows %s, expected %s" % (got, expected))
    note = "rows %s" % result.rows if result.connected else "no connection (%s)" % result.error
    return failures, note


def main(argv):
    parser = argparse.ArgumentParser(description="LibreOffice opens what Keelmend repaired")
    parser.add_argument("--cli", help="keelmend-cli executable")
    parser.add_argument("--repair-cmd", help="stand-in repair command (split like a shell)")
    parser.add_argument("--work", required=True, help="scratch folder (emptied)")
    parser.add_argument("--source", default=DEFAULT_OUT, help="folder of the original databases")
    parser.add_argument("--fresh-process", action="store_true",
                        help="one office process per file instead of restarting on failure")
    parser.add_argument("--only", help="judge only cases whose file name contains this")
    args = parser.parse_args(argv[1:])

    office = load_office()
    if office is None:
        print("SKIP: headless LibreOffice with python3-uno is not installed")
        return SKIP
    if args.repair_cmd:
        command = shlex.split(args.repair_cmd)
    elif args.cli:
        command = [args.cli]
    else:
        parser.error("--cli or --repair-cmd is required")

    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    corpus, intact, out = (os.path.join(work, d) for d in ("corpus", "intact", "out"))
    cases = make_corpus(args.source, corpus) + intact_cases(args.source, intact)
    if args.only:
        cases = [c for c in cases if args.only in c["file"]]
    folder_of = {c["file"]: intact if c["damage"] == "intact" else corpus for c in cases}
    files = [os.path.join(folder_of[c["file"]], c["file"]) for c in cases]

    rc, log = run_repair(command, files, out)
    with open(os.path.join(work, "repair.log"), "w") as f:
        f.write(log)
    failed = []
    if rc != 0:
        failed.append(("(repair command)", ["exit code %d; see %s" % (rc, f.name)]))

    judge = Judge(office, args.fresh_process)
    started = time.monotonic()
    report = []
    try:
        for case in cases:
            rebuilt = os.path.join(out, OUTPUT_PREFIX + case["file"])
            original = os.path.join(args.source, case["original"])
            failures, note = judge_case(judge, case, rebuilt, original)
            report.append(dict(case, failures=failures, note=note))
            mark = "FAIL" if failures else "ok  "
            print("%s %-55s %s%s" % (mark, case["file"], note,
                                     "".join("\n       - " + x for x in failures)))
            if failures:
                failed.append((case["file"], failures))
    finally:
        judge.close()
    with open(os.path.join(work, "verdicts.json"), "w") as f:
        json.dump(report, f, indent=1, sort_keys=True)

    expected = sum(1 for c in cases if c["expected_rows"])
    print("%d files judged in %.0f s; %d with rows expected; %d failed"
          % (len(cases), time.monotonic() - started, expected, len(failed)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
