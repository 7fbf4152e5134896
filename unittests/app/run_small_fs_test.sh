#!/usr/bin/env bash
# vex2d-run on file systems that refuse writes, each a tmpfs mounted in a
# private mount namespace: a read-only one is refused before the run
# (status 2), and one that fills up during the run fails it (status 1)
# without a half-written file: the earlier result file stays whole, no
# temporary is left. Exits 77 (skipped) where no namespace can be made.
#   run_small_fs_test.sh VEX2D_RUN
set -uo pipefail
run="$(realpath "$1")"
unshare -rm true 2>/dev/null || { echo "run_small_fs_test: no mount namespace here; skipped" >&2; exit 77; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export run work
unshare -rm bash -s <<'EOF_INNER'
set -uo pipefail
fail() { echo "run_small_fs_test: FAILED: $*" >&2; exit 1; }
cd "$work"
mkdir ro full

# Read-only: refused before anything runs.
mount -t tmpfs -o ro,size=1m tmpfs ro || fail "cannot mount"
for args in "--out ro/pics" "--json ro/r.json" "--csv ro/r.csv" "--markdown ro/r.md"; do
  "$run" --test rectangle --screen 64x64 $args >out.txt 2>err.txt
  status=$?
  [ "$status" = 2 ] || fail "read-only $args: status $status"
  [ ! -s out.txt ] || fail "read-only $args: something ran"
  grep -q 'Read-only file system' err.txt || fail "read-only $args: $(cat err.txt)"
done

# Full during the run: 64 KiB take the probe, the result files and the
# first small pictures, not the picture of 5000 polygons on 640x480.
mount -t tmpfs -o size=64k tmpfs full || fail "cannot mount"
printf '{"old": "complete"}\n' > full/r.json
"$run" --test rectangle,polygon --screen 640x480 --json full/r.json --out full/pics >out.txt 2>err.txt
status=$?
[ "$status" = 1 ] || fail "full: status $status; $(cat err.txt)"
grep -q 'No space left on device' err.txt || fail "full: no reason: $(cat err.txt)"
leftovers=$(find full -name '.*part-*' -o -name '.vex2d-run-probe-*')
[ -z "$leftovers" ] || fail "temporaries left: $leftovers"
python3 -c "import json; json.load(open('full/r.json'))" || fail "r.json is not whole: $(head -c 200 full/r.json)"
if [ -e full/pics/polygon.png ]; then
  python3 - <<'PY' || fail "polygon.png is cut short"
import zlib, struct
data = open("full/pics/polygon.png", "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n" and data[-12:-8] == b"\0\0\0\0" and data[-8:-4] == b"IEND"
PY
fi
echo "run_small_fs_test: passed" >&2
EOF_INNER
