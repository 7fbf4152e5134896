#!/usr/bin/env bash
# Interrupting vex2d-run: SIGINT (status 130) or SIGTERM (143) ends the
# run after the test in progress and leaves a result file that parses,
# passes the schema, is marked incomplete and holds the finished tests; the
# report is printed. A second signal ends the process at once, and the file
# still holds the last complete state.
#   run_interrupt_test.sh VEX2D_RUN SCHEMA CHECKER
set -uo pipefail
run="$(realpath "$1")"
schema="$(realpath "$2")"
checker="$(realpath "$3")"
work="$(mktemp -d)"
pid=""
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"
fail() { echo "run_interrupt_test: FAILED: $*" >&2; exit 1; }

# Starts a complete run and waits until the line test has finished and the
# spline test is in progress (in the one-second pause before its kernel).
start() {
  rm -f r.json err.txt out.txt
  "$run" --screen 96x72 --repeat 2 --json r.json --out pics >out.txt 2>err.txt &
  pid=$!
  for _ in $(seq 600); do
    if grep -q '^vex2d-run: line: ' err.txt; then
      sleep 0.3
      return 0
    fi
    sleep 0.05
  done
  fail "the line test did not finish: $(cat err.txt)"
}

for case in "INT 130" "TERM 143"; do
  set -- $case
  start
  kill -"$1" "$pid"
  wait "$pid"
  status=$?
  pid=""
  [ "$status" = "$2" ] || fail "SIG$1: status $status"
  python3 "$checker" r.json "$schema" --incomplete || fail "SIG$1: the result file"
  python3 - "$1" <<'PY' || fail "SIG$1: the finished tests are not in the file"
import json, sys
r = json.load(open("r.json"))
done = [t["name"] for t in r["tests"] if t["samples"]]
# text and line had finished; the spline test in progress finishes too, and
# no later one runs.
assert done == ["text", "line", "spline"], done
assert all(len(t["samples"]) == 1 for t in r["tests"] if t["samples"]), "a second repetition ran"
PY
  grep -q '^Line: [0-9]* lines/sec' out.txt || fail "SIG$1: no report: $(cat out.txt)"
  grep -q "interrupted by SIG$1" err.txt || fail "SIG$1: not said: $(cat err.txt)"
  [ -s pics/line.png ] || fail "SIG$1: no picture of the line test"
done

# A second signal: no waiting for the test in progress.
start
kill -INT "$pid"
sleep 0.1
kill -INT "$pid"
wait "$pid"
status=$?
pid=""
[ "$status" = 130 ] || fail "second SIGINT: status $status"
python3 "$checker" r.json "$schema" --incomplete || fail "second SIGINT: the result file"
grep -q '^vex2d-run: spline: ' err.txt && fail "second SIGINT: the test in progress ran to its end"
echo "run_interrupt_test: passed" >&2
