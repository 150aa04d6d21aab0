#!/usr/bin/env bash
# Measures the four standing figures of two builds in one run, rounds interleaved so that the
# machine's load falls on both alike, and prints the medians and the best rounds side by side:
#   start-up ratio (orvio / minimal Qt program, lower is better), trace memo lines/s,
#   decoder telegrams/s, simulator requests/s.
# Not a test: prints figures, and "within 10 %" per figure.
# Usage: bench/compare.sh <before build dir> <after build dir> [rounds, default 3]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
before="$(cd "$1" && pwd)"
after="$(cd "$2" && pwd)"
rounds="${3:-3}"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

figure() {  # figure <name> <build dir>: prints one number
  local build="$2"
  case "$1" in
    startup)
      "$here/startup_bench.sh" "$build" 5 | sed -n 's/.*(ratio \([0-9.]*\)).*/\1/p' ;;
    memo)
      "$here/memo_bench.sh" "$build" | sed -n 's/^memo: .*(\([0-9.]*\) lines\/s).*/\1/p' ;;
    decoder)
      "$build/bench/bench_mbus_decode" --benchmark_filter=BM_DecodeTelegram \
        --benchmark_min_time=1 --benchmark_format=csv 2>/dev/null |
        awk -F, '/^"BM_DecodeTelegram"/ {print $7}' ;;
    sim)
      "$here/sim_bench.sh" "$build/sim/orvio-gateway-sim" 2 |
        sed -n 's/^best: simulator \([0-9]*\) requests.*/\1/p' ;;
  esac
}

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

for r in $(seq "$rounds"); do
  for f in startup memo decoder sim; do
    # Sides take turns at going first, so that neither always follows the other.
    sides="before after"
    [ $((r % 2)) = 0 ] && sides="after before"
    for side in $sides; do
      dir=$before; [ $side = after ] && dir=$after
      v=$(figure $f "$dir" || true)
      echo "round $r $f $side ${v:-none}"
      echo "${v:-nan}" >>"$out/$f.$side"
    done
  done
done

echo
# Load only ever slows a run, so the verdict goes by each side's best round (the highest rate, the
# lowest start-up ratio); the medians are printed beside it.
best() {  # best <figure>: min for the start-up ratio, max for the rates
  if [ "$1" = startup ]; then sort -g | head -n1; else sort -g | tail -n1; fi
}
printf '%-10s %12s %12s %12s %12s %9s\n' figure "before med" "after med" "before best" "after best" change
for f in startup memo decoder sim; do
  bm=$(median <"$out/$f.before")
  am=$(median <"$out/$f.after")
  bb=$(best $f <"$out/$f.before")
  ab=$(best $f <"$out/$f.after")
  # Start-up is a ratio where lower is better; the others are rates where higher is better.
  awk -v f="$f" -v bm="$bm" -v am="$am" -v b="$bb" -v a="$ab" 'BEGIN {
    ch = (a - b) / b * 100; worse = (f == "startup") ? ch : -ch
    printf "%-10s %12s %12s %12s %12s %+8.1f%% %s\n", f, bm, am, b, a, ch,
      (worse <= 10 ? "within 10 %" : "WORSE than 10 %") }'
done
