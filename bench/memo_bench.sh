#!/usr/bin/env bash
# The trace memo over a long session, on a shown main window under Xvfb (not a test: prints
# figures). Each run is its own process, so its peak memory is its own:
#   memo 100,000 and 200,000 lines through the window's MemoAdd, then "Save log";
#   perline 200,000 lines, one appendPlainText call per line on the same widget.
# Lines arrive in event-loop passes of BATCH lines (default 10), as handlers write them.
# Checks: every line saved in order; memo >= 10x the per-line rate; 200k within 2.5x of 100k.
# Usage: bench/memo_bench.sh [build dir] [batch]
set -euo pipefail
build="${1:-build/release}"
batch="${2:-10}"
bin="$build/bench/bench_memo"
[ -x "$bin" ] || { echo "no $bin: build the target bench_memo first" >&2; exit 2; }

results=$(xvfb-run -a -s "-screen 0 1280x960x24" bash -c "
  '$bin' --mode memo --lines 100000 --batch $batch
  '$bin' --mode memo --lines 200000 --batch $batch
  '$bin' --mode perline --lines 200000 --batch $batch
" 2>/dev/null)
echo "$results"

field() {  # field <mode> <lines> <key>
  echo "$results" | awk -v m="mode=$1" -v n="lines=$2" -v k="$3" '
    $1 == m && $2 == n { for (i = 1; i <= NF; i++) { split($i, kv, "="); if (kv[1] == k) print kv[2] } }'
}

memo100=$(field memo 100000 append_s)
memo200=$(field memo 200000 append_s)
rate_memo=$(field memo 200000 lines_per_s)
rate_line=$(field perline 200000 lines_per_s)
save200=$(field memo 200000 save_s)
rss200=$(field memo 200000 peak_rss_mb)
rss_line=$(field perline 200000 peak_rss_mb)
ordered=$(echo "$results" | awk '{ for (i = 1; i <= NF; i++) if ($i != "in_order=1" && $i != "in_order=na" && $i ~ /^in_order=/) bad = 1 } END { print bad ? 0 : 1 }')

speedup=$(awk "BEGIN { printf \"%.1f\", $rate_memo / $rate_line }")
growth=$(awk "BEGIN { printf \"%.2f\", $memo200 / $memo100 }")
echo
echo "batch of $batch lines per event-loop pass"
echo "memo: 200,000 lines in ${memo200} s (${rate_memo} lines/s), Save log ${save200} s, peak ${rss200} MB"
echo "one appendPlainText per line: ${rate_line} lines/s, peak ${rss_line} MB"
echo "speed-up ${speedup}x (needs >= 10), 200k/100k time ${growth} (needs <= 2.5), lines in order: ${ordered}"
ok=$(awk "BEGIN { print ($speedup >= 10 && $growth <= 2.5 && $ordered == 1) ? 1 : 0 }")
[ "$ok" = 1 ] && echo "memo benchmark: PASS" || { echo "memo benchmark: FAIL"; exit 1; }
