#!/usr/bin/env bash
# Replays the kept crash inputs, then fuzzes the drawing facade for a bounded
# time. Builds nothing: build gdi_fuzz first (see fuzz/README.md).
#
#   fuzz/run.sh [seconds]        default 60
#
# The binary is $VEX2D_FUZZ_BIN, or build-fuzz/fuzz/gdi_fuzz at the top of the
# repository. New corpus entries, crash inputs and the log go to a work folder
# next to the binary, so the committed corpus is only ever read.
# Exits non-zero when any input crashes, leaks, times out or breaks a check.
set -u

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
seconds="${1:-60}"
case "$seconds" in
  '' | *[!0-9]*) echo "usage: $0 [seconds]" >&2; exit 2 ;;
esac

bin="${VEX2D_FUZZ_BIN:-$root/build-fuzz/fuzz/gdi_fuzz}"
if [ ! -x "$bin" ]; then
  echo "run.sh: no fuzz binary at $bin; build the gdi_fuzz target first" >&2
  exit 2
fi
work="$(cd "$(dirname "$bin")" && pwd)/work"
mkdir -p "$work/corpus" "$work/artifacts"
log="$work/last-run.log"
: >"$log"

# 4 KiB holds a few hundred calls; 10 s per input is far beyond what any
# call on these small surfaces may cost, so a timeout is a finding too.
flags=(-max_len=4096 -timeout=10 -rss_limit_mb=2048 "-artifact_prefix=$work/artifacts/")

report_failure() {
  local status=$1 what=$2
  echo "run.sh: $what failed (exit status $status)" >&2
  local written
  written=$(grep -aE "Test unit written to|artifact_prefix=.*Test unit" "$log" | sed 's/.*Test unit written to //' | sort -u)
  if [ -n "$written" ]; then
    echo "run.sh: the failing input was written to:" >&2
    echo "$written" | sed 's/^/    /' >&2
    echo "run.sh: keep it as fuzz/regressions/<what-it-breaks> if it is worth replaying" >&2
  else
    # Replaying files writes no new artifact: the failing input is the last
    # file libFuzzer started.
    local replayed
    replayed=$(grep -a "^Running: " "$log" | tail -n 1 | sed 's/^Running: //')
    if [ -n "$replayed" ]; then
      echo "run.sh: the failing input is $replayed" >&2
    else
      echo "run.sh: see $log for the failing input" >&2
    fi
  fi
  exit "$status"
}

# 1. Replay every kept regression input once: libFuzzer runs the files it is
#    given one by one and stops at the first failure.
regressions=()
for f in "$here"/regressions/*; do
  [ -f "$f" ] && [ "${f##*/}" != README.md ] && regressions+=("$f")
done
if [ ${#regressions[@]} -gt 0 ]; then
  echo "run.sh: replaying ${#regressions[@]} regression input(s)"
  "$bin" "${flags[@]}" "${regressions[@]}" >>"$log" 2>&1
  status=$?
  [ $status -eq 0 ] || { tail -n 60 "$log" >&2; report_failure $status "replaying fuzz/regressions"; }
fi

# 2. Fuzz. The first folder receives new inputs; the committed seeds and the
#    regressions are read as the starting corpus.
echo "run.sh: fuzzing for ${seconds} s (log: $log)"
"$bin" "${flags[@]}" -max_total_time="$seconds" -print_final_stats=1 \
  "$work/corpus" "$here/corpus" "$here/regressions" 2>&1 | tee -a "$log" | grep -aE "^#[0-9]+.*(DONE|INITED)|ERROR|SUMMARY|gdi_fuzz:|stat::number_of_executed_units|Test unit written"
status=${PIPESTATUS[0]}
[ $status -eq 0 ] || report_failure $status "fuzzing"
echo "run.sh: no failures"
