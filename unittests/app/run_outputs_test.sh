#!/usr/bin/env bash
# vex2d-run's output paths as a user meets them: a missing folder is
# created; an empty path, a file where a folder belongs, a missing folder
# for a file and a folder where a file belongs are refused with status 2
# before anything runs; /dev/full fails the run with status 1.
#   run_outputs_test.sh VEX2D_RUN
set -uo pipefail
run="$(realpath "$1")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "run_outputs_test: FAILED: $*" >&2; exit 1; }
small=(--test rectangle --screen 64x64)

# Refused before the run: status 2, one line on standard error, no report.
touch afile
mkdir adir
while IFS='|' read -r why args; do
  eval "set -- $args"
  "$run" "${small[@]}" "$@" >out.txt 2>err.txt
  status=$?
  [ "$status" = 2 ] || fail "$why: status $status"
  [ ! -s out.txt ] || fail "$why: something ran: $(head -1 out.txt)"
  grep -q '^vex2d-run: ' err.txt || fail "$why: no reason given"
  grep -q 'repetition [0-9]' err.txt && fail "$why: a test started"
done <<'CASES'
empty --out|--out ''
empty --json|--json=
file for --out|--out afile
file inside the path of --out|--out afile/pics
missing folder of --json|--json missing/r.json
folder for --json|--json adir
folder for --csv|--csv adir
missing folder of --markdown|--markdown missing/r.md
same file twice|--json r.txt --csv r.txt
CASES

# A missing folder and its parents are created.
"$run" "${small[@]}" --out new/deep/pics --json new/r.json >/dev/null 2>err.txt || fail "new folder: $(cat err.txt)"
[ -s new/deep/pics/rectangle.png ] || fail "no PNG in the new folder"
ls new/deep/pics/*-Direct.txt >/dev/null 2>&1 || fail "no report file in the new folder"

# A disk that is full: the write fails, with a reason and status 1.
"$run" "${small[@]}" --json /dev/full >out.txt 2>err.txt
status=$?
[ "$status" = 1 ] || fail "/dev/full: status $status"
grep -q 'cannot write /dev/full: No space left on device' err.txt || fail "/dev/full: $(cat err.txt)"
echo "run_outputs_test: passed" >&2
