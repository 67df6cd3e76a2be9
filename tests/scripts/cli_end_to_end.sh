#!/usr/bin/env bash
# keelmend-cli from the outside: its command line, a real damaged database
# repaired, the result read back by independent ZIP readers, the source left
# untouched, and the exit status of failures.
#   cli_end_to_end.sh KEELMEND_CLI SOURCE_DIR
set -u
cli=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

check() {  # check "what" command...
  local what=$1
  shift
  if "$@" >"$work/last.out" 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
    sed 's/^/    /' "$work/last.out" | tail -20
  fi
}
status_is() {  # status_is N command...
  local want=$1
  shift
  "$@" >/dev/null 2>&1
  [ "$?" -eq "$want" ]
}

check "--help exits 0 and shows the usage" bash -c "'$cli' --help | grep -q 'keelmend-cli repair'"
check "--version names the program" bash -c "'$cli' --version | grep -q 'Keelmend'"
check "no command is a usage error (2)" status_is 2 "$cli"
check "an unknown option is a usage error (2)" status_is 2 "$cli" repair --frobnicate x.odb --out "$work"
check "repair without --out is a usage error (2)" status_is 2 "$cli" repair x.odb

# A real database, cut short so that the manifest and the directory are gone.
orig="$src/tests/data/odb/hsqldb_300.odb"
cp "$orig" "$work/whole.odb"
size=$(stat -c %s "$orig")
head -c $((size * 3 / 4)) "$orig" >"$work/cut.odb"
before=$(sha256sum "$work/cut.odb" | cut -d' ' -f1)

check "scan --json gives JSON that lists the entries" bash -c \
  "'$cli' scan '$work/cut.odb' --json | python3 -c 'import json,sys; e=json.load(sys.stdin); assert any(x[\"name\"]==\"database/script\" for x in e), e'"
check "repair of a damaged file succeeds" "$cli" repair "$work/cut.odb" "$work/whole.odb" --out "$work/out"
check "the source file is not changed" bash -c "[ \"\$(sha256sum '$work/cut.odb' | cut -d' ' -f1)\" = '$before' ]"
out="$work/out/VANTRELREP_cut.odb"
check "the rebuilt file exists" test -s "$out"
check "unzip -t accepts the rebuilt file" unzip -tq "$out"
if command -v bsdtar >/dev/null; then
  check "bsdtar lists the rebuilt file" bsdtar -tf "$out"
fi
check "Python's zipfile finds no bad entry" python3 -c \
  "import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); assert z.testzip() is None; n=z.namelist(); assert n[0]=='mimetype' and 'META-INF/manifest.xml' in n, n" "$out"
if command -v file >/dev/null; then
  check "file(1) names it an OpenDocument database" bash -c "file '$out' | grep -qi 'OpenDocument Database'"
fi
check "an intact file keeps every entry's content" python3 -c "
import zipfile,sys
a=zipfile.ZipFile(sys.argv[1]); b=zipfile.ZipFile(sys.argv[2])
for n in a.namelist():
    assert a.read(n)==b.read(n), n
" "$orig" "$work/out/VANTRELREP_whole.odb"
check "the summary names what was regenerated" bash -c \
  "'$cli' repair '$work/cut.odb' --out '$work/out2' --no-media | grep -q 'regenerated: .*META-INF/manifest.xml'"
check "--no-media leaves no picture folder" bash -c "! ls '$work/out2' | grep -q _MediaContent"
check "a missing file makes the exit status 1" status_is 1 "$cli" repair "$work/nope.odb" --out "$work/out3"
touch "$work/plainfile"
check "an --out that is a file makes the exit status 1" status_is 1 "$cli" repair "$work/cut.odb" --out "$work/plainfile"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
