#!/usr/bin/env bash
# Start-up to the first painted main window, Orvio against a minimal Qt program with the same
# widgets, both under Xvfb; medians of N runs (default 10). Not a test: prints figures.
# Usage: bench/startup_bench.sh [build dir] [runs]
set -euo pipefail
build="${1:-build/release}"
runs="${2:-10}"
work=$(mktemp -d)
cp "$build/orvio" "$work/orvio"
measure() {
  local times=()
  for _ in $(seq "$runs"); do
    local t0 t1
    t0=$(date +%s%N)
    ORVIO_EXIT_AT_FIRST_PAINT=1 "$@" >/dev/null 2>&1 || true
    t1=$(date +%s%N)
    times+=($(( (t1 - t0) / 1000000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}
export -f measure
result=$(xvfb-run -a -s "-screen 0 1280x960x24" bash -c "
  runs=$runs
  $(declare -f measure)
  echo minimal \$(measure '$build/bench/bench_minimal_window')
  echo orvio \$(measure '$work/orvio')
")
rm -rf "$work"
echo "$result"
minimal=$(echo "$result" | awk '/^minimal/ {print $2}')
orvio=$(echo "$result" | awk '/^orvio/ {print $2}')
echo "median start-up to first paint: orvio ${orvio} ms, minimal Qt program ${minimal} ms (ratio $(awk "BEGIN {printf \"%.2f\", $orvio / $minimal}"))"
